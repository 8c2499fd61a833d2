// key=value helpers of every text protocol the system speaks.
//
// A key carries its own separators: " MAP=" includes the leading blank and the
// equals sign, so the key " X=" does not match inside " CX=". Keys are found
// case-sensitively anywhere in the text; the first occurrence counts.
#pragma once

#include <charconv>
#include <cstddef>
#include <string>
#include <string_view>

namespace vertamo {

// The decimal integer right after `key`: leading white space, an optional
// sign, digits up to the first other character (no digits give 0; a number
// beyond the int range gives INT_MIN or INT_MAX). An absent key: false, 0.
bool GetIntParam(std::string_view text, std::string_view key, int& value);

// The quoted text right after `key`: the character after the key must be a
// double quote; the value runs to the next double quote or the end of the
// text and keeps at most capacity − 1 characters (a longer value is cut, still
// true). Absent key or no quote: false and an empty value.
bool GetStrParam(std::string_view text, std::string_view key, size_t capacity, std::string& value);

// Whether `text` begins with `prefix`, ignoring the case of Latin and
// Cyrillic letters. An empty prefix gives false.
bool StartsWithText(std::string_view text, std::string_view prefix);

// Whether the whole of `text` is a number of type T (no blanks, no sign for
// an unsigned T, nothing after it); the number in `value` when it is.
template <typename T>
bool ParseWholeNumber(std::string_view text, T& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace vertamo
