#include "platform/work_folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/folders.h"

namespace vertamo {

TWorkFolderLock::~TWorkFolderLock() {
  if (fd_ >= 0) ::close(fd_);  // closing lets go of the lock
}

TWorkFolderLock::TResult TWorkFolderLock::Take(const std::string& workFolder) {
  if (fd_ >= 0) return TResult::Taken;
  const std::string path = WithTrailingSlash(workFolder) + kFileName;
  // Close-on-exec: a phone program started from here must not keep the
  // folder locked after the workstation is gone.
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0600);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    error_ = path + ": " + std::strerror(errno);
    return TResult::Failed;
  }
  int locked;
  do {
    locked = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) return TResult::Held;
    error_ = path + ": " + std::strerror(error);
    return TResult::Failed;
  }
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) == 0 && ::write(fd, pid.data(), pid.size()) < 0) {
    // The number is only informative; the lock holds without it.
  }
  fd_ = fd;
  return TResult::Taken;
}

}  // namespace vertamo
