// PNG decoding of data received from the server or read from the cache: no
// input may crash it, whatever decodes must survive the cache round trip, and
// its header must tell the size the decoder gives.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "codec/png_codec.h"
#include "serverlink/load_limits.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  vertamo::Image image;
  std::string error;
  if (!vertamo::DecodePng(bytes, image, &error)) {
    if (error.empty() || !image.argb.empty()) std::abort();
    return 0;
  }
  if (image.argb.size() != static_cast<size_t>(image.width) * image.height) std::abort();
  // The header the load bounds are checked against tells the decoded size.
  int width = 0, height = 0;
  if (!vertamo::PngDimensions(bytes, width, height) || width != image.width || height != image.height)
    std::abort();
  if (image.argb.size() > 1 << 20) return 0;  // keep the round trip quick
  const std::string encoded = vertamo::EncodePng(image);
  vertamo::Image again;
  if (!vertamo::DecodePng(encoded, again) || again.argb != image.argb) std::abort();
  if (vertamo::EncodePng(again) != encoded) std::abort();
  return 0;
}
