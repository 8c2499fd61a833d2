#include "settings/func.h"

#include <climits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/cp1251.h"

namespace vertamo {
namespace {

TEST(Transliterate, TheWholeAlphabetInBothCases) {
  const std::string upper = Utf8ToCp1251("АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ");
  const std::string lower = Utf8ToCp1251("абвгдежзийклмнопрстуфхцчшщъыьэюя");
  EXPECT_EQ(Transliterate(upper), "ABVGDEZHZIJJKLMNOPRSTUFKHCCHSHSHH\"Y'EHJUJA");
  EXPECT_EQ(Transliterate(lower), "abvgdezhzijjklmnoprstufkhcchshshh\"y'ehjuja");
}

TEST(Transliterate, EdgeCases) {
  struct Case {
    const char* utf8;
    std::string latin;
  };
  const std::vector<Case> cases = {
      {"Щука", "SHHuka"},
      {"ёлка Ёж", "\xB8lka \xA8zh"},  // Ё and ё pass as they are, the letters around them change
      {"Lift 12, подъезд №3",
       "Lift 12, pod\"ezd \xB9"
       "3"},
      {"", ""},
      {"Объект", "Ob\"ekt"},
      {"Иванов И.И.", "Ivanov I.I."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(Transliterate(Utf8ToCp1251(c.utf8)), c.latin);
  }
  EXPECT_EQ(Transliterate(std::string("\xD9"
                                      "a\0\xD9",
                                      4)),
            "SHHa")
      << "the text ends at a zero byte";
}

TEST(Transliterate, IntoABuffer) {
  const std::string source = Utf8ToCp1251("ЩЩЩ");
  char out[3 * 3 + 1];
  Transliterate(source.c_str(), out);
  EXPECT_STREQ(out, "SHHSHHSHH") << "three times as long as the source fits";
  char untouched[4] = "abc";
  Transliterate(nullptr, untouched);
  EXPECT_STREQ(untouched, "abc");
  Transliterate(source.c_str(), nullptr);  // nothing happens
}

TEST(Hex, DigitsAndNumbers) {
  struct Digit {
    char c;
    int value;
  };
  const std::vector<Digit> digits = {{'0', 0},  {'9', 9}, {'a', 10}, {'f', 15}, {'A', 10},
                                     {'F', 15}, {'g', 0}, {'G', 0},  {' ', 0},  {'\xC0', 0}};
  for (const Digit& d : digits) EXPECT_EQ(HexDigitValue(d.c), d.value) << d.c;

  struct Number {
    const char* text;
    int value;
  };
  const std::vector<Number> numbers = {
      {"1F", 31},       {"1f", 31},       {"1G", 16}, {"", 0},     {"0x10", 16}, {"7fffffff", INT_MAX},
      {"FFFFFFFF", -1}, {"100000000", 0}, {"-1", 1},  {"00a", 10},
  };
  for (const Number& n : numbers) EXPECT_EQ(HexToInt(n.text), n.value) << n.text;
  EXPECT_EQ(HexToInt(std::string("1\0"
                                 "F",
                                 3)),
            1)
      << "the text ends at a zero byte";
}

TEST(Paths, ProgramPathAndWorkPath) {
  const std::string program = "/opt/vertamo/";
  struct Case {
    const char* name;
    const char* path;
  };
  const std::vector<Case> cases = {
      {"ohphone", "/opt/vertamo/ohphone"},
      {"/opt/vertamo/ohphone", "/opt/vertamo/ohphone"},
      {"/usr/bin/ohphone", "/opt/vertamo//usr/bin/ohphone"},  // another folder still gets the prefix
      {"/opt/vertamo/sub/x", "/opt/vertamo//opt/vertamo/sub/x"},
      {"Wave/a.wav", "/opt/vertamo/Wave/a.wav"},
      {"", "/opt/vertamo/"},
  };
  for (const Case& c : cases) EXPECT_EQ(ProgramPath(program, c.name), c.path) << c.name;
  EXPECT_EQ(WorkPath("/home/u/.local/share/Vertamo/", "Client.log"),
            "/home/u/.local/share/Vertamo/Client.log");
}

}  // namespace
}  // namespace vertamo
