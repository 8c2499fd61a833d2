#include <gtest/gtest.h>

#include "voice/mulaw.h"

namespace vertamo {
namespace {

struct UlawCase {
  int value;
  int code;
  int level;  // the complement the voice window shows
};

TEST(LinearToUlaw, EdgeCasesAndTheirLevels) {
  const UlawCase cases[] = {
      {0, 0xFF, 0},       {1000, 0xCE, 49}, {-1000, 0x4E, 177}, {32767, 0x80, 127}, {-32768, 0x00, 255},
      {-1, 0x7F, 128},    {123, 0xF0, 15},  {124, 0xEF, 16},    {32635, 0x80, 127}, {-32635, 0x00, 255},
      {32634, 0x80, 127}, {8058, 0xA0, 95}, {-8059, 0x20, 223},
  };
  for (const UlawCase& c : cases) {
    SCOPED_TRACE(c.value);
    const uint8_t code = LinearToUlaw(static_cast<int16_t>(c.value));
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(static_cast<uint8_t>(~code), c.level);
  }
}

TEST(LinearToUlaw, LevelGrowsWithTheMagnitudeOnBothSides) {
  int previousPositive = 0, previousNegative = 128;
  for (int v = 0; v <= 32767; ++v) {
    const int positive = static_cast<uint8_t>(~LinearToUlaw(static_cast<int16_t>(v)));
    const int negative = static_cast<uint8_t>(~LinearToUlaw(static_cast<int16_t>(-v - 1)));
    ASSERT_GE(positive, previousPositive) << v;
    ASSERT_GE(negative, previousNegative) << v;
    ASSERT_LE(positive, 127);
    ASSERT_GE(negative, 128);
    previousPositive = positive;
    previousNegative = negative;
  }
}

}  // namespace
}  // namespace vertamo
