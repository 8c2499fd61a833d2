// A protocol line read as KEY=VALUE tokens, for replies whose quoted texts
// come from people and may hold anything, key names and blanks included.
//
// Tokens are separated by runs of blanks (space, tab). A double quote opens
// quoted text that runs to the next double quote, blanks and all, so quoted
// text is always part of one token: in PULTEXT=" H323=5060 COM=99" there is
// one token, and H323 is not among the keys. A token's key is what comes
// before its first '=' outside quotes; tokens without one are skipped. Keys
// are case-sensitive and the first token with a key counts.
//
// Unlike GetIntParam / GetStrParam, values are whole: an integer is the whole
// value (an optional sign and decimal digits, within the int range), a text is
// the whole value in double quotes. Anything else reads as malformed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vertamo {

enum class TParamRead { Absent, Malformed, Found };

class TParamTokens {
 public:
  // Views into `line`, which outlives the object.
  explicit TParamTokens(std::string_view line);

  // A double quote that is never closed (the last token then runs to the end
  // of the line and reads as malformed).
  bool UnterminatedQuote() const { return unterminated_; }
  // The raw value of `key` (quotes included); false when absent.
  bool Raw(std::string_view key, std::string_view& value) const;
  // `value` is 0 unless found.
  TParamRead Int(std::string_view key, int& value) const;
  // The text between the quotes, at most capacity − 1 bytes of it (a longer
  // one is cut and still found); empty unless found.
  TParamRead Text(std::string_view key, std::size_t capacity, std::string& value) const;

 private:
  struct TParam {
    std::string_view key, value;
  };
  std::vector<TParam> params_;
  bool unterminated_ = false;
};

}  // namespace vertamo
