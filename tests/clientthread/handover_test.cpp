// The synchronous hand-over between the connection thread and the main thread,
// and above all its stop: a stop must never deadlock against a hand-over.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "clientthread/client_test_support.h"
#include "serverlink/client_events.h"

namespace vertamo {
namespace {

using namespace std::chrono_literals;
using testing::TTestMainThread;

// An executor that keeps tasks until the test runs or drops them.
class THeldExecutor final : public IMainThreadExecutor {
 public:
  void Post(std::function<void()> task) override {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
    cv_.notify_all();
  }
  bool WaitPosted(size_t n) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, 20s, [&] { return tasks_.size() >= n; });
  }
  void RunAll() {
    std::vector<std::function<void()>> tasks;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      tasks.swap(tasks_);
    }
    for (auto& t : tasks) t();
  }
  // Runs the oldest task only.
  void RunOne() {
    std::function<void()> task;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (tasks_.empty()) return;
      task = std::move(tasks_.front());
      tasks_.erase(tasks_.begin());
    }
    task();
  }
  void DropAll() {
    std::vector<std::function<void()>> tasks;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      tasks.swap(tasks_);
    }
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::function<void()>> tasks_;
};

TEST(HandOver, RunsTheRoutineOnTheMainThreadAndWaitsForIt) {
  TTestMainThread main;
  THandOver handOver(main);
  const auto mainId = main.Run([] { return std::this_thread::get_id(); });
  std::thread::id ranOn;
  int value = 0;
  bool result = false;
  std::thread worker([&] {
    result = handOver.Synchronize([&] {
      ranOn = std::this_thread::get_id();
      std::this_thread::sleep_for(20ms);
      value = 42;
    });
    // The worker reads what the main thread stored only after the wait.
    EXPECT_EQ(value, 42);
  });
  worker.join();
  EXPECT_TRUE(result);
  EXPECT_EQ(ranOn, mainId);
}

TEST(HandOver, HandOversRunInTheirOrder) {
  TTestMainThread main;
  THandOver handOver(main);
  std::vector<int> order;
  std::thread worker([&] {
    for (int i = 0; i < 200; ++i) EXPECT_TRUE(handOver.Synchronize([&order, i] { order.push_back(i); }));
  });
  worker.join();
  ASSERT_EQ(order.size(), 200u);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(order[static_cast<size_t>(i)], i);
}

// The trap: the main thread stops the worker and waits for it while the worker
// waits in a hand-over that only the main thread could run.
TEST(HandOver, StopWhileTheMainThreadWaitsForTheWorkerNeverDeadlocks) {
  for (int round = 0; round < 50; ++round) {
    TTestMainThread main;
    THandOver handOver(main);
    std::atomic<bool> ran{false};
    std::promise<void> waiting;
    std::thread worker;
    main.Run([&] {
      worker = std::thread([&] {
        waiting.set_value();
        const bool result = handOver.Synchronize([&] { ran = true; });
        EXPECT_FALSE(result);
      });
      waiting.get_future().wait();
      std::this_thread::sleep_for(std::chrono::microseconds(round * 20));
      handOver.RequestStop();  // the main thread's StopClient ...
      worker.join();           // ... and its wait for the thread: must end
      return 0;
    });
    // The withdrawn routine never runs, not even later.
    main.Run([] { return 0; });
    EXPECT_FALSE(ran);
  }
}

TEST(HandOver, AfterAStopEveryHandOverReturnsUnrunAtOnce) {
  TTestMainThread main;
  THandOver handOver(main);
  handOver.RequestStop();
  EXPECT_TRUE(handOver.StopRequested());
  bool ran = false;
  EXPECT_FALSE(handOver.Synchronize([&] { ran = true; }));
  main.Run([] { return 0; });
  EXPECT_FALSE(ran);
}

TEST(HandOver, AWithdrawnRoutineNeverRunsLater) {
  THeldExecutor executor;
  THandOver handOver(executor);
  auto shared = std::make_shared<std::atomic<int>>(0);
  std::promise<bool> result;
  std::thread worker([&] { result.set_value(handOver.Synchronize([shared] { ++*shared; })); });
  ASSERT_TRUE(executor.WaitPosted(1));
  handOver.RequestStop();
  EXPECT_FALSE(result.get_future().get());
  worker.join();
  executor.RunAll();  // the main thread comes back to its queue: nothing runs
  EXPECT_EQ(*shared, 0);
}

TEST(HandOver, ARoutineAlreadyRunningFinishesOnTheMainThreadAfterTheWorkerLeft) {
  TTestMainThread main;
  THandOver handOver(main);
  auto started = std::make_shared<std::promise<void>>();
  auto release = std::make_shared<std::promise<void>>();
  auto finished = std::make_shared<std::atomic<bool>>(false);
  std::shared_future<void> released = release->get_future().share();
  std::promise<bool> result;
  std::thread worker([&] {
    result.set_value(handOver.Synchronize([started, released, finished] {
      started->set_value();
      released.wait();
      *finished = true;
    }));
  });
  started->get_future().wait();
  handOver.RequestStop();
  EXPECT_FALSE(result.get_future().get());  // the worker leaves at once
  worker.join();
  release->set_value();
  main.Run([] { return 0; });
  EXPECT_TRUE(*finished);
}

TEST(HandOver, ATaskTheExecutorDropsEndsTheWait) {
  THeldExecutor executor;
  THandOver handOver(executor);
  std::promise<bool> result;
  std::thread worker([&] { result.set_value(handOver.Synchronize([] {})); });
  ASSERT_TRUE(executor.WaitPosted(1));
  executor.DropAll();
  EXPECT_FALSE(result.get_future().get());
  worker.join();
  EXPECT_FALSE(handOver.StopRequested());
}

TEST(HandOver, InlineExecutorRunsAtOnce) {
  TInlineExecutor executor;
  THandOver handOver(executor);
  int n = 0;
  EXPECT_TRUE(handOver.Synchronize([&] { ++n; }));
  EXPECT_EQ(n, 1);
}

TEST(HandOver, ARoutineThatThrowsStillReleasesTheWorker) {
  THeldExecutor executor;
  THandOver handOver(executor);
  std::promise<bool> result;
  std::thread worker([&] { result.set_value(handOver.Synchronize([] { throw std::runtime_error("x"); })); });
  ASSERT_TRUE(executor.WaitPosted(1));
  EXPECT_THROW(executor.RunAll(), std::runtime_error);  // the main thread's own handling sees it
  EXPECT_TRUE(result.get_future().get());
  worker.join();
}

// ---- ServePending: the main thread runs a pending hand-over while it waits
// for the connection thread itself ----------------------------------------------

TEST(HandOver, ServePendingRunsTheWaitingRoutineHereAndOnlyOnce) {
  THeldExecutor executor;
  THandOver handOver(executor);
  EXPECT_FALSE(handOver.HasPending());
  EXPECT_FALSE(handOver.ServePending());
  int runs = 0;
  std::thread::id ranOn;
  std::promise<bool> result;
  std::thread worker([&] {
    result.set_value(handOver.Synchronize([&] {
      ++runs;
      ranOn = std::this_thread::get_id();
    }));
  });
  ASSERT_TRUE(executor.WaitPosted(1));
  EXPECT_TRUE(handOver.HasPending());
  EXPECT_TRUE(handOver.ServePending());
  EXPECT_TRUE(result.get_future().get());
  worker.join();
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_FALSE(handOver.HasPending());
  EXPECT_FALSE(handOver.ServePending());
  executor.RunAll();  // the posted task comes later and finds nothing to run
  EXPECT_EQ(runs, 1);
}

TEST(HandOver, ARoutineThatRebuildsTheWindowsWaitsForTheEventLoopNotForServePending) {
  // ClearMaps frees the tab a clicked picture lives on: it must never run
  // inside the click handler's own request wait.
  THeldExecutor executor;
  THandOver handOver(executor);
  TMapModel model;
  testing::TEventRecorder events(model);
  TClientNotifier notifier(handOver, events);
  std::promise<bool> cleared;
  std::thread worker([&] { cleared.set_value(notifier.Call<&IClientEvents::ClearMaps>()); });
  ASSERT_TRUE(executor.WaitPosted(1));
  EXPECT_FALSE(handOver.HasPending());
  EXPECT_FALSE(handOver.ServePending());
  EXPECT_EQ(events.Count("ClearMaps"), 0);
  executor.RunAll();  // the event loop runs it
  EXPECT_TRUE(cleared.get_future().get());
  worker.join();
  EXPECT_EQ(events.Count("ClearMaps"), 1);
}

TEST(HandOver, ServePendingAndThePostedTasksTakeTheRoutinesInTheirOrder) {
  THeldExecutor executor;
  THandOver handOver(executor);
  std::vector<std::string> order;
  std::promise<bool> first, second;
  std::thread a([&] { first.set_value(handOver.Synchronize([&] { order.push_back("a"); })); });
  ASSERT_TRUE(executor.WaitPosted(1));
  std::thread b([&] { second.set_value(handOver.Synchronize([&] { order.push_back("b"); })); });
  ASSERT_TRUE(executor.WaitPosted(2));
  EXPECT_TRUE(handOver.ServePending());  // the oldest: a
  EXPECT_TRUE(first.get_future().get());
  EXPECT_EQ(order, std::vector<std::string>{"a"});
  executor.RunAll();  // a's task now runs b; b's task finds nothing
  EXPECT_TRUE(second.get_future().get());
  a.join();
  b.join();
  EXPECT_EQ(order, (std::vector<std::string>{"a", "b"}));
}

TEST(HandOver, AStopWithdrawsThePendingRoutineFromServePendingToo) {
  THeldExecutor executor;
  THandOver handOver(executor);
  auto runs = std::make_shared<std::atomic<int>>(0);
  std::promise<bool> result;
  std::thread worker([&] { result.set_value(handOver.Synchronize([runs] { ++*runs; })); });
  ASSERT_TRUE(executor.WaitPosted(1));
  handOver.RequestStop();
  EXPECT_FALSE(handOver.HasPending());
  EXPECT_FALSE(handOver.ServePending());
  EXPECT_FALSE(result.get_future().get());
  worker.join();
  executor.RunAll();
  EXPECT_EQ(*runs, 0);
}

TEST(HandOver, ARoutineServedEarlyIsNotLostWhenThePostedTaskIsDropped) {
  THeldExecutor executor;
  THandOver handOver(executor);
  std::promise<bool> result;
  std::thread worker([&] { result.set_value(handOver.Synchronize([] {})); });
  ASSERT_TRUE(executor.WaitPosted(1));
  EXPECT_TRUE(handOver.ServePending());
  executor.DropAll();
  EXPECT_TRUE(result.get_future().get());
  worker.join();
}

TEST(HandOver, AnExceptionOfAServedRoutineComesOutOfServePendingAndReleasesTheWorker) {
  THeldExecutor executor;
  THandOver handOver(executor);
  std::promise<bool> result;
  std::thread worker([&] { result.set_value(handOver.Synchronize([] { throw std::runtime_error("x"); })); });
  ASSERT_TRUE(executor.WaitPosted(1));
  EXPECT_THROW(handOver.ServePending(), std::runtime_error);
  EXPECT_TRUE(result.get_future().get());
  worker.join();
  executor.RunAll();  // nothing left to run, nothing thrown
}

TEST(HandOver, ThePendingSignalComesOncePerRoutineAndItWaitsToBeServed) {
  THeldExecutor executor;
  THandOver handOver(executor);
  std::mutex mutex;
  std::condition_variable cv;
  int signals = 0;
  handOver.SetPendingSignal([&] {
    {
      std::lock_guard<std::mutex> lock(mutex);
      ++signals;
    }
    cv.notify_all();
  });
  int runs = 0;
  std::thread worker([&] {
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(handOver.Synchronize([&] { ++runs; }));
  });
  for (int i = 0; i < 4; ++i) {
    {
      std::unique_lock<std::mutex> lock(mutex);
      ASSERT_TRUE(cv.wait_for(lock, 20s, [&] { return signals > i; }));
    }
    EXPECT_TRUE(handOver.HasPending());
    // Served the one or the other way, as the main thread comes to it. The
    // task posted for a routine that ServePending ran serves the next one.
    if (i % 2 == 0) {
      EXPECT_TRUE(handOver.ServePending());
    } else {
      executor.RunOne();
    }
  }
  worker.join();
  executor.RunAll();
  EXPECT_EQ(runs, 4);
  EXPECT_EQ(signals, 4);
}

TEST(HandOver, WithTheInlineExecutorNothingIsEverLeftPending) {
  TInlineExecutor executor;
  THandOver handOver(executor);
  int signals = 0, runs = 0;
  handOver.SetPendingSignal([&] { ++signals; });
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(handOver.Synchronize([&] { ++runs; }));
  EXPECT_EQ(runs, 3);
  EXPECT_EQ(signals, 3);
  EXPECT_FALSE(handOver.HasPending());
  EXPECT_FALSE(handOver.ServePending());
}

// A main thread that serves hand-overs both ways at random moments, against a
// worker that hands over as fast as it can: each routine runs exactly once,
// in order, on the main thread.
TEST(HandOver, ServedBothWaysEveryRoutineRunsOnceInOrder) {
  TTestMainThread main;
  THandOver handOver(main);
  const auto mainId = main.Run([] { return std::this_thread::get_id(); });
  std::vector<int> order;
  std::atomic<int> wrongThread{0};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 0; i < 2000; ++i)
      EXPECT_TRUE(handOver.Synchronize([&, i] {
        if (std::this_thread::get_id() != mainId) ++wrongThread;
        order.push_back(i);
      }));
    done = true;
  });
  while (!done) {
    main.Run([&] {
      for (int k = 0; k < 50; ++k) handOver.ServePending();
      return 0;
    });
  }
  worker.join();
  main.Run([] { return 0; });
  ASSERT_EQ(order.size(), 2000u);
  for (int i = 0; i < 2000; ++i) EXPECT_EQ(order[static_cast<size_t>(i)], i);
  EXPECT_EQ(wrongThread, 0);
}

TEST(ClientNotifier, EveryEventReachesTheMainThreadWithItsValues) {
  TTestMainThread main;
  TMapModel model;
  testing::TEventRecorder recorder(model);
  recorder.SetMainThread(main.Run([] { return std::this_thread::get_id(); }));
  THandOver handOver(main);
  TClientNotifier notifier(handOver, recorder);
  std::thread worker([&] {
    EXPECT_TRUE(notifier.Call<&IClientEvents::ClearMaps>());
    EXPECT_TRUE(notifier.Call<&IClientEvents::ShowStatusText>("abc"));
    EXPECT_TRUE(notifier.Call<&IClientEvents::ShowProgress>(3, 10));
    EXPECT_TRUE(notifier.Call<&IClientEvents::SetCounterLayout>(TCounterKind::OhrAlr,
                                                                TCounterLayout{1, 2, 3, 4, "Arial"}));
    EXPECT_TRUE(notifier.Call<&IClientEvents::SetCounterValue>(TCounterKind::PuErr, 7));
    EXPECT_TRUE(notifier.Call<&IClientEvents::SetClockLayout>(
        TClockLayout{5, 6, 7, 8, "Tahoma", 255, 65280, 12, true, false, true}));
    EXPECT_TRUE(notifier.Call<&IClientEvents::SetSpeakerLayout>(TSpeakerLayout{9, 10, 11, 12, 1}));
    EXPECT_TRUE(notifier.Call<&IClientEvents::SetSpeakerCall>(2));
    EXPECT_TRUE(notifier.Call<&IClientEvents::SetObjectState>(3, 4));
    EXPECT_TRUE(notifier.Call<&IClientEvents::SetObjectHint>(3, "h"));
    EXPECT_TRUE(notifier.Call<&IClientEvents::SetObjectCaption>(3, "c"));
    EXPECT_TRUE(notifier.Call<&IClientEvents::SetObjectCapColor>(3, 255));
    TLogEntry entry;
    entry.object = 1;
    entry.color = 2;
    entry.fontColor = 3;
    entry.texts = {"a", "b", "c", "d", "e", "f"};
    EXPECT_TRUE(notifier.Call<&IClientEvents::AddLogEntry>(entry));
    EXPECT_TRUE(notifier.Call<&IClientEvents::BuildMaps>());
  });
  worker.join();
  EXPECT_EQ(recorder.Events(), (std::vector<std::string>{
                                   "ClearMaps",
                                   "Status abc",
                                   "Progress 3/10",
                                   "CounterLayout OhrAlr 1,2,3,4 Arial",
                                   "CounterValue PuErr 7",
                                   "ClockLayout 5,6,7,8 Tahoma 255 65280 12 101",
                                   "SpeakerLayout 9,10,11,12 1",
                                   "SpeakerCall 2",
                                   "State 3 4 -",
                                   "Hint 3 h",
                                   "Caption 3 c",
                                   "CapColor 3 255",
                                   "Log 1 2 3 [a] [b] [c] [d] [e] [f]",
                                   "BuildMaps maps=0 objects=0 texts=0",
                               }));
  EXPECT_EQ(recorder.WrongThreadCalls(), 0);
}

}  // namespace
}  // namespace vertamo
