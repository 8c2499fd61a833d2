#include "protocol/string_stack.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace vertamo {
namespace {

TEST(StringStack, LinesLeaveInTheOrderTheyCame) {
  STRINGSTACK stack;
  EXPECT_EQ(stack.Pop(), "");  // empty: the empty text
  stack.Push("one");
  stack.Push("");
  stack.Push("three");
  EXPECT_EQ(stack.Count(), 3u);
  EXPECT_EQ(stack.Pop(), "one");
  std::string line = "x";
  EXPECT_TRUE(stack.TryPop(line));  // an empty line, told apart from an empty queue
  EXPECT_EQ(line, "");
  EXPECT_EQ(stack.Pop(), "three");
  EXPECT_FALSE(stack.TryPop(line));
  EXPECT_EQ(stack.Pop(), "");
  EXPECT_EQ(stack.Count(), 0u);
}

TEST(StringStack, ConcurrentPushesKeepEachProducersOrder) {
  constexpr int kProducers = 4;
  constexpr int kLines = 5000;
  STRINGSTACK stack;
  std::atomic<int> running{kProducers};
  std::vector<std::thread> producers;
  for (int p = 0; p < kProducers; ++p) {
    producers.emplace_back([&, p] {
      for (int i = 0; i < kLines; ++i) stack.Push(std::to_string(p) + ":" + std::to_string(i));
      running.fetch_sub(1);
    });
  }
  // The consumer takes lines while the producers still push.
  std::vector<int> next(kProducers, 0);
  int taken = 0;
  std::string line;
  while (taken < kProducers * kLines) {
    if (!stack.TryPop(line)) {
      if (running.load() == 0 && stack.Count() == 0) break;
      std::this_thread::yield();
      continue;
    }
    const size_t colon = line.find(':');
    const int p = std::stoi(line.substr(0, colon));
    const int i = std::stoi(line.substr(colon + 1));
    if (p < 0 || p >= kProducers || i != next[p]) {
      ADD_FAILURE() << "out of order: " << line;
      break;
    }
    ++next[p];
    ++taken;
  }
  for (auto& t : producers) t.join();
  EXPECT_EQ(taken, kProducers * kLines);
  EXPECT_EQ(stack.Pop(), "");
}

}  // namespace
}  // namespace vertamo
