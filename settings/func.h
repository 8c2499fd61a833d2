// Small shared text and path helpers of the workstation.
#pragma once

#include <string>
#include <string_view>

namespace vertamo {

// Russian letters of code page 1251 to Latin letters (А->A, Ж->ZH, Щ->SHH,
// Ю->JU, Ъ->", Ь->' ...), keeping the case; every other byte (Ё and ё
// included) is copied. The text ends at its first zero byte.
std::string Transliterate(std::string_view source);
// The same into a caller's buffer of at least three times the source length
// plus one; nothing happens when either pointer is missing.
void Transliterate(const char* source, char* output);

// "0"-"9" -> 0-9, "a"-"f" and "A"-"F" -> 10-15, anything else -> 0.
int HexDigitValue(char c);
// Every character up to the end (or a zero byte) counts as a hexadecimal
// digit; an overflow wraps around; no "0x" prefix is understood.
int HexToInt(std::string_view text);

// `name` unchanged when its folder part (up to and including its last "/") is
// exactly `programFolder`; otherwise `programFolder` + `name`.
std::string ProgramPath(std::string_view programFolder, std::string_view name);
// `workFolder` + `name`.
std::string WorkPath(std::string_view workFolder, std::string_view name);

}  // namespace vertamo
