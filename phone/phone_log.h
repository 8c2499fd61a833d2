// The phone program's own log "vertamo-phone.log" in its current folder (the
// workstation's work folder), one line per event with the prefix of every
// log of the system, appended; a copy of each line goes to the trace file of
// the command line when one is named. Text is UTF-8 here and code page 1251
// in the file.
#pragma once

#include <string>

namespace vertamo::phone {

class TPhoneLog {
 public:
  static constexpr const char* kFileName = "vertamo-phone.log";
  explicit TPhoneLog(std::string path = kFileName) : path_(std::move(path)) {}
  void SetTraceFile(std::string path) { trace_ = std::move(path); }
  void Line(const std::string& utf8) const;

 private:
  std::string path_;
  std::string trace_;
};

}  // namespace vertamo::phone
