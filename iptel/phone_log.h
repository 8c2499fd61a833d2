// "IpPhone.log": the telephony log in the work folder, written only when the
// setting "EnableIpLog" is on. One line per event: "dd.mm hh:mm:ss  " of the
// local time, the message (code page 1251), CR LF; appended, created when
// missing. Any thread may write.
//
// A phone that floods its events cannot flood the log: repeats of a line are
// counted instead of written, at most 20 different lines a second are
// written (TLogLimiter), and a log of kMaxBytes is moved aside to
// "IpPhone.log.1" before the next line.
#pragma once

#include <atomic>
#include <cstdarg>
#include <ctime>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/log_limiter.h"

namespace vertamo {

// The line as it is written: the time prefix, the message, CR LF.
std::string PhoneLogLine(const std::tm& local, std::string_view message);

class TPhoneLog {
 public:
  static constexpr const char* kFileName = "IpPhone.log";
  static constexpr size_t kMaxMessage = 1023;
  static constexpr int64_t kMaxBytes = 1 << 20;

  TPhoneLog(std::string workFolder, bool enabled);
  // Writes the counts of what was held back.
  ~TPhoneLog();

  bool Enabled() const { return enabled_.load(std::memory_order_relaxed); }
  void SetEnabled(bool enabled) { enabled_.store(enabled, std::memory_order_relaxed); }
  const std::string& FileName() const { return fileName_; }

  // The message as it is (code page 1251).
  void Write(std::string_view message);
  // printf-style; the format is UTF-8 source text, the arguments code page
  // 1251 texts.
  void PhoneLog(const char* format, ...) __attribute__((format(printf, 2, 3)));

 private:
  std::string fileName_;
  void WriteLines(const std::vector<std::string>& messages);

  std::atomic<bool> enabled_;
  std::mutex mutex_;
  TLogLimiter limiter_;
};

}  // namespace vertamo
