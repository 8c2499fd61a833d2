// TRawFile: the thin file-handle object used for every file the system writes
// (settings, logs, picture cache, exports, phone files).
//
// The callers speak in the access, creation and flag values of the Windows file
// API they were designed against; this object maps them onto POSIX open(2):
//
//   access         kGenericRead -> O_RDONLY, kGenericWrite -> O_WRONLY, both -> O_RDWR;
//                  kFileAppendData -> O_WRONLY|O_APPEND (every write lands at the end)
//   creation       kCreateNew -> O_CREAT|O_EXCL, kCreateAlways -> O_CREAT|O_TRUNC,
//                  kOpenExisting -> (none), kOpenAlways -> O_CREAT,
//                  kTruncateExisting -> O_TRUNC (needs write access)
//   share mode     accepted and ignored: POSIX has no mandatory share locks
//   flags          kFileFlagSequentialScan -> posix_fadvise(SEQUENTIAL),
//                  kFileFlagWriteThrough -> O_SYNC, kFileAttributeReadonly -> mode 0444
//                  on creation, kFileAttributeOwnerOnly -> mode 0600 on creation (0400
//                  with kFileAttributeReadonly); everything else is ignored. A file that
//                  exists keeps its mode.
//
// Every handle is close-on-exec, so child processes (the phone program) never
// inherit the system's files. Only regular files are opened, and without
// blocking: a FIFO, a device or a directory put in place of a file of the
// work folder is refused at once (EISDIR for a directory, EINVAL for the
// rest) instead of holding the caller up for good. Errors are errno
// values. Nothing throws: each operation reports through its result, Failed()
// and ErrorCode().
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vertamo {

class TRawFile {
 public:
  // Access rights.
  static constexpr uint32_t kGenericRead = 0x80000000u;
  static constexpr uint32_t kGenericWrite = 0x40000000u;
  static constexpr uint32_t kFileAppendData = 0x4u;
  // Share modes (ignored).
  static constexpr uint32_t kFileShareRead = 0x1u;
  static constexpr uint32_t kFileShareWrite = 0x2u;
  static constexpr uint32_t kFileShareDelete = 0x4u;
  // Creation dispositions.
  static constexpr uint32_t kCreateNew = 1;
  static constexpr uint32_t kCreateAlways = 2;
  static constexpr uint32_t kOpenExisting = 3;
  static constexpr uint32_t kOpenAlways = 4;
  static constexpr uint32_t kTruncateExisting = 5;
  // Flags and attributes.
  static constexpr uint32_t kFileAttributeReadonly = 0x1u;
  static constexpr uint32_t kFileAttributeNormal = 0x80u;
  // Not a Windows attribute: a new file that only its owner may read and
  // write (settings with the server password, the address book, the logs).
  static constexpr uint32_t kFileAttributeOwnerOnly = 0x00100000u;
  static constexpr uint32_t kFileFlagSequentialScan = 0x08000000u;
  static constexpr uint32_t kFileFlagWriteThrough = 0x80000000u;
  // Seek origins.
  static constexpr int kFileBegin = 0;
  static constexpr int kFileCurrent = 1;
  static constexpr int kFileEnd = 2;

  TRawFile() = default;
  // Calls Open; check IsOpen() or Failed() afterwards.
  TRawFile(const std::string& path, uint32_t access, uint32_t share, uint32_t creation, uint32_t flags);
  ~TRawFile();
  TRawFile(const TRawFile&) = delete;
  TRawFile& operator=(const TRawFile&) = delete;

  // False without touching anything when a file is open already.
  bool Open(const std::string& path, uint32_t access, uint32_t share, uint32_t creation, uint32_t flags);
  // True when nothing was open.
  bool Close();
  bool IsOpen() const { return fd_ >= 0; }

  // Fails unless every byte was written; fails at once without a file or buffer.
  bool Write(const void* buffer, size_t length);
  TRawFile& WriteText(const char* text);
  TRawFile& WriteText(std::string_view text);
  // Fails unless exactly `length` bytes were read.
  bool Read(void* buffer, size_t length);
  bool Seek(int64_t distance, int origin);
  bool SeekTo(int64_t position) { return Seek(position, kFileBegin); }
  // Current position; -1 on failure.
  int64_t Position();
  // Flushes written data to the disk (fsync).
  bool Flush();
  // Sets the permission bits of the open file (fchmod).
  bool SetMode(unsigned mode);

  // Reads one line into `buffer` of `size` bytes, zero-terminated. At most
  // size - 1 bytes are taken; the line keeps up to two of its end-of-line bytes
  // (CR or LF in any mix), a third begins the next line. The file position moves
  // to just after the bytes returned. False at the end of the file or on error.
  bool ReadLine(char* buffer, size_t size);

  bool Failed() const { return failed_; }
  // errno of the last failing call, 0 after a success.
  int ErrorCode() const { return error_; }
  // Bytes moved by the last Read or Write.
  size_t Transferred() const { return transferred_; }
  int Handle() const { return fd_; }

 private:
  bool Succeed();
  bool Fail(int error);

  int fd_ = -1;
  bool failed_ = false;
  int error_ = 0;
  size_t transferred_ = 0;
};

// Opens a log the system adds lines to (the journal's day files, the call
// history): every write lands at the end, the file may be read too, and a
// missing one is made its owner's only (0600).
bool OpenLogForAppend(TRawFile& file, const std::string& path);

// OpenLogForAppend for a log kept within bounds: a file of maxBytes or more
// is first moved aside to path + ".1" (replacing the one before), so the log
// takes at most about twice maxBytes of the disk.
bool OpenBoundedLogForAppend(TRawFile& file, const std::string& path, int64_t maxBytes);

// Whether the open file's last byte ends a line (an empty file counts as
// ended), so that a line a crash left unfinished can be ended before the next.
bool LastLineEnded(TRawFile& file);

// open(2) of a regular file only: opened without blocking (a FIFO with no
// writer would hold open() or the first read up for good), refused unless it
// is a regular file, then switched back to blocking. The descriptor, or -1
// with errno set (EISDIR for a directory, EINVAL for another kind of file).
// O_CLOEXEC and O_NOCTTY are added.
int OpenRegularFile(const std::string& path, int oflags, unsigned mode);

// Reads a whole file that must be a regular file of at most maxBytes. The file
// is opened without blocking, so a FIFO or a device under that name is refused
// at once instead of holding the caller up. False (and `bytes` empty) when the
// file is missing, not a regular file, larger than maxBytes, or unreadable.
bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string& bytes);

}  // namespace vertamo
