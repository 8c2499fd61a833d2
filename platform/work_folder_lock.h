// One workstation per work folder: a lock on the file "Vertamo.lock" in the
// folder, held while the process lives. The operating system lets go of it
// when the process ends in any way, a kill -9 or a crash included, so a lock
// file left behind never keeps the next start out. The file holds the process
// number of its holder, for the curious; nothing relies on it.
#pragma once

#include <string>

namespace vertamo {

class TWorkFolderLock {
 public:
  static constexpr const char* kFileName = "Vertamo.lock";

  TWorkFolderLock() = default;
  ~TWorkFolderLock();  // lets go of the lock
  TWorkFolderLock(const TWorkFolderLock&) = delete;
  TWorkFolderLock& operator=(const TWorkFolderLock&) = delete;

  enum class TResult {
    Taken,     // this process holds the folder now
    Held,      // another process holds it
    Failed,    // the lock file cannot be made or locked (see Error)
  };
  // Takes the lock of `workFolder` without waiting.
  TResult Take(const std::string& workFolder);
  bool Holds() const { return fd_ >= 0; }
  // Why the last Take failed, for the user.
  const std::string& Error() const { return error_; }

 private:
  int fd_ = -1;
  std::string error_;
};

}  // namespace vertamo
