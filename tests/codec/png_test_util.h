// Test helpers: PNG files in the shapes other encoders produce (palette, grey,
// 16-bit, interlaced, colour key), written with libpng directly, and a chunk
// walker for checking what a file holds.
#pragma once

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdint>
#include <string>
#include <vector>

namespace vertamo::testing {

struct RawPng {
  int width = 0, height = 0;
  int color_type = PNG_COLOR_TYPE_RGB;
  int bit_depth = 8;
  bool interlaced = false;
  // Rows of packed samples exactly as PNG stores them (big-endian 16-bit).
  std::vector<std::vector<uint8_t>> rows;
  std::vector<png_color> palette;
  std::vector<uint8_t> trns_alpha;  // palette transparency
  bool has_trns_color = false;      // colour key for grey / RGB
  png_color_16 trns_color{};
  bool with_time = false;  // a tIME chunk and a text chunk, as some encoders write
};

inline RawPng Raw(int width, int height, int color_type, int bit_depth) {
  RawPng p;
  p.width = width;
  p.height = height;
  p.color_type = color_type;
  p.bit_depth = bit_depth;
  return p;
}

inline void AppendToString(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
}

inline bool WriteRawPngGuarded(png_structp png, png_infop info, const RawPng* raw, std::string* out,
                               std::vector<png_bytep>* rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, out, AppendToString, nullptr);
  png_set_IHDR(png, info, raw->width, raw->height, raw->bit_depth, raw->color_type,
               raw->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
               PNG_FILTER_TYPE_BASE);
  if (!raw->palette.empty()) {
    png_set_PLTE(png, info, raw->palette.data(), static_cast<int>(raw->palette.size()));
  }
  if (!raw->trns_alpha.empty()) {
    png_set_tRNS(png, info, raw->trns_alpha.data(), static_cast<int>(raw->trns_alpha.size()), nullptr);
  }
  if (raw->has_trns_color) {
    png_set_tRNS(png, info, nullptr, 0, &raw->trns_color);
  }
  png_text text{};
  png_time mod_time{};
  if (raw->with_time) {
    text.compression = PNG_TEXT_COMPRESSION_NONE;
    text.key = const_cast<char*>("Software");
    text.text = const_cast<char*>("some editor");
    png_set_text(png, info, &text, 1);
    mod_time = {2024, 5, 17, 12, 30, 0};
    png_set_tIME(png, info, &mod_time);
  }
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
  png_write_info(png, info);
  png_write_image(png, rows->data());
  png_write_end(png, info);
  return true;
}

// Writes `raw` as a PNG file; empty on a libpng error.
inline std::string WriteRawPng(const RawPng& raw) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::vector<png_bytep> rows;
  for (const auto& r : raw.rows) rows.push_back(const_cast<png_bytep>(r.data()));
  const bool ok = WriteRawPngGuarded(png, info, &raw, &out, &rows);
  png_destroy_write_struct(&png, &info);
  return ok ? out : std::string();
}

// Chunk types of a PNG file in order ("IHDR", "IDAT", …); stops at a broken chunk.
inline std::vector<std::string> ChunkTypes(const std::string& png) {
  std::vector<std::string> types;
  size_t pos = 8;
  while (pos + 12 <= png.size()) {
    const auto* p = reinterpret_cast<const unsigned char*>(png.data() + pos);
    const uint32_t length = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
    types.push_back(png.substr(pos + 4, 4));
    if (length > png.size() - pos - 12) break;
    pos += 12 + length;
  }
  return types;
}

// One chunk with its length and CRC.
inline std::string MakeChunk(const std::string& type, const std::string& data) {
  std::string out;
  const uint32_t n = static_cast<uint32_t>(data.size());
  out += static_cast<char>(n >> 24);
  out += static_cast<char>(n >> 16);
  out += static_cast<char>(n >> 8);
  out += static_cast<char>(n);
  const std::string body = type + data;
  out += body;
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
  out += static_cast<char>(crc >> 24);
  out += static_cast<char>(crc >> 16);
  out += static_cast<char>(crc >> 8);
  out += static_cast<char>(crc);
  return out;
}

// A PNG whose header claims width × height (8-bit RGB) followed by a few bytes
// of image data: a file that would need a huge allocation if trusted.
inline std::string PngWithHeaderSize(uint32_t width, uint32_t height) {
  std::string ihdr;
  for (uint32_t v : {width, height}) {
    ihdr += static_cast<char>(v >> 24);
    ihdr += static_cast<char>(v >> 16);
    ihdr += static_cast<char>(v >> 8);
    ihdr += static_cast<char>(v);
  }
  ihdr += std::string("\x08\x02\x00\x00\x00", 5);
  const std::string zeros(64, '\0');
  std::string idat(compressBound(zeros.size()), '\0');
  uLongf idat_len = idat.size();
  compress(reinterpret_cast<Bytef*>(idat.data()), &idat_len, reinterpret_cast<const Bytef*>(zeros.data()),
           zeros.size());
  idat.resize(idat_len);
  return std::string("\x89PNG\r\n\x1a\n", 8) + MakeChunk("IHDR", ihdr) + MakeChunk("IDAT", idat) +
         MakeChunk("IEND", "");
}

}  // namespace vertamo::testing
