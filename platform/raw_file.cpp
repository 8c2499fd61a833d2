#include "platform/raw_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vertamo {

TRawFile::TRawFile(const std::string& path, uint32_t access, uint32_t share, uint32_t creation,
                   uint32_t flags) {
  Open(path, access, share, creation, flags);
}

TRawFile::~TRawFile() { Close(); }

bool TRawFile::Succeed() {
  failed_ = false;
  error_ = 0;
  return true;
}

bool TRawFile::Fail(int error) {
  failed_ = true;
  error_ = error;
  return false;
}

bool TRawFile::Open(const std::string& path, uint32_t access, uint32_t share, uint32_t creation,
                    uint32_t flags) {
  if (fd_ >= 0) return Fail(EBUSY);
  const bool read = (access & kGenericRead) != 0;
  const bool append = (access & kFileAppendData) != 0;
  const bool write = append || (access & kGenericWrite) != 0;
  int oflags = O_CLOEXEC;
  if (append) oflags |= O_APPEND;
  oflags |= write ? (read ? O_RDWR : O_WRONLY) : O_RDONLY;
  switch (creation) {
    case kCreateNew:
      oflags |= O_CREAT | O_EXCL;
      break;
    case kCreateAlways:
      oflags |= O_CREAT | O_TRUNC;
      break;
    case kOpenExisting:
      break;
    case kOpenAlways:
      oflags |= O_CREAT;
      break;
    case kTruncateExisting:
      if (!write) return Fail(EACCES);
      oflags |= O_TRUNC;
      break;
    default:
      return Fail(EINVAL);
  }
  if (flags & kFileFlagWriteThrough) oflags |= O_SYNC;
  mode_t mode = (flags & kFileAttributeReadonly) ? 0444 : 0666;
  if (flags & kFileAttributeOwnerOnly) mode &= 0600;
  const int fd = OpenRegularFile(path, oflags, mode);
  if (fd < 0) return Fail(errno);
  if (flags & kFileFlagSequentialScan) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  fd_ = fd;
  transferred_ = 0;
  return Succeed();
}

bool TRawFile::Close() {
  if (fd_ < 0) return Succeed();
  const int fd = fd_;
  fd_ = -1;
  // Linux releases the descriptor even when close reports an error: never retry.
  if (::close(fd) != 0 && errno != EINTR) return Fail(errno);
  return Succeed();
}

bool TRawFile::Write(const void* buffer, size_t length) {
  transferred_ = 0;
  if (fd_ < 0) return Fail(EBADF);
  if (buffer == nullptr) return Fail(EFAULT);
  const char* p = static_cast<const char*>(buffer);
  while (transferred_ < length) {
    const ssize_t n = ::write(fd_, p + transferred_, length - transferred_);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail(errno);
    }
    if (n == 0) return Fail(EIO);
    transferred_ += static_cast<size_t>(n);
  }
  return Succeed();
}

TRawFile& TRawFile::WriteText(const char* text) {
  if (text == nullptr) {
    Fail(EFAULT);
    return *this;
  }
  Write(text, std::strlen(text));
  return *this;
}

TRawFile& TRawFile::WriteText(std::string_view text) {
  Write(text.data() != nullptr ? text.data() : "", text.size());
  return *this;
}

bool TRawFile::Read(void* buffer, size_t length) {
  transferred_ = 0;
  if (fd_ < 0) return Fail(EBADF);
  if (buffer == nullptr) return Fail(EFAULT);
  char* p = static_cast<char*>(buffer);
  while (transferred_ < length) {
    const ssize_t n = ::read(fd_, p + transferred_, length - transferred_);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail(errno);
    }
    if (n == 0) break;  // end of the file
    transferred_ += static_cast<size_t>(n);
  }
  if (transferred_ != length) {
    failed_ = true;
    error_ = 0;  // a short read is no error of the operating system
    return false;
  }
  return Succeed();
}

bool TRawFile::Seek(int64_t distance, int origin) {
  if (fd_ < 0) return Fail(EBADF);
  int whence;
  switch (origin) {
    case kFileBegin:
      whence = SEEK_SET;
      break;
    case kFileCurrent:
      whence = SEEK_CUR;
      break;
    case kFileEnd:
      whence = SEEK_END;
      break;
    default:
      return Fail(EINVAL);
  }
  if (::lseek(fd_, static_cast<off_t>(distance), whence) < 0) return Fail(errno);
  return Succeed();
}

int64_t TRawFile::Position() {
  if (fd_ < 0) {
    Fail(EBADF);
    return -1;
  }
  const off_t pos = ::lseek(fd_, 0, SEEK_CUR);
  if (pos < 0) {
    Fail(errno);
    return -1;
  }
  Succeed();
  return static_cast<int64_t>(pos);
}

bool TRawFile::Flush() {
  if (fd_ < 0) return Fail(EBADF);
  int rc;
  do {
    rc = ::fsync(fd_);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) return Fail(errno);
  return Succeed();
}

bool TRawFile::SetMode(unsigned mode) {
  if (fd_ < 0) return Fail(EBADF);
  if (::fchmod(fd_, static_cast<mode_t>(mode & 07777)) != 0) return Fail(errno);
  return Succeed();
}

bool TRawFile::ReadLine(char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return Fail(EFAULT);
  buffer[0] = '\0';
  const int64_t start = Position();
  if (start < 0) return false;
  if (size < 2) return Fail(EINVAL);  // no room for a single byte
  // Read() fails on the short read that ends every file: only "nothing at all" counts.
  Read(buffer, size - 1);
  const size_t got = transferred_;
  if (got == 0) return false;  // Read() has set the failure flag
  size_t stop = 0;
  int breaks = 0;
  while (stop < got) {
    const char c = buffer[stop];
    if (c == '\r' || c == '\n') {
      if (breaks == 2) break;  // a third one begins the next line
      ++breaks;
    } else if (breaks > 0) {
      break;
    }
    ++stop;
  }
  buffer[stop] = '\0';
  if (!Seek(start + static_cast<int64_t>(stop), kFileBegin)) return false;
  return Succeed();
}

bool OpenLogForAppend(TRawFile& file, const std::string& path) {
  return file.Open(path, TRawFile::kGenericRead | TRawFile::kFileAppendData, TRawFile::kFileShareRead,
                   TRawFile::kOpenAlways, TRawFile::kFileAttributeNormal | TRawFile::kFileAttributeOwnerOnly);
}

bool OpenBoundedLogForAppend(TRawFile& file, const std::string& path, int64_t maxBytes) {
  if (!OpenLogForAppend(file, path)) return false;
  struct stat st {};
  if (::fstat(file.Handle(), &st) != 0 || st.st_size < maxBytes) return true;
  file.Close();
  ::rename(path.c_str(), (path + ".1").c_str());
  return OpenLogForAppend(file, path);
}

bool LastLineEnded(TRawFile& file) {
  char last = '\n';
  if (file.Seek(-1, TRawFile::kFileEnd) && !file.Read(&last, 1)) last = '\n';
  return last == '\n';
}

int OpenRegularFile(const std::string& path, int oflags, unsigned mode) {
  int fd;
  do {
    fd = ::open(path.c_str(), oflags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, static_cast<mode_t>(mode));
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  struct stat st {};
  int error = 0;
  if (::fstat(fd, &st) != 0)
    error = errno;
  else if (!S_ISREG(st.st_mode))
    error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  else if ((oflags & O_NONBLOCK) == 0) {
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl < 0 || ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) < 0) error = errno;
  }
  if (error != 0) {
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string& bytes) {
  bytes.clear();
  const int fd = OpenRegularFile(path, O_RDONLY, 0);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && st.st_size >= 0 &&
            static_cast<unsigned long long>(st.st_size) <= maxBytes;
  if (ok) {
    // One byte more than announced tells a file that grew meanwhile.
    bytes.resize(static_cast<size_t>(st.st_size) + 1);
    size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ok = n == 0;
        break;
      }
      got += static_cast<size_t>(n);
    }
    ok = ok && got <= maxBytes && got == static_cast<size_t>(st.st_size);
    bytes.resize(ok ? got : 0);
  }
  ::close(fd);
  return ok;
}

}  // namespace vertamo
