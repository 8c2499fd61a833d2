// A locked first-in first-out queue of text lines, handing lines from a
// worker thread to the main thread.
#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <string>

namespace vertamo {

class STRINGSTACK {
 public:
  // Appends a line.
  void Push(std::string text);
  // Takes the oldest line; the empty text when the queue is empty.
  std::string Pop();
  // Takes the oldest line into `text`; false (text untouched) when empty.
  // Tells an empty line from an empty queue.
  bool TryPop(std::string& text);
  size_t Count() const;

 private:
  mutable std::mutex mutex_;
  std::deque<std::string> lines_;
};

}  // namespace vertamo
