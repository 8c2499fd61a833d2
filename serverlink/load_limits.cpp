#include "serverlink/load_limits.h"

#include <cstring>

#include "platform/cp1251.h"
#include "serverlink/client_log.h"

namespace vertamo {

bool WithinLimit(TClientLog* log, const char* what, int64_t value, int64_t limit) {
  if (value <= limit) return true;
  if (log)
    log->Always("Превышен предел: %s = %lld, допустимо не более %lld", Utf8ToCp1251(what).c_str(),
                static_cast<long long>(value), static_cast<long long>(limit));
  return false;
}

bool PictureFits(const TLoadLimits& limits, const TLoadBudget& budget, int width, int height,
                 TClientLog* log) {
  const int64_t pixels = int64_t{width} * height;
  return WithinLimit(log, "ширина картинки", width, limits.maxPictureSide) &&
         WithinLimit(log, "высота картинки", height, limits.maxPictureSide) &&
         WithinLimit(log, "пикселей в картинке", pixels, limits.maxPicturePixels) &&
         WithinLimit(log, "пикселей в каталоге", budget.pixels + pixels, limits.maxCataloguePixels);
}

bool PngDimensions(std::string_view png, int& width, int& height) {
  // Signature (8 bytes), then the IHDR chunk: length (4), type (4), width (4),
  // height (4), all big-endian.
  static constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (png.size() < 24 || std::memcmp(png.data(), kSignature, 8) != 0 || png.substr(12, 4) != "IHDR")
    return false;
  const auto big = [&](std::size_t at) {
    uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(png[at + i]);
    return v;
  };
  const uint32_t w = big(16), h = big(20);
  if (w == 0 || h == 0 || w > 0x7FFFFFFFu || h > 0x7FFFFFFFu) return false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

int64_t MaxEncodedPngBytes(int width, int height) {
  // Rows of a filter byte and four bytes a pixel; deflate stores what it
  // cannot compress in blocks of 5 header bytes per 64 KiB, and the data
  // travels in IDAT chunks of 12 header bytes per 8 KiB: under 1/64 in all.
  const int64_t raw = int64_t{height} * (1 + 4 * int64_t{width});
  return raw + raw / 64 + 4096;
}

}  // namespace vertamo
