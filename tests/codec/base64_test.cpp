#include "codec/base64.h"

#include <gtest/gtest.h>

#include <string>

namespace vertamo {
namespace {

TEST(Base64, EncodesTheStandardExamples) {
  struct Case {
    std::string bytes, text;
  };
  const Case cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {std::string("\xFB\xFF\xBF", 3), "+/+/"},
      {std::string("\0\0\0", 3), "AAAA"},
      {"\x89PNG\r\n\x1a\n", "iVBORw0KGgo="},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Base64Encode(c.bytes), c.text);
    std::string out = "stale";
    EXPECT_TRUE(Base64Decode(c.text, out)) << c.text;
    EXPECT_EQ(out, c.bytes) << c.text;
  }
}

TEST(Base64, EveryByteValueAndLengthRoundTrips) {
  std::string all;
  for (int i = 0; i < 256 * 3 + 2; ++i) all += static_cast<char>((i * 37 + 11) & 0xFF);
  for (size_t n = 0; n <= all.size(); n += (n < 16 ? 1 : 61)) {
    const std::string bytes = all.substr(0, n);
    const std::string text = Base64Encode(bytes);
    EXPECT_EQ(text.size() % 4, 0u);
    std::string out;
    ASSERT_TRUE(Base64Decode(text, out)) << n;
    EXPECT_EQ(out, bytes) << n;
  }
}

TEST(Base64, StrictDecoderRefusesWhatIsNotPlainStandardBase64) {
  struct Case {
    const char* why;
    std::string text;
  };
  const Case cases[] = {
      {"length 1", "Z"},
      {"length 2", "Zg"},
      {"length 3", "Zm8"},
      {"length 5", "Zm9vY"},
      {"missing fill", "Zm9vYg"},
      {"fill too long", "Zg==="},
      {"three fill characters", "Z==="},
      {"four fill characters", "===="},
      {"fill only group after data", "Zm9v===="},
      {"fill in the middle", "Zg==Zm9v"},
      {"fill inside a group", "Z=g="},
      {"fill then data", "Zm=v"},
      {"fill in the first group of two", "Zm8=Zm9v"},
      {"URL-safe alphabet minus", "Zm-v"},
      {"URL-safe alphabet underscore", "Zm_v"},
      {"blank", "Zm9 "},
      {"line break", "Zm9v\r\nYmFy"},
      {"line feed inside", "Zm\n9"},
      {"tab", "Zm\t9"},
      {"quote", "Zm9\""},
      {"non-ASCII byte", "Zm9\xC0"},
      {"zero byte", std::string("Zm9\0", 4)},
      {"dot", "Zm.v"},
  };
  for (const auto& c : cases) {
    std::string out = "stale";
    EXPECT_FALSE(Base64Decode(c.text, out)) << c.why;
    EXPECT_TRUE(out.empty()) << c.why;
  }
}

TEST(Base64, EmptyTextIsValidAndGivesNoBytes) {
  std::string out = "stale";
  EXPECT_TRUE(Base64Decode("", out));
  EXPECT_TRUE(out.empty());
}

TEST(Base64, LeftoverBitsBeforeTheFillAreIgnored) {
  // "Zh==" carries the same byte as "Zg==" plus two stray low bits.
  std::string out;
  ASSERT_TRUE(Base64Decode("Zh==", out));
  EXPECT_EQ(out, "f");
  ASSERT_TRUE(Base64Decode("Zm9=", out));
  EXPECT_EQ(out, "fo");
}

}  // namespace
}  // namespace vertamo
