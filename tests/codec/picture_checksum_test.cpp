#include "codec/picture_checksum.h"

#include <gtest/gtest.h>

#include <string>

#include "codec/png_test_util.h"
#include "codec/png_codec.h"

namespace vertamo {
namespace {

TEST(PictureChecksum, SumsUnsignedBytesInAWrappingAccumulator) {
  EXPECT_EQ(PictureChecksum(""), 0u);
  EXPECT_EQ(PictureChecksum(std::string("\x01\x02\xFF", 3)), 258u);  // 0xFF counts 255, not -1
  EXPECT_EQ(PictureChecksum(std::string(1000, '\x80')), 128000u);
  EXPECT_EQ(AddToPictureChecksum(0xFFFFFFFFu, "\x02"), 1u);
  // A picture set: its files summed together, in any grouping.
  const std::string f0 = "abc", f1 = std::string("\x00\xFE", 2), f2 = "zz";
  EXPECT_EQ(AddToPictureChecksum(AddToPictureChecksum(PictureChecksum(f0), f1), f2),
            PictureChecksum(f0 + f1 + f2));
}

TEST(PictureChecksum, ReadsTheServersHexTextLikeTheWorkstation) {
  struct Case {
    const char* text;
    uint32_t value;
  };
  const Case cases[] = {
      {"1A", 26},
      {"1a", 26},
      {"0x1A", 26},  // the x counts as the digit 0
      {"", 0},
      {"0", 0},
      {"zz", 0},
      {"FFFFFFFF", 0xFFFFFFFFu},
      {"ffffffff", 0xFFFFFFFFu},
      {"100000000", 0},            // wraps
      {"123456789", 0x23456789u},  // only the last eight digits survive
      {"DEAD BEEF", 0xEAD0BEEFu},  // the blank counts as the digit 0
      {"10", 16},
      {"G", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ParsePictureChecksum(c.text), c.value) << c.text;
}

TEST(PictureChecksum, FormattedValueReadsBackAsTheSameValue) {
  for (uint32_t v : {0u, 1u, 9u, 10u, 26u, 0xABCDEFu, 0x80000000u, 0xFFFFFFFFu}) {
    const std::string text = FormatPictureChecksum(v);
    EXPECT_LE(text.size(), 8u);
    EXPECT_EQ(ParsePictureChecksum(text), v) << text;
  }
  EXPECT_EQ(FormatPictureChecksum(26), "1A");
  EXPECT_EQ(FormatPictureChecksum(0), "0");
  EXPECT_EQ(FormatPictureChecksum(0xFFFFFFFFu), "FFFFFFFF");
}

TEST(PictureChecksum, CacheFileBytesAreWhatTheWorkstationWritesAfterDecoding) {
  // A picture as another encoder wrote it: palette, interlaced, with a time chunk.
  testing::RawPng raw = testing::Raw(3, 2, PNG_COLOR_TYPE_PALETTE, 8);
  raw.interlaced = true;
  raw.with_time = true;
  raw.palette = {{255, 0, 0}, {0, 128, 0}, {0, 0, 255}};
  raw.rows = {{0, 1, 2}, {2, 1, 0}};
  const std::string foreign = testing::WriteRawPng(raw);
  ASSERT_FALSE(foreign.empty());

  std::string cached;
  ASSERT_TRUE(CacheFileBytes(foreign, cached));
  EXPECT_NE(cached, foreign);
  // What the workstation does: decode what it received, encode, write.
  Image decoded;
  ASSERT_TRUE(DecodePng(foreign, decoded));
  EXPECT_EQ(cached, EncodePng(decoded));
  // A server that sends the cache bytes themselves gets them back unchanged.
  std::string again;
  ASSERT_TRUE(CacheFileBytes(cached, again));
  EXPECT_EQ(again, cached);
  EXPECT_EQ(PictureChecksum(again), PictureChecksum(cached));
  // The checksum text the server sends matches what the workstation sums.
  EXPECT_EQ(ParsePictureChecksum(FormatPictureChecksum(PictureChecksum(cached))), PictureChecksum(cached));

  EXPECT_FALSE(CacheFileBytes("not a picture", cached));
  EXPECT_TRUE(cached.empty());
}

}  // namespace
}  // namespace vertamo
