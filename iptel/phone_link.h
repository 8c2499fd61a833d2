// The pieces of the control link to the phone program that need no thread:
// zero-terminated messages, the queue of commands the main thread hands to
// the telephony thread, and the bounded queue of what the telephony thread
// has for the main thread.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
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

// Commands for the phone program, in the order they were given. None is
// ever replaced or dropped while the link is up: a hang-up handed over right
// after a call leaves right after it.
class TCommandQueue {
 public:
  void Push(std::string_view command);
  // Every waiting command as bytes on the wire (each followed by its zero
  // byte), appended to `wire`; true when "q" was among them.
  bool TakeAll(std::string& wire);
  bool Empty() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::deque<std::string> commands_;
};

// One thing the telephony thread has for the main thread: an event line, or
// word that the link to the phone program came up, was lost or has come back.
struct TPhoneQueued {
  enum class TKind { Line, LinkUp, LinkLost, LinkRestored };
  TKind kind = TKind::Line;
  std::string line;      // Line: the event line
  bool adopted = false;  // LinkUp, LinkRestored: a running program was taken over

  bool operator==(const TPhoneQueued&) const = default;
};

// The event lines waiting for the main thread, bounded. A "STAT" line right
// behind another one still waiting takes its place (only the newest
// statistics matter), and the telephony thread stops reading the phone's
// socket while kHighWater items wait, until the main thread has taken them
// down to kLowWater: a phone that floods the link is slowed down to the pace
// of the window instead of filling the memory. One read may add what one
// socket read holds on top (at most kMaxRead / 2 messages), so no more than
// kHighWater + kMaxRead / 2 items are ever held.
class TPhoneEventQueue {
 public:
  static constexpr size_t kHighWater = 2000;
  static constexpr size_t kLowWater = 500;
  static constexpr size_t kMaxRead = 4096;  // bytes the thread reads at once

  TPhoneEventQueue() = default;
  // `drained` is called (in the main thread, without the lock) when a queue
  // that was full went down to kLowWater.
  void SetDrained(std::function<void()> drained);

  // Appends the item. True when the main thread has to be told: nothing was
  // waiting that it had not been told of.
  bool Push(TPhoneQueued item);
  bool PushLine(std::string line) { return Push({TPhoneQueued::TKind::Line, std::move(line), false}); }
  // The oldest item; false when none waits (the next Push tells again).
  bool TryPop(TPhoneQueued& item);
  // True while kHighWater items or more wait; the caller then stops reading
  // until `drained` is called.
  bool Full();
  size_t Count() const;

 private:
  mutable std::mutex mutex_;
  std::deque<TPhoneQueued> items_;
  bool told_ = false;    // the main thread knows that items wait
  bool full_ = false;    // the reader stopped at the high mark
  std::function<void()> drained_;
};

}  // namespace vertamo
