// The demo link's lines: any line splits without harm, and fields joined and
// split again come back as they were.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/demo_link.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> fields = vertamo::demolink::SplitFields(line);
  if (fields.empty()) __builtin_trap();
  const std::string joined = vertamo::demolink::JoinFields(fields);
  if (joined.find('\n') != std::string::npos) __builtin_trap();
  if (vertamo::demolink::SplitFields(joined) != fields) __builtin_trap();
  return 0;
}
