#include "platform/cp1251.h"

#include <gtest/gtest.h>

namespace vertamo {
namespace {

TEST(Cp1251, RussianTextRoundTrips) {
  const std::string utf8 = "Подключение к серверу Ёжик №5 «ok»";
  const std::string bytes = Utf8ToCp1251(utf8);
  EXPECT_EQ(bytes.substr(0, 4), "\xCF\xEE\xE4\xEA");  // П о д к
  EXPECT_EQ(bytes.size(), 34u);
  EXPECT_EQ(Cp1251ToUtf8(bytes), utf8);
}

TEST(Cp1251, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all)), all);
}

TEST(Cp1251, UnmappableAndMalformedInputBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1251("a\xE4\xB8\xAD" "b"), "a?b");      // a CJK character
  EXPECT_EQ(Utf8ToCp1251("a\xF0\x9F\x98\x80" "b"), "a?b");  // an emoji
  EXPECT_EQ(Utf8ToCp1251("a\xC3"), "a?");                   // cut sequence
  EXPECT_EQ(Utf8ToCp1251("\x80x"), "?x");                   // stray continuation byte
}

TEST(Cp1251, CaseFoldingCoversCyrillicAndLatin) {
  struct Case {
    const char* lower;
    const char* upper;
  };
  const Case cases[] = {{"abcxyz", "ABCXYZ"}, {"абвгдеёжзийя", "АБВГДЕЁЖЗИЙЯ"}, {"їієґў", "ЇІЄҐЎ"}};
  for (const auto& c : cases) {
    const std::string lo = Utf8ToCp1251(c.lower), up = Utf8ToCp1251(c.upper);
    std::string folded;
    for (unsigned char ch : lo) folded += static_cast<char>(UpperCp1251(ch));
    EXPECT_EQ(folded, up) << c.lower;
    std::string unfolded;
    for (unsigned char ch : up) unfolded += static_cast<char>(LowerCp1251(ch));
    EXPECT_EQ(unfolded, lo) << c.upper;
    EXPECT_TRUE(EqualsIgnoreCaseCp1251(lo, up));
  }
  EXPECT_EQ(UpperCp1251('1'), '1');
  EXPECT_EQ(UpperCp1251(0xB9), 0xB9);  // № has no case
}

TEST(Cp1251, AsciiFoldingLeavesCyrillicCaseAlone) {
  EXPECT_TRUE(EqualsIgnoreCaseAscii("ServerInfo", "SERVERINFO"));
  EXPECT_FALSE(EqualsIgnoreCaseAscii(Utf8ToCp1251("Сервер"), Utf8ToCp1251("СЕРВЕР")));
  EXPECT_TRUE(EqualsIgnoreCaseCp1251(Utf8ToCp1251("Сервер"), Utf8ToCp1251("СЕРВЕР")));
  EXPECT_FALSE(EqualsIgnoreCaseAscii("ab", "abc"));
}

TEST(Cp1251, StartsWithIgnoringCase) {
  EXPECT_TRUE(StartsWithIgnoreCaseCp1251("ok Full", "OK"));
  EXPECT_FALSE(StartsWithIgnoreCaseCp1251("o", "OK"));
  EXPECT_TRUE(StartsWithIgnoreCaseCp1251(Utf8ToCp1251("ошибка связи"), Utf8ToCp1251("ОШИБКА")));
}

}  // namespace
}  // namespace vertamo
