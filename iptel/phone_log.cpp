#include "iptel/phone_log.h"

#include <cstdio>

#include "platform/cp1251.h"
#include "platform/folders.h"
#include "platform/raw_file.h"
#include "protocol/log_prefix.h"

namespace vertamo {

std::string PhoneLogLine(const std::tm& local, std::string_view message) {
  std::string line = LogLinePrefix(local);
  line.append(message).append("\r\n");
  return line;
}

TPhoneLog::TPhoneLog(std::string workFolder, bool enabled)
    : fileName_(WithTrailingSlash(workFolder) + kFileName), enabled_(enabled) {}

TPhoneLog::~TPhoneLog() {
  std::lock_guard lock(mutex_);
  WriteLines(limiter_.Flush());
}

void TPhoneLog::Write(std::string_view message) {
  if (!Enabled()) return;
  if (message.size() > kMaxMessage) message = message.substr(0, kMaxMessage);
  std::lock_guard lock(mutex_);
  WriteLines(limiter_.Take(message, std::time(nullptr)));
}

void TPhoneLog::WriteLines(const std::vector<std::string>& messages) {
  if (messages.empty() || !Enabled()) return;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::string lines;
  for (const std::string& message : messages) lines += PhoneLogLine(local, message);
  // Opened for each write, as the log is rare: one write in append mode puts
  // the lines whole at the end; a file that cannot be opened loses them.
  TRawFile file;
  if (!OpenBoundedLogForAppend(file, fileName_, kMaxBytes)) return;
  file.Write(lines.data(), lines.size());
}

void TPhoneLog::PhoneLog(const char* format, ...) {
  if (!Enabled()) return;
  const std::string cpFormat = Utf8ToCp1251(format ? format : "");
  char buffer[kMaxMessage + 1];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(buffer, sizeof buffer, cpFormat.c_str(), args);
  va_end(args);
  if (n < 0) return;
  Write(buffer);
}

}  // namespace vertamo
