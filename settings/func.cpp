#include "settings/func.h"

#include <array>
#include <cstring>

namespace vertamo {
namespace {

// Latin spelling of the lower-case letters а..я (0xE0..0xFF of code page 1251).
constexpr std::array<const char*, 32> kLatin = {
    "a", "b", "v", "g", "d", "e",  "zh", "z",  "i",  "jj",  "k",  "l", "m", "n",  "o",  "p",
    "r", "s", "t", "u", "f", "kh", "c",  "ch", "sh", "shh", "\"", "y", "'", "eh", "ju", "ja"};

}  // namespace

std::string Transliterate(std::string_view source) {
  std::string out;
  out.reserve(source.size());
  for (const char ch : source) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == 0) break;
    if (c < 0xC0) {
      out += ch;
      continue;
    }
    const bool upper = c < 0xE0;
    const char* latin = kLatin[upper ? c - 0xC0 : c - 0xE0];
    for (const char* p = latin; *p != '\0'; ++p)
      out += (upper && *p >= 'a' && *p <= 'z') ? static_cast<char>(*p - 'a' + 'A') : *p;
  }
  return out;
}

void Transliterate(const char* source, char* output) {
  if (source == nullptr || output == nullptr) return;
  const std::string out = Transliterate(std::string_view(source));
  std::memcpy(output, out.c_str(), out.size() + 1);
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

int HexToInt(std::string_view text) {
  unsigned value = 0;  // unsigned: an overflow wraps instead of being undefined
  for (const char c : text) {
    if (c == '\0') break;
    value = value * 16u + static_cast<unsigned>(HexDigitValue(c));
  }
  return static_cast<int>(value);
}

std::string ProgramPath(std::string_view programFolder, std::string_view name) {
  const size_t slash = name.rfind('/');
  const std::string_view folder =
      slash == std::string_view::npos ? std::string_view() : name.substr(0, slash + 1);
  if (folder == programFolder) return std::string(name);
  return std::string(programFolder) + std::string(name);
}

std::string WorkPath(std::string_view workFolder, std::string_view name) {
  return std::string(workFolder) + std::string(name);
}

}  // namespace vertamo
