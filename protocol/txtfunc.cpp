#include "protocol/txtfunc.h"

#include <algorithm>
#include <climits>

#include "platform/cp1251.h"

namespace vertamo {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

bool GetIntParam(std::string_view text, std::string_view key, int& value) {
  value = 0;
  const size_t at = text.find(key);
  if (at == std::string_view::npos) return false;
  size_t i = at + key.size();
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulate towards the negative side, whose range is the wider one.
  long long magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > static_cast<long long>(INT_MAX) + 1) magnitude = static_cast<long long>(INT_MAX) + 1;
  }
  long long result = negative ? -magnitude : magnitude;
  if (result > INT_MAX) result = INT_MAX;
  value = static_cast<int>(result);
  return true;
}

bool GetStrParam(std::string_view text, std::string_view key, size_t capacity, std::string& value) {
  value.clear();
  const size_t at = text.find(key);
  if (at == std::string_view::npos) return false;
  size_t i = at + key.size();
  if (i >= text.size() || text[i] != '"') return false;
  ++i;
  size_t end = text.find('"', i);
  if (end == std::string_view::npos) end = text.size();
  const size_t keep = capacity > 0 ? capacity - 1 : 0;
  value.assign(text.substr(i, std::min(end - i, keep)));
  return true;
}

bool StartsWithText(std::string_view text, std::string_view prefix) {
  return !prefix.empty() && StartsWithIgnoreCaseCp1251(text, prefix);
}

}  // namespace vertamo
