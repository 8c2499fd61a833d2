// The pieces of the control link to the phone program that need no thread:
// zero-terminated messages and the slot through which the main thread hands
// a command to the telephony thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>

namespace vertamo {

// Splits the byte stream of the control link into messages, each ended by one
// zero byte. A message keeps at most 299 bytes (the 300-byte buffer ends in a
// zero); the rest of a longer one is dropped up to its zero byte. A message
// that arrives in several pieces is one message.
class TPhoneMessageReader {
 public:
  static constexpr size_t kMaxText = 299;

  void Feed(const char* data, size_t size);
  // The oldest complete message; false when none is complete.
  bool Next(std::string& message);
  // The bytes of a message whose zero byte has not come (and forgets them).
  std::string TakePartial();

 private:
  std::string partial_;
  std::deque<std::string> ready_;
};

// One pending command. Put waits while the previous one is still pending, up
// to a bound, and then replaces it.
class TCommandSlot {
 public:
  // Waits up to `waitMs` while a command is pending, then stores `command`
  // (a command still pending is lost).
  void Put(std::string_view command, int waitMs);
  // Takes the pending command; false when none.
  bool Take(std::string& command);
  bool Pending() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::condition_variable taken_;
  bool pending_ = false;
  std::string command_;
};

}  // namespace vertamo
