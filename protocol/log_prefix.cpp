#include "protocol/log_prefix.h"

#include <cstdio>

namespace vertamo {

std::string LogLinePrefix(const std::tm& local) {
  const auto part = [](int value) { return static_cast<unsigned>(value) % 100; };
  char prefix[32];
  std::snprintf(prefix, sizeof prefix, "%02u.%02u %02u:%02u:%02u  ", part(local.tm_mday),
                part(local.tm_mon + 1), part(local.tm_hour), part(local.tm_min), part(local.tm_sec));
  return prefix;
}

}  // namespace vertamo
