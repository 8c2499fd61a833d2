#include "protocol/txtfunc.h"

#include <gtest/gtest.h>

#include <climits>

#include "platform/cp1251.h"

namespace vertamo {
namespace {

TEST(GetIntParam, ReadsTheNumberAfterTheFirstOccurrenceOfTheKey) {
  const struct {
    const char* text;
    const char* key;
    bool found;
    int value;
  } cases[] = {
      {"OBJ=12 MAP=-3", " MAP=", true, -3},
      {"OBJ=12 MAP=-3", "OBJ=", true, 12},
      {"OBJ=12 MAP=-3", "X=", false, 0},
      {"CX=5 X=7", " X=", true, 7},  // the blank keeps " X=" out of "CX="
      {"CX=5", " X=", false, 0},
      {"A=1 A=2", "A=", true, 1},        // the first occurrence counts
      {"A=  \t+42xyz", "A=", true, 42},  // white space, sign, stops at a letter
      {"A=abc", "A=", true, 0},          // no digits: 0, still found
      {"A=", "A=", true, 0},
      {"A=-", "A=", true, 0},
      {"a=5", "A=", false, 0},  // keys are case-sensitive
      {"N=99999999999", "N=", true, INT_MAX},
      {"N=-99999999999", "N=", true, INT_MIN},
      {"N=-2147483648", "N=", true, INT_MIN},
      {"N=2147483647", "N=", true, INT_MAX},
  };
  for (const auto& c : cases) {
    int value = 12345;
    EXPECT_EQ(GetIntParam(c.text, c.key, value), c.found) << c.text << " / " << c.key;
    EXPECT_EQ(value, c.value) << c.text << " / " << c.key;
  }
}

TEST(GetStrParam, CopiesTheQuotedValueWithinCapacity) {
  const struct {
    const char* text;
    const char* key;
    size_t capacity;
    bool found;
    const char* value;
  } cases[] = {
      {"A=\"abc\"", "A=", 3, true, "ab"},  // cut to capacity - 1, still true
      {"A=abc", "A=", 64, false, ""},      // no quote right after the key
      {"A= \"abc\"", "A=", 64, false, ""},    {"A=\"abc\"", "A=", 64, true, "abc"},
      {"A=\"abc", "A=", 64, true, "abc"},  // runs to the end of the text
      {"A=\"\" B=\"x\"", "A=", 64, true, ""}, {"X=1 NAME=\"Лифт 3\" Y=2", " NAME=", 64, true, "Лифт 3"},
      {"B=\"x\"", "A=", 64, false, ""},       {"A=\"abc\"", "A=", 1, true, ""},
      {"A=\"abc\"", "A=", 0, true, ""},
  };
  for (const auto& c : cases) {
    std::string value = "old";
    const std::string text = Utf8ToCp1251(c.text);
    EXPECT_EQ(GetStrParam(text, c.key, c.capacity, value), c.found) << c.text;
    EXPECT_EQ(Cp1251ToUtf8(value), c.value) << c.text;
  }
}

TEST(StartsWithText, IgnoresCaseOfLatinAndCyrillicLetters) {
  const struct {
    const char* text;
    const char* prefix;
    bool starts;
  } cases[] = {
      {"ok Full", "OK", true},
      {"OK", "OK", true},
      {"O", "OK", false},
      {"NO", "OK", false},
      {"anything", "", false},  // an empty prefix never matches
      {"", "", false},
      {"wrong login or password", "Wrong login", true},
      {"карта 1", "КАРТА", true},
      {"ёлка", "ЁЛ", true},
      {" OK", "OK", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(StartsWithText(Utf8ToCp1251(c.text), Utf8ToCp1251(c.prefix)), c.starts)
        << c.text << " / " << c.prefix;
}

}  // namespace
}  // namespace vertamo
