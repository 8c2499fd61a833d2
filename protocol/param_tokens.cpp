#include "protocol/param_tokens.h"

#include <algorithm>

#include "protocol/txtfunc.h"

namespace vertamo {
namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t'; }

}  // namespace

TParamTokens::TParamTokens(std::string_view line) {
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsSeparator(line[i])) ++i;
    if (i >= line.size()) break;
    const size_t start = i;
    size_t equals = std::string_view::npos;
    bool quoted = false;
    for (; i < line.size() && (quoted || !IsSeparator(line[i])); ++i) {
      if (line[i] == '"') quoted = !quoted;
      else if (line[i] == '=' && !quoted && equals == std::string_view::npos) equals = i;
    }
    if (quoted) unterminated_ = true;
    if (equals == std::string_view::npos || equals == start) continue;
    const std::string_view key = line.substr(start, equals - start);
    if (key.find('"') != std::string_view::npos) continue;
    params_.push_back({key, line.substr(equals + 1, i - equals - 1)});
  }
}

bool TParamTokens::Raw(std::string_view key, std::string_view& value) const {
  const auto it = std::find_if(params_.begin(), params_.end(), [&](const TParam& p) { return p.key == key; });
  if (it == params_.end()) return false;
  value = it->value;
  return true;
}

TParamRead TParamTokens::Int(std::string_view key, int& value) const {
  value = 0;
  std::string_view raw;
  if (!Raw(key, raw)) return TParamRead::Absent;
  // from_chars takes a minus sign but not a plus sign.
  std::string_view digits = raw;
  if (digits.starts_with('+')) {
    digits.remove_prefix(1);
    if (digits.starts_with('-')) return TParamRead::Malformed;
  }
  int number = 0;
  if (!ParseWholeNumber(digits, number)) return TParamRead::Malformed;
  value = number;
  return TParamRead::Found;
}

TParamRead TParamTokens::Text(std::string_view key, size_t capacity, std::string& value) const {
  value.clear();
  std::string_view raw;
  if (!Raw(key, raw)) return TParamRead::Absent;
  if (raw.size() < 2 || raw.front() != '"' || raw.back() != '"' ||
      raw.substr(1, raw.size() - 2).find('"') != std::string_view::npos)
    return TParamRead::Malformed;
  value.assign(raw.substr(1, std::min(raw.size() - 2, capacity > 0 ? capacity - 1 : 0)));
  return TParamRead::Found;
}

}  // namespace vertamo
