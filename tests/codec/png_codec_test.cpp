#include "codec/png_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "codec/png_test_util.h"

namespace vertamo {
namespace {

using testing::ChunkTypes;
using testing::PngWithHeaderSize;
using testing::Raw;
using testing::RawPng;
using testing::WriteRawPng;

constexpr uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return (a << 24) | (r << 16) | (g << 8) | b;
}

// A picture with varied pixels: gradients, a few hard edges and, when asked, a
// range of alpha values.
Image Pattern(int width, int height, bool alpha) {
  Image im;
  im.width = width;
  im.height = height;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t a = alpha ? static_cast<uint32_t>((x * 7 + y * 3) % 256) : 255;
      const uint32_t r = static_cast<uint32_t>(x * 255 / (width > 1 ? width - 1 : 1));
      const uint32_t g = static_cast<uint32_t>(y * 255 / (height > 1 ? height - 1 : 1));
      const uint32_t b = ((x / 4 + y / 4) % 2) ? 200u : 30u;
      im.argb.push_back(Argb(a, r, g, b));
    }
  }
  return im;
}

TEST(PngCodec, DecodeOfEncodeGivesThePixelsBackAndReEncodingGivesTheSameBytes) {
  struct Case {
    int width, height;
    bool alpha;
  };
  const Case cases[] = {{1, 1, false},   {1, 1, true},   {3, 2, false},      {2, 3, true},
                        {257, 5, false}, {5, 257, true}, {1024, 700, false}, {300, 200, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << (c.alpha ? " alpha" : ""));
    const Image original = Pattern(c.width, c.height, c.alpha);
    const std::string first = EncodePng(original);
    ASSERT_FALSE(first.empty());
    Image decoded;
    std::string error = "stale";
    ASSERT_TRUE(DecodePng(first, decoded, &error)) << error;
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(decoded.width, c.width);
    EXPECT_EQ(decoded.height, c.height);
    EXPECT_EQ(decoded.argb, original.argb);
    EXPECT_EQ(EncodePng(decoded), first);
    EXPECT_EQ(EncodePng(original), first) << "two encodings of one picture differ";
  }
}

TEST(PngCodec, EncoderWritesOnlyTheCriticalChunksAndPicksAlphaOnlyWhenNeeded) {
  const std::string opaque = EncodePng(Pattern(640, 480, false));
  const auto types = ChunkTypes(opaque);
  ASSERT_GE(types.size(), 3u);
  EXPECT_EQ(types.front(), "IHDR");
  EXPECT_EQ(types.back(), "IEND");
  for (size_t i = 1; i + 1 < types.size(); ++i) EXPECT_EQ(types[i], "IDAT") << i;
  // IHDR colour type byte: 2 (RGB) for an opaque picture, 6 (RGBA) otherwise.
  EXPECT_EQ(static_cast<int>(opaque[25]), 2);
  EXPECT_EQ(static_cast<int>(EncodePng(Pattern(4, 4, true))[25]), 6);
}

TEST(PngCodec, EncoderRefusesAnEmptyOrShortPicture) {
  Image im;
  EXPECT_EQ(EncodePng(im), "");
  im.width = 4;
  im.height = 4;
  im.argb.assign(15, 0xFF000000u);
  EXPECT_EQ(EncodePng(im), "");
  im.width = -1;
  im.argb.assign(16, 0xFF000000u);
  EXPECT_EQ(EncodePng(im), "");
}

// One input shape of another encoder and the pixels it must give.
struct FormatCase {
  const char* name;
  RawPng raw;
  std::vector<uint32_t> expected;
};

std::vector<FormatCase> FormatCases() {
  std::vector<FormatCase> cases;
  {
    RawPng p = Raw(3, 2, PNG_COLOR_TYPE_PALETTE, 8);
    p.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    p.trns_alpha = {255, 128, 0};  // entry 3 has no alpha entry: opaque
    p.rows = {{0, 1, 2}, {3, 0, 1}};
    cases.push_back({"palette 8-bit with transparency",
                     p,
                     {Argb(255, 255, 0, 0), Argb(128, 0, 255, 0), Argb(0, 0, 0, 255),
                      Argb(255, 255, 255, 255), Argb(255, 255, 0, 0), Argb(128, 0, 255, 0)}});
  }
  {
    RawPng p = Raw(10, 1, PNG_COLOR_TYPE_PALETTE, 1);
    p.palette = {{10, 20, 30}, {200, 210, 220}};
    p.rows = {{0b10100000, 0b01000000}};  // 1 0 1 0 0 0 0 0 | 0 1
    const uint32_t a = Argb(255, 10, 20, 30), b = Argb(255, 200, 210, 220);
    cases.push_back({"palette 1-bit, width not a multiple of 8", p, {b, a, b, a, a, a, a, a, a, b}});
  }
  {
    RawPng p = Raw(3, 1, PNG_COLOR_TYPE_PALETTE, 4);
    for (int i = 0; i < 16; ++i) {
      p.palette.push_back({static_cast<png_byte>(i * 16), 7, static_cast<png_byte>(255 - i)});
    }
    p.rows = {{0x1F, 0x80}};  // 1, 15, 8
    cases.push_back(
        {"palette 4-bit", p, {Argb(255, 16, 7, 254), Argb(255, 240, 7, 240), Argb(255, 128, 7, 247)}});
  }
  {
    RawPng p = Raw(5, 1, PNG_COLOR_TYPE_GRAY, 2);
    p.rows = {{0b00011011, 0b11000000}};  // 0 1 2 3 | 3
    cases.push_back({"grey 2-bit",
                     p,
                     {Argb(255, 0, 0, 0), Argb(255, 85, 85, 85), Argb(255, 170, 170, 170),
                      Argb(255, 255, 255, 255), Argb(255, 255, 255, 255)}});
  }
  {
    RawPng p = Raw(2, 1, PNG_COLOR_TYPE_GRAY, 1);
    p.rows = {{0b01000000}};
    cases.push_back({"grey 1-bit", p, {Argb(255, 0, 0, 0), Argb(255, 255, 255, 255)}});
  }
  {
    RawPng p = Raw(2, 2, PNG_COLOR_TYPE_GRAY, 4);
    p.rows = {{0x0F}, {0x73}};
    cases.push_back(
        {"grey 4-bit",
         p,
         {Argb(255, 0, 0, 0), Argb(255, 255, 255, 255), Argb(255, 119, 119, 119), Argb(255, 51, 51, 51)}});
  }
  {
    RawPng p = Raw(3, 1, PNG_COLOR_TYPE_GRAY, 8);
    p.rows = {{0, 5, 200}};
    p.has_trns_color = true;
    p.trns_color.gray = 5;
    cases.push_back({"grey 8-bit with a colour key",
                     p,
                     {Argb(255, 0, 0, 0), Argb(0, 5, 5, 5), Argb(255, 200, 200, 200)}});
  }
  {
    // 16-bit samples that are multiples of 257 scale exactly to 8 bits.
    RawPng p = Raw(3, 1, PNG_COLOR_TYPE_GRAY, 16);
    p.rows = {{0x00, 0x00, 0x80, 0x80, 0xFF, 0xFF}};
    cases.push_back(
        {"grey 16-bit", p, {Argb(255, 0, 0, 0), Argb(255, 128, 128, 128), Argb(255, 255, 255, 255)}});
  }
  {
    RawPng p = Raw(2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8);
    p.rows = {{10, 0, 250, 99}};
    cases.push_back({"grey and alpha 8-bit", p, {Argb(0, 10, 10, 10), Argb(99, 250, 250, 250)}});
  }
  {
    RawPng p = Raw(1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 16);
    p.rows = {{0x40, 0x40, 0xC0, 0xC0}};
    cases.push_back({"grey and alpha 16-bit", p, {Argb(0xC0, 0x40, 0x40, 0x40)}});
  }
  {
    RawPng p = Raw(2, 1, PNG_COLOR_TYPE_RGB, 16);
    p.rows = {{0x12, 0x12, 0x34, 0x34, 0x56, 0x56, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x01}};
    cases.push_back({"RGB 16-bit", p, {Argb(255, 0x12, 0x34, 0x56), Argb(255, 255, 0, 1)}});
  }
  {
    RawPng p = Raw(1, 2, PNG_COLOR_TYPE_RGB_ALPHA, 16);
    p.rows = {{0x01, 0x01, 0x02, 0x02, 0x03, 0x03, 0x04, 0x04},
              {0xAA, 0xAA, 0xBB, 0xBB, 0xCC, 0xCC, 0xDD, 0xDD}};
    cases.push_back({"RGBA 16-bit", p, {Argb(4, 1, 2, 3), Argb(0xDD, 0xAA, 0xBB, 0xCC)}});
  }
  {
    RawPng p = Raw(2, 1, PNG_COLOR_TYPE_RGB, 8);
    p.rows = {{10, 20, 30, 10, 20, 31}};
    p.has_trns_color = true;
    p.trns_color.red = 10;
    p.trns_color.green = 20;
    p.trns_color.blue = 30;
    cases.push_back({"RGB with a colour key", p, {Argb(0, 10, 20, 30), Argb(255, 10, 20, 31)}});
  }
  {
    RawPng p = Raw(2, 1, PNG_COLOR_TYPE_RGB, 8);
    p.with_time = true;
    p.rows = {{1, 2, 3, 4, 5, 6}};
    cases.push_back({"RGB with time and text chunks", p, {Argb(255, 1, 2, 3), Argb(255, 4, 5, 6)}});
  }
  return cases;
}

TEST(PngCodec, DecodesEveryColourTypeAndBitDepthToArgb) {
  for (const auto& c : FormatCases()) {
    SCOPED_TRACE(c.name);
    const std::string file = WriteRawPng(c.raw);
    ASSERT_FALSE(file.empty());
    Image im;
    std::string error;
    ASSERT_TRUE(DecodePng(file, im, &error)) << error;
    EXPECT_EQ(im.width, c.raw.width);
    EXPECT_EQ(im.height, c.raw.height);
    EXPECT_EQ(im.argb, c.expected);

    // Interlaced, the same samples give the same pixels.
    RawPng interlaced = c.raw;
    interlaced.interlaced = true;
    Image im2;
    ASSERT_TRUE(DecodePng(WriteRawPng(interlaced), im2, &error)) << error;
    EXPECT_EQ(im2.argb, c.expected);

    // Our own encoding of it is stable from then on and has no extra chunks.
    const std::string ours = EncodePng(im);
    Image back;
    ASSERT_TRUE(DecodePng(ours, back));
    EXPECT_EQ(back.argb, im.argb);
    EXPECT_EQ(EncodePng(back), ours);
    for (const auto& type : ChunkTypes(ours)) {
      EXPECT_TRUE(type == "IHDR" || type == "IDAT" || type == "IEND") << type;
    }
  }
}

TEST(PngCodec, InterlacedPictureDecodesLikeTheSamePictureStraight) {
  // 8-bit RGBA, a size that leaves some Adam7 passes short.
  RawPng p = Raw(13, 9, PNG_COLOR_TYPE_RGB_ALPHA, 8);
  for (int y = 0; y < p.height; ++y) {
    std::vector<uint8_t> row;
    for (int x = 0; x < p.width; ++x) {
      row.insert(row.end(), {static_cast<uint8_t>(x * 19), static_cast<uint8_t>(y * 28),
                             static_cast<uint8_t>(x * y), static_cast<uint8_t>(255 - x - y)});
    }
    p.rows.push_back(row);
  }
  Image straight, interlaced;
  ASSERT_TRUE(DecodePng(WriteRawPng(p), straight));
  p.interlaced = true;
  ASSERT_TRUE(DecodePng(WriteRawPng(p), interlaced));
  EXPECT_EQ(interlaced.argb, straight.argb);
  EXPECT_EQ(straight.argb[1 * 13 + 2], Argb(252, 38, 28, 2));
}

TEST(PngCodec, RefusesDataThatIsNotAPngFile) {
  const std::string good = EncodePng(Pattern(8, 8, false));
  struct Case {
    const char* name;
    std::string bytes;
  };
  std::string bad_crc = good;
  bad_crc[20] ^= 0x01;  // inside IHDR's data: its CRC no longer matches
  std::string bad_idat = good;
  bad_idat.replace(8 + 25 + 8, 10, std::string(10, '\x77'));  // garbled deflate stream in IDAT
  const Case cases[] = {
      {"empty", ""},
      {"text", "hello, this is not a picture"},
      {"signature only", good.substr(0, 8)},
      {"signature and garbage", good.substr(0, 8) + std::string(100, '\x42')},
      {"GIF", "GIF89a\x01\x00\x01\x00\x00\x00\x00;"},
      {"broken header CRC", bad_crc},
      {"garbled image data", bad_idat},
      {"no image data", good.substr(0, 33) + testing::MakeChunk("IEND", "")},
      {"text chunk claiming 2 GB", good.substr(0, 33) + std::string("\x7E\x00\x00\x14tEXtSoftware", 16)},
      {"unknown chunk claiming 2 GB", good.substr(0, 33) + std::string("\x7E\x00\x00\x14prVtabcd", 12)},
      {"time chunk before the header",
       good.substr(0, 8) + testing::MakeChunk("tIME", std::string(7, '\x01')) + good.substr(8)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Image im;
    im.width = 3;  // stale content must be cleared
    std::string error;
    EXPECT_FALSE(DecodePng(c.bytes, im, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(im.width, 0);
    EXPECT_EQ(im.height, 0);
    EXPECT_TRUE(im.argb.empty());
  }
}

TEST(PngCodec, RefusesEveryTruncationAndSurvivesEverySingleByteChange) {
  const std::string good = EncodePng(Pattern(16, 9, true));
  Image im;
  for (size_t n = 0; n < good.size() - 12; ++n) {  // cut before IEND: image data incomplete
    EXPECT_FALSE(DecodePng(good.substr(0, n), im)) << "prefix of " << n << " bytes";
  }
  for (size_t i = 0; i < good.size(); ++i) {
    std::string changed = good;
    changed[i] = static_cast<char>(changed[i] ^ 0x5A);
    std::string error;
    if (!DecodePng(changed, im, &error)) {
      EXPECT_FALSE(error.empty()) << i;
      EXPECT_TRUE(im.argb.empty()) << i;
    } else {
      EXPECT_EQ(im.argb.size(), static_cast<size_t>(im.width) * im.height) << i;
    }
  }
  // Without the error text argument too.
  EXPECT_FALSE(DecodePng(good.substr(0, 40), im, nullptr));
}

TEST(PngCodec, RefusesAbsurdSizesWithoutTryingToAllocate) {
  struct Case {
    uint32_t width, height;
  };
  const Case cases[] = {{16385, 1}, {1, 16385}, {16384, 16384}, {8193, 8193}, {0x7FFFFFFF, 0x7FFFFFFF}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height);
    Image im;
    std::string error;
    EXPECT_FALSE(DecodePng(PngWithHeaderSize(c.width, c.height), im, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(im.argb.empty());
  }
  // The largest side that is allowed passes the size checks (and then fails on
  // its short image data, not on its size).
  Image im;
  std::string error;
  EXPECT_FALSE(DecodePng(PngWithHeaderSize(kPngMaxSide, 1), im, &error));
  EXPECT_EQ(error.find("size"), std::string::npos) << error;
}

TEST(PngCodec, TwoCodecsRunSideBySide) {
  // No shared state: pictures encoded on two threads at once are the same.
  const Image a = Pattern(200, 150, true), b = Pattern(150, 200, false);
  const std::string ea = EncodePng(a), eb = EncodePng(b);
  std::string ta, tb;
  std::thread t1([&] {
    for (int i = 0; i < 20; ++i) ta = EncodePng(a);
  });
  std::thread t2([&] {
    for (int i = 0; i < 20; ++i) tb = EncodePng(b);
  });
  t1.join();
  t2.join();
  EXPECT_EQ(ta, ea);
  EXPECT_EQ(tb, eb);
}

}  // namespace
}  // namespace vertamo
