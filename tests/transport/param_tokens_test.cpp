#include "protocol/param_tokens.h"

#include <gtest/gtest.h>

namespace vertamo {
namespace {

// Each row reads one key of one line as an integer and as a text.
TEST(TParamTokens, ValuesAreWholeTokensAndQuotedTextIsOne) {
  using R = TParamRead;
  const struct {
    const char* line;
    const char* key;
    R asInt;
    int number;
    R asText;
    const char* text;
  } cases[] = {
      {"OBJ=7 H323=1720", "H323", R::Found, 1720, R::Malformed, ""},
      {"T=\" H323=5060 COM=99\" COM=3", "COM", R::Found, 3, R::Malformed, ""},  // key inside quoted text
      {"T=\" H323=5060\"", "H323", R::Absent, 0, R::Absent, ""},
      {"T=\" H323=5060\"", "T", R::Malformed, 0, R::Found, " H323=5060"},
      {"T=a\" B=1\" B=2", "B", R::Found, 2, R::Malformed, ""},  // a quote mid-token opens text too
      {"A=1 A=2", "A", R::Found, 1, R::Malformed, ""},         // the first counts
      {"a=5", "A", R::Absent, 0, R::Absent, ""},                // case-sensitive
      {"XA=5", "A", R::Absent, 0, R::Absent, ""},               // whole keys only
      {"A=+42", "A", R::Found, 42, R::Malformed, ""},
      {"A=-2147483648", "A", R::Found, INT32_MIN, R::Malformed, ""},
      {"A=2147483648", "A", R::Malformed, 0, R::Malformed, ""},
      {"A=42x", "A", R::Malformed, 0, R::Malformed, ""},
      {"A=+-4", "A", R::Malformed, 0, R::Malformed, ""},
      {"A=", "A", R::Malformed, 0, R::Malformed, ""},
      {"A=\"\"", "A", R::Malformed, 0, R::Found, ""},
      {"A=\"x\"y\"", "A", R::Malformed, 0, R::Malformed, ""},
      {"A=5\r", "A", R::Malformed, 0, R::Malformed, ""},  // control bytes are not separators
      {"A=\"open B=1", "B", R::Absent, 0, R::Absent, ""},  // unterminated: the rest is one token
      {"A=\"open B=1", "A", R::Malformed, 0, R::Malformed, ""},
      {"\tA=1\t\tB=\"x y\"  ", "B", R::Malformed, 0, R::Found, "x y"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.line) + " / " + c.key);
    const TParamTokens tokens(c.line);
    int number = 77;
    std::string text = "old";
    EXPECT_EQ(tokens.Int(c.key, number), c.asInt);
    EXPECT_EQ(number, c.number);
    EXPECT_EQ(tokens.Text(c.key, 128, text), c.asText);
    EXPECT_EQ(text, c.text);
  }
}

TEST(TParamTokens, UnterminatedQuoteAndCapacity) {
  EXPECT_TRUE(TParamTokens("A=1 B=\"x").UnterminatedQuote());
  EXPECT_FALSE(TParamTokens("A=1 B=\"x\" C=\"\"").UnterminatedQuote());
  std::string text;
  EXPECT_EQ(TParamTokens("A=\"abcdef\"").Text("A", 4, text), TParamRead::Found);
  EXPECT_EQ(text, "abc");
}

}  // namespace
}  // namespace vertamo
