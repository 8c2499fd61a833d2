#include "protocol/demo_link.h"

namespace vertamo::demolink {

std::string JoinFields(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += '\t';
    for (const char c : fields[i]) {
      if (c == '\t')
        line += "\\t";
      else if (c == '\n')
        line += "\\n";
      else if (c == '\\')
        line += "\\\\";
      else
        line += c;
    }
  }
  return line;
}

std::vector<std::string> SplitFields(std::string_view line) {
  std::vector<std::string> fields(1);
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\t') {
      fields.emplace_back();
    } else if (c == '\\' && i + 1 < line.size()) {
      const char next = line[++i];
      fields.back() += next == 't' ? '\t' : next == 'n' ? '\n' : next;
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

}  // namespace vertamo::demolink
