#include "platform/termination_signals.h"

#include <signal.h>

#include <gtest/gtest.h>

namespace vertamo {
namespace {

TEST(TerminationSignals, SignalsArriveOnThePipeOnce) {
  const int fd = InstallTerminationPipe();
  ASSERT_GE(fd, 0);
  EXPECT_EQ(InstallTerminationPipe(), fd) << "one pipe per process";
  EXPECT_EQ(TakeTerminationSignal(fd), 0) << "nothing waiting";
  ::raise(SIGTERM);
  ::raise(SIGINT);
  EXPECT_EQ(TakeTerminationSignal(fd), SIGTERM);
  EXPECT_EQ(TakeTerminationSignal(fd), SIGINT);
  EXPECT_EQ(TakeTerminationSignal(fd), 0);

  // After one signal the default action is back: a second one would end the
  // process. Installing again serves the next one.
  struct sigaction current {};
  ::sigaction(SIGTERM, nullptr, &current);
  EXPECT_EQ(current.sa_handler, SIG_DFL);
  InstallTerminationPipe();
  ::sigaction(SIGTERM, nullptr, &current);
  EXPECT_NE(current.sa_handler, SIG_DFL);
  ::raise(SIGTERM);
  EXPECT_EQ(TakeTerminationSignal(fd), SIGTERM);
  ::signal(SIGTERM, SIG_DFL);
  ::signal(SIGINT, SIG_DFL);
}

}  // namespace
}  // namespace vertamo
