#include "serverlink/decode_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>

namespace vertamo::testing {
namespace {

TEST(DecodePool, EveryJobRunsAndAFailureIsToldOnce) {
  TDecodePool pool(3);
  std::atomic<int> ran{0};
  for (int i = 0; i < 100; ++i) pool.Post([&ran, i] { return ++ran, i != 57; }, 10);
  EXPECT_FALSE(pool.Wait()) << "job 57 failed";
  EXPECT_EQ(ran.load(), 100);
  pool.Post([] { return true; }, 10);
  EXPECT_TRUE(pool.Wait()) << "the failure was told already";
}

TEST(DecodePool, DroppedJobsNeverRunAndCountAsFailed) {
  TDecodePool pool(1);
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::promise<void> started;
  std::atomic<int> ran{0};
  pool.Post([&started, released] { return started.set_value(), released.wait(), true; }, 10);
  started.get_future().wait();  // the only thread is busy: the rest wait
  for (int i = 0; i < 5; ++i) pool.Post([&ran] { return ++ran, true; }, 10);
  pool.Drop();
  release.set_value();
  EXPECT_FALSE(pool.Wait());
  EXPECT_EQ(ran.load(), 0);
}

}  // namespace
}  // namespace vertamo::testing
