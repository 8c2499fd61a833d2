#include "protocol/string_stack.h"

#include <utility>

namespace vertamo {

void STRINGSTACK::Push(std::string text) {
  std::lock_guard lock(mutex_);
  lines_.push_back(std::move(text));
}

std::string STRINGSTACK::Pop() {
  std::string text;
  TryPop(text);
  return text;
}

bool STRINGSTACK::TryPop(std::string& text) {
  std::lock_guard lock(mutex_);
  if (lines_.empty()) return false;
  text = std::move(lines_.front());
  lines_.pop_front();
  return true;
}

size_t STRINGSTACK::Count() const {
  std::lock_guard lock(mutex_);
  return lines_.size();
}

}  // namespace vertamo
