#include "codec/png_codec.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

namespace vertamo {
namespace {

// libpng reports errors by a long jump back to the function that called
// setjmp. Everything that must survive such a jump lives in this record, which
// belongs to a frame the jump does not leave; the error text is copied into a
// plain buffer so that no C++ object is created on the way.
struct CodecContext {
  // Reading.
  const unsigned char* data = nullptr;
  size_t size = 0;
  size_t pos = 0;
  // Writing.
  std::string* out = nullptr;
  // The first error libpng (or this code) reported.
  char error[160] = {};
};

void StoreError(CodecContext* ctx, const char* message) {
  if (ctx->error[0] == '\0') {
    std::snprintf(ctx->error, sizeof ctx->error, "%s", message ? message : "PNG error");
  }
}

[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
  StoreError(static_cast<CodecContext*>(png_get_error_ptr(png)), message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

void ReadFromMemory(png_structp png, png_bytep dest, png_size_t length) {
  auto* ctx = static_cast<CodecContext*>(png_get_io_ptr(png));
  if (length > ctx->size - ctx->pos) {
    png_error(png, "truncated PNG data");
  }
  std::memcpy(dest, ctx->data + ctx->pos, length);
  ctx->pos += length;
}

void WriteToString(png_structp png, png_bytep data, png_size_t length) {
  auto* ctx = static_cast<CodecContext*>(png_get_io_ptr(png));
  try {
    ctx->out->append(reinterpret_cast<const char*>(data), length);
  } catch (const std::bad_alloc&) {
    png_error(png, "out of memory");
  }
}

void FlushNothing(png_structp) {}

// The part of the decoder that libpng may jump out of. `pixels` belongs to the
// caller's frame. Returns true with pixels filled as R, G, B, A bytes per pixel.
bool DecodeGuarded(png_structp png, png_infop info, CodecContext* ctx, std::vector<uint32_t>* pixels,
                   int* width, int* height, std::vector<png_bytep>* rows) {
  if (setjmp(png_jmpbuf(png))) {
    return false;
  }
  png_set_read_fn(png, ctx, ReadFromMemory);
  png_set_user_limits(png, kPngMaxSide, kPngMaxSide);
  // Ancillary chunks are of no use here: skip them unread (a chunk header may
  // claim gigabytes), and bound what libpng allocates for the ones it keeps.
  static constexpr png_byte kSkipped[] = "tEXt\0zTXt\0iTXt\0iCCP\0sPLT\0eXIf\0tIME\0pCAL\0sCAL\0hIST\0";
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kSkipped, static_cast<int>(sizeof kSkipped / 5));
  png_set_chunk_malloc_max(png, 1024 * 1024);
  png_set_chunk_cache_max(png, 128);
  png_read_info(png, info);

  const png_uint_32 w = png_get_image_width(png, info);
  const png_uint_32 h = png_get_image_height(png, info);
  if (w == 0 || h == 0 || w > static_cast<png_uint_32>(kPngMaxSide) ||
      h > static_cast<png_uint_32>(kPngMaxSide)) {
    png_error(png, "picture size out of range");
  }
  if (static_cast<int64_t>(w) * static_cast<int64_t>(h) > kPngMaxPixels) {
    png_error(png, "picture has too many pixels");
  }

  const int color_type = png_get_color_type(png, info);
  const int bit_depth = png_get_bit_depth(png, info);
  if (color_type == PNG_COLOR_TYPE_PALETTE) {
    png_set_palette_to_rgb(png);
  }
  if (color_type == PNG_COLOR_TYPE_GRAY && bit_depth < 8) {
    png_set_expand_gray_1_2_4_to_8(png);
  }
  if (png_get_valid(png, info, PNG_INFO_tRNS)) {
    png_set_tRNS_to_alpha(png);
  }
  if (bit_depth == 16) {
    png_set_scale_16(png);
  }
  if (color_type == PNG_COLOR_TYPE_GRAY || color_type == PNG_COLOR_TYPE_GRAY_ALPHA) {
    png_set_gray_to_rgb(png);
  }
  if (!(color_type & PNG_COLOR_MASK_ALPHA)) {
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);  // fills only when no alpha came from tRNS
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<png_size_t>(w) * 4) {
    png_error(png, "unexpected row layout after conversion");
  }

  try {
    pixels->assign(static_cast<size_t>(w) * h, 0);
    rows->resize(h);
  } catch (const std::bad_alloc&) {
    png_error(png, "out of memory");
  }
  auto* base = reinterpret_cast<png_bytep>(pixels->data());
  for (png_uint_32 y = 0; y < h; ++y) {
    (*rows)[y] = base + static_cast<size_t>(y) * w * 4;
  }
  png_read_image(png, rows->data());
  png_read_end(png, nullptr);
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

// The part of the encoder that libpng may jump out of; `row` belongs to the
// caller's frame.
bool EncodeGuarded(png_structp png, png_infop info, CodecContext* ctx, const Image* image, bool with_alpha,
                   std::vector<png_byte>* row) {
  if (setjmp(png_jmpbuf(png))) {
    return false;
  }
  png_set_write_fn(png, ctx, WriteToString, FlushNothing);
  // Fixed settings: the same pixels always give the same bytes. Level 3 with
  // the "up" filter: for map backgrounds about half the time of level 6 for
  // files about a third larger, since the workstation encodes every picture it
  // receives for its cache.
  png_set_compression_level(png, 3);
  png_set_compression_strategy(png, Z_DEFAULT_STRATEGY);
  png_set_compression_mem_level(png, 8);
  png_set_compression_window_bits(png, 15);
  png_set_compression_method(png, 8);
  png_set_compression_buffer_size(png, 8192);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image->width), static_cast<png_uint_32>(image->height), 8,
               with_alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  png_write_info(png, info);

  const size_t channels = with_alpha ? 4 : 3;
  try {
    row->resize(static_cast<size_t>(image->width) * channels);
  } catch (const std::bad_alloc&) {
    png_error(png, "out of memory");
  }
  for (int y = 0; y < image->height; ++y) {
    const uint32_t* src = image->argb.data() + static_cast<size_t>(y) * image->width;
    png_byte* dst = row->data();
    for (int x = 0; x < image->width; ++x) {
      const uint32_t p = src[x];
      *dst++ = static_cast<png_byte>(p >> 16);
      *dst++ = static_cast<png_byte>(p >> 8);
      *dst++ = static_cast<png_byte>(p);
      if (with_alpha) {
        *dst++ = static_cast<png_byte>(p >> 24);
      }
    }
    png_write_row(png, row->data());
  }
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

bool DecodePng(std::string_view bytes, Image& out, std::string* error) {
  out = Image{};
  auto fail = [&](const char* reason) {
    out = Image{};
    if (error) {
      *error = reason;
    }
    return false;
  };
  if (bytes.size() < 8 || png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.data()), 0, 8) != 0) {
    return fail("not a PNG file");
  }
  // The format puts IHDR first, and the load reads a picture's size there
  // before it decodes: a file with another chunk ahead of it is refused.
  if (bytes.size() < 16 || bytes.substr(12, 4) != "IHDR") {
    return fail("IHDR is not the first chunk");
  }

  CodecContext ctx;
  ctx.data = reinterpret_cast<const unsigned char*>(bytes.data());
  ctx.size = bytes.size();
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &ctx, OnPngError, OnPngWarning);
  if (!png) {
    return fail("cannot create PNG reader");
  }
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return fail("cannot create PNG reader");
  }

  std::vector<uint32_t> pixels;
  std::vector<png_bytep> rows;
  int width = 0, height = 0;
  const bool ok = DecodeGuarded(png, info, &ctx, &pixels, &width, &height, &rows);
  png_destroy_read_struct(&png, &info, nullptr);
  if (!ok) {
    return fail(ctx.error[0] ? ctx.error : "PNG error");
  }

  // R, G, B, A bytes in memory → 0xAARRGGBB.
  for (uint32_t& p : pixels) {
    unsigned char b[4];
    std::memcpy(b, &p, 4);
    p = (uint32_t{b[3]} << 24) | (uint32_t{b[0]} << 16) | (uint32_t{b[1]} << 8) | b[2];
  }
  out.width = width;
  out.height = height;
  out.argb = std::move(pixels);
  if (error) {
    error->clear();
  }
  return true;
}

std::string EncodePng(const Image& image) {
  if (image.width <= 0 || image.height <= 0 ||
      image.argb.size() / static_cast<size_t>(image.width) < static_cast<size_t>(image.height)) {
    return {};
  }
  bool with_alpha = false;
  const size_t count = static_cast<size_t>(image.width) * image.height;
  for (size_t i = 0; i < count; ++i) {
    if ((image.argb[i] >> 24) != 0xFF) {
      with_alpha = true;
      break;
    }
  }

  std::string out;
  CodecContext ctx;
  ctx.out = &out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &ctx, OnPngError, OnPngWarning);
  if (!png) {
    return {};
  }
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return {};
  }
  std::vector<png_byte> row;
  const bool ok = EncodeGuarded(png, info, &ctx, &image, with_alpha, &row);
  png_destroy_write_struct(&png, &info);
  if (!ok) {
    return {};
  }
  return out;
}

}  // namespace vertamo
