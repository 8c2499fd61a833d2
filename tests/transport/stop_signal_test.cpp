#include "platform/stop_signal.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <thread>

namespace vertamo {
namespace {

bool FdReadable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

TEST(StopSignal, RequestRaisesFlagAndDescriptorResetLowersBoth) {
  TStopSignal stop;
  ASSERT_GE(stop.Fd(), 0);
  EXPECT_FALSE(stop.IsRequested());
  EXPECT_FALSE(FdReadable(stop.Fd()));

  stop.Request();
  stop.Request();  // twice is the same as once
  EXPECT_TRUE(stop.IsRequested());
  EXPECT_TRUE(FdReadable(stop.Fd()));
  EXPECT_TRUE(stop.WaitFor(0));

  stop.Reset();
  EXPECT_FALSE(stop.IsRequested());
  EXPECT_FALSE(FdReadable(stop.Fd()));
  EXPECT_FALSE(stop.WaitFor(0));
}

TEST(StopSignal, WaitForRunsOutWithoutARequest) {
  TStopSignal stop;
  EXPECT_FALSE(stop.WaitFor(0));
  EXPECT_FALSE(stop.WaitFor(5));
}

TEST(StopSignal, RequestFromAnotherThreadEndsALongWait) {
  TStopSignal stop;
  std::thread requester([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop.Request();
  });
  // Ten minutes: only the request can end this wait in a passing run.
  EXPECT_TRUE(stop.WaitFor(600000));
  requester.join();
}

TEST(StopSignal, UnlimitedWaitEndsOnRequest) {
  TStopSignal stop;
  std::thread requester([&] { stop.Request(); });
  EXPECT_TRUE(stop.WaitFor(-1));
  requester.join();
}

TEST(StopSignal, TwoSignalsAreIndependent) {
  TStopSignal a, b;
  a.Request();
  EXPECT_TRUE(a.IsRequested());
  EXPECT_FALSE(b.IsRequested());
  EXPECT_FALSE(FdReadable(b.Fd()));
}

}  // namespace
}  // namespace vertamo
