// The key=value helpers on arbitrary text: the first byte gives the key's
// length and the capacity, the key follows, the rest is the text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/txtfunc.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t key_length = data[0] & 0x0F;
  const size_t capacity = data[0] >> 4;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string_view key = rest.substr(0, key_length);
  const std::string_view text = rest.substr(key.size());

  int number = 7;
  const bool has_int = vertamo::GetIntParam(text, key, number);
  Check(has_int == (text.find(key) != std::string_view::npos));
  if (!has_int) Check(number == 0);

  std::string value = "old";
  if (vertamo::GetStrParam(text, key, capacity, value)) {
    Check(value.size() + 1 <= (capacity ? capacity : 1));
    Check(value.find('"') == std::string::npos);
    Check(has_int);
  } else {
    Check(value.empty());
  }

  const bool starts = vertamo::StartsWithText(text, key);
  if (key.empty()) Check(!starts);
  if (starts) Check(text.size() >= key.size());
  return 0;
}
