#include "iptel/phone_link.h"

#include <utility>

#include "iptel/phone_events.h"

namespace vertamo {

void TPhoneMessageReader::Feed(const char* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    const char c = data[i];
    if (c == '\0') {
      ready_.push_back(std::move(partial_));
      partial_.clear();
    } else if (partial_.size() < kMaxText) {
      partial_.push_back(c);
    }
  }
}

bool TPhoneMessageReader::Next(std::string& message) {
  if (ready_.empty()) return false;
  message = std::move(ready_.front());
  ready_.pop_front();
  return true;
}

std::string TPhoneMessageReader::TakePartial() {
  std::string partial = std::move(partial_);
  partial_.clear();
  return partial;
}

void TCommandQueue::Push(std::string_view command) {
  std::lock_guard lock(mutex_);
  commands_.emplace_back(command);
}

bool TCommandQueue::TakeAll(std::string& wire) {
  std::lock_guard lock(mutex_);
  bool quit = false;
  for (const std::string& command : commands_) {
    wire.append(command).push_back('\0');
    quit = quit || command == "q";
  }
  commands_.clear();
  return quit;
}

bool TCommandQueue::Empty() const {
  std::lock_guard lock(mutex_);
  return commands_.empty();
}

void TCommandQueue::Clear() {
  std::lock_guard lock(mutex_);
  commands_.clear();
}

namespace {

bool IsStat(const TPhoneQueued& item) {
  return item.kind == TPhoneQueued::TKind::Line && PhoneKeywordMatches(item.line, "STAT");
}

}  // namespace

void TPhoneEventQueue::SetDrained(std::function<void()> drained) {
  std::lock_guard lock(mutex_);
  drained_ = std::move(drained);
}

bool TPhoneEventQueue::Push(TPhoneQueued item) {
  std::lock_guard lock(mutex_);
  if (IsStat(item) && !items_.empty() && IsStat(items_.back())) {
    items_.back() = std::move(item);
    return false;
  }
  items_.push_back(std::move(item));
  return !std::exchange(told_, true);
}

bool TPhoneEventQueue::TryPop(TPhoneQueued& item) {
  std::function<void()> drained;
  {
    std::lock_guard lock(mutex_);
    if (items_.empty()) {
      told_ = false;
      return false;
    }
    item = std::move(items_.front());
    items_.pop_front();
    if (full_ && items_.size() <= kLowWater) {
      full_ = false;
      drained = drained_;
    }
  }
  if (drained) drained();
  return true;
}

bool TPhoneEventQueue::Full() {
  std::lock_guard lock(mutex_);
  if (items_.size() >= kHighWater) full_ = true;
  return full_;
}

size_t TPhoneEventQueue::Count() const {
  std::lock_guard lock(mutex_);
  return items_.size();
}

}  // namespace vertamo
