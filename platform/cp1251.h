// Code page 1251: the text of the wire and of every file the system writes.
//
// The core keeps text as std::string holding code page 1251 bytes. This module
// converts at the edges (UTF-8 literals of the source, the user interface) and
// owns the one case-folding table for comparisons that ignore the case of
// Cyrillic letters too.
#pragma once

#include <string>
#include <string_view>

namespace vertamo {

// Every byte converts; 0x98, which the code page leaves unassigned, becomes
// U+0098 so that any byte string survives a round trip.
std::string Cp1251ToUtf8(std::string_view cp1251);

// Characters the code page cannot hold, and malformed UTF-8, become '?'.
std::string Utf8ToCp1251(std::string_view utf8);

// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsUtf8(std::string_view text);

// Upper / lower case of one code page 1251 byte: Latin and Cyrillic letters
// (Ё, the Ukrainian and Serbian letters included); every other byte unchanged.
unsigned char UpperCp1251(unsigned char c);
unsigned char LowerCp1251(unsigned char c);

// Comparisons that ignore the case of Latin and Cyrillic letters.
bool EqualsIgnoreCaseCp1251(std::string_view a, std::string_view b);
bool StartsWithIgnoreCaseCp1251(std::string_view text, std::string_view prefix);

// Comparison that folds A–Z only: the rule for names in settings files.
bool EqualsIgnoreCaseAscii(std::string_view a, std::string_view b);

}  // namespace vertamo
