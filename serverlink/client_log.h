// "Client.log": the connection log in the work folder.
//
// One line per event: day.month hour:minute:second and two blanks, the message,
// CR LF, appended, never truncated, code page 1251. Most lines are written only
// when the server profile's Debug switch is on (Debug); a few are written
// whatever it says (Always). A line that cannot be written is lost silently.
//
// The file is opened at the first line and kept open (append mode) until
// Close or the end of the object; every line is flushed as it is written, so
// nothing is lost when the process ends abruptly, and each line reaches the
// file in one piece, after whatever another writer appended meanwhile.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/raw_file.h"

namespace vertamo {

class TClientLog {
 public:
  // Longest message kept; a longer one is cut.
  static constexpr size_t kMaxMessage = 999;

  // workFolder: the work folder path, with or without the closing "/".
  TClientLog(std::string workFolder, bool debug);
  ~TClientLog();
  TClientLog(const TClientLog&) = delete;
  TClientLog& operator=(const TClientLog&) = delete;

  bool DebugEnabled() const { return debug_; }
  const std::string& Path() const { return path_; }

  // printf-style. The format is a UTF-8 literal of the source and is converted
  // to code page 1251; %s arguments must already be code page 1251 bytes.
  void Debug(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Always(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void VDebug(const char* format, va_list args);
  void VAlways(const char* format, va_list args);

  // Writes one line of code page 1251 text, whatever Debug says. Any thread.
  // Control bytes (a NUL, CR, LF, ESC …, such as a server may send) are
  // written as \xHH, so that every event stays one readable line.
  void WriteLine(std::string_view message);
  // Closes the file; a later line opens it again.
  void Close();

 private:
  std::string path_;
  bool debug_;
  std::mutex mutex_;
  TRawFile file_;  // guarded by mutex_
};

// The message with every byte below 0x20, and 0x7F, written as \xHH.
std::string EscapeControlBytes(std::string_view message);

}  // namespace vertamo
