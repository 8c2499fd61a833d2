#include "codec/picture_checksum.h"

#include "codec/png_codec.h"

namespace vertamo {

uint32_t AddToPictureChecksum(uint32_t sum, std::string_view bytes) {
  for (unsigned char c : bytes) {
    sum += c;
  }
  return sum;
}

std::string FormatPictureChecksum(uint32_t sum) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  char buffer[8];
  int n = 0;
  do {
    buffer[n++] = kDigits[sum & 15];
    sum >>= 4;
  } while (sum != 0);
  std::string out;
  while (n > 0) {
    out.push_back(buffer[--n]);
  }
  return out;
}

uint32_t ParsePictureChecksum(std::string_view text) {
  uint32_t value = 0;
  for (char ch : text) {
    uint32_t digit = 0;
    if (ch >= '0' && ch <= '9') {
      digit = static_cast<uint32_t>(ch - '0');
    } else if (ch >= 'a' && ch <= 'f') {
      digit = static_cast<uint32_t>(ch - 'a' + 10);
    } else if (ch >= 'A' && ch <= 'F') {
      digit = static_cast<uint32_t>(ch - 'A' + 10);
    }
    value = value * 16 + digit;
  }
  return value;
}

bool CacheFileBytes(std::string_view png, std::string& out) {
  out.clear();
  Image image;
  if (!DecodePng(png, image)) {
    return false;
  }
  out = EncodePng(image);
  return !out.empty();
}

}  // namespace vertamo
