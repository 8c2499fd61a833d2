#include "phone/phone_log.h"

#include <ctime>

#include "platform/cp1251.h"
#include "platform/raw_file.h"
#include "protocol/log_prefix.h"

namespace vertamo::phone {

void TPhoneLog::Line(const std::string& utf8) const {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::string line = LogLinePrefix(local) + Utf8ToCp1251(utf8) + "\r\n";
  for (const std::string* path : {&path_, &trace_}) {
    if (path->empty()) continue;
    // Only a regular file, opened without blocking: a FIFO under the log's
    // name must not hold the phone up.
    TRawFile file;
    if (OpenLogForAppend(file, *path)) file.Write(line.data(), line.size());
  }
}

}  // namespace vertamo::phone
