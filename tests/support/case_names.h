// Readable names for parameterised GoogleTest cases, made from a text of the
// case (a reply, a line, a stage) instead of its number.
#pragma once

#include <cctype>
#include <cstddef>
#include <string>
#include <string_view>

namespace vertamo::testing {

// ASCII letters and digits of `text` kept, every other run of characters one
// "_", at most 40 characters; "empty" for a text without letters or digits.
inline std::string CaseName(std::string_view text) {
  std::string name;
  for (const char c : text) {
    if (name.size() >= 40) break;
    if (std::isalnum(static_cast<unsigned char>(c)) && static_cast<unsigned char>(c) < 0x80) {
      name += c;
    } else if (!name.empty() && name.back() != '_') {
      name += '_';
    }
  }
  while (!name.empty() && name.back() == '_') name.pop_back();
  return name.empty() ? "empty" : name;
}

// The same with the case's position appended, for tables whose texts may
// come out alike.
inline std::string CaseName(std::string_view text, size_t index) {
  return CaseName(text) + "_" + std::to_string(index);
}

}  // namespace vertamo::testing
