// The strict Base64 decoder of picture data: no input may crash it, accepted
// text decodes to bytes that encode back to text it accepts again.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "codec/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string decoded;
  if (vertamo::Base64Decode(input, decoded)) {
    if (input.size() % 4 != 0 || decoded.size() > input.size() / 4 * 3) std::abort();
    std::string again;
    if (!vertamo::Base64Decode(vertamo::Base64Encode(decoded), again) || again != decoded) std::abort();
  } else if (!decoded.empty()) {
    std::abort();
  }
  // The input as bytes to encode.
  const std::string text = vertamo::Base64Encode(input);
  if (!vertamo::Base64Decode(text, decoded) || decoded != input) std::abort();
  return 0;
}
