#include "phone/phone_log.h"

#include <cstdio>
#include <ctime>

#include "platform/cp1251.h"
#include "protocol/log_prefix.h"

namespace vertamo::phone {

void TPhoneLog::Line(const std::string& utf8) const {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::string line = LogLinePrefix(local) + Utf8ToCp1251(utf8) + "\r\n";
  for (const std::string* path : {&path_, &trace_}) {
    if (path->empty()) continue;
    if (std::FILE* file = std::fopen(path->c_str(), "ab")) {
      std::fwrite(line.data(), 1, line.size(), file);
      std::fclose(file);
    }
  }
}

}  // namespace vertamo::phone
