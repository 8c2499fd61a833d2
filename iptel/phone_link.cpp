#include "iptel/phone_link.h"

#include <chrono>

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

void TCommandSlot::Put(std::string_view command, int waitMs) {
  std::unique_lock lock(mutex_);
  taken_.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return !pending_; });
  command_ = command;
  pending_ = true;
}

bool TCommandSlot::Take(std::string& command) {
  std::lock_guard lock(mutex_);
  if (!pending_) return false;
  command = std::move(command_);
  command_.clear();
  pending_ = false;
  taken_.notify_all();
  return true;
}

bool TCommandSlot::Pending() const {
  std::lock_guard lock(mutex_);
  return pending_;
}

void TCommandSlot::Clear() {
  std::lock_guard lock(mutex_);
  pending_ = false;
  command_.clear();
  taken_.notify_all();
}

}  // namespace vertamo
