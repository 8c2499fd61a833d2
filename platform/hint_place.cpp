#include "platform/hint_place.h"

#include <vector>

namespace vertamo {
namespace {

std::vector<std::string> HintLines(const std::string& hint) {
  std::vector<std::string> lines;
  std::string line;
  for (const char c : hint) {
    if (c == '$' || c == '\n' || c == '\r') {
      if (!line.empty()) lines.push_back(std::move(line));
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

// Position of the first line that begins with the name; lines.size() for none.
size_t NamingLine(const std::string& name, const std::vector<std::string>& lines) {
  size_t i = 0;
  while (i < lines.size() && (name.empty() || lines[i].rfind(name, 0) != 0)) ++i;
  return i;
}

}  // namespace

std::string HintPlace(const std::string& name, const std::string& hint) {
  const std::vector<std::string> lines = HintLines(hint);
  const size_t i = NamingLine(name, lines);
  return i + 1 < lines.size() ? lines[i + 1] : std::string();
}

std::string HintNaming(const std::string& name, const std::string& hint) {
  const std::vector<std::string> lines = HintLines(hint);
  const size_t i = NamingLine(name, lines);
  if (i >= lines.size()) return {};
  return i + 1 < lines.size() ? lines[i] + '\n' + lines[i + 1] : lines[i];
}

}  // namespace vertamo
