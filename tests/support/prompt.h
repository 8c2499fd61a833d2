// How long an action took, for the tests that claim it happens promptly.
#pragma once

#include <chrono>
#include <utility>

namespace vertamo::testing {

// What "promptly" allows. A stop, a wake-up or a hand-over that works takes
// about a millisecond; a second leaves room for a shared, loaded 2-core
// machine running sanitizers, and is still far below the time-outs that a
// missed wake-up falls back to (a read waits 10 s for its line).
inline constexpr long long kPromptMs = 1000;

// Runs `action` and returns how many milliseconds it took.
template <class Action>
long long MillisecondsOf(Action&& action) {
  const auto start = std::chrono::steady_clock::now();
  std::forward<Action>(action)();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace vertamo::testing
