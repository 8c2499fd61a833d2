// key=value helpers of every text protocol the system speaks.
//
// A key carries its own separators: " MAP=" includes the leading blank and the
// equals sign, so the key " X=" does not match inside " CX=". Keys are found
// case-sensitively anywhere in the text; the first occurrence counts.
#pragma once

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

}  // namespace vertamo
