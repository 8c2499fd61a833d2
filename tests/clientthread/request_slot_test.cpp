// The request slot on its own: the test plays the connection thread's side
// (Take, Answer) step by step while a thread of its own plays the main window.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/stop_signal.h"
#include "serverlink/request_slot.h"

namespace vertamo {
namespace {

using namespace std::chrono_literals;

// Every wait below ends at once in a working slot; the bounds only keep a
// broken one from hanging the run.
constexpr int kWaitMs = 5000;
TRequestSlot::Clock::time_point Within() { return TRequestSlot::Clock::now() + 5s; }

class RequestSlotTest : public ::testing::Test {
 protected:
  TInlineExecutor executor_;
  THandOver handOver_{executor_};
  TRequestSlot slot_{handOver_};
  TStopSignal stop_;
};

TEST_F(RequestSlotTest, ALateAnswerToAWithdrawnRequestIsNeverTheNextRequestsReply) {
  bool answered = false;
  std::string reply;
  std::thread mainWindow([&] {
    EXPECT_FALSE(slot_.SendCommand("FIRST", kWaitMs));
    answered = slot_.SendCommand("SECOND", kWaitMs);
    reply = slot_.Reply();
  });
  TRequestSlot::TTaken first, second;
  EXPECT_TRUE(slot_.WaitForRequest(Within(), stop_) && slot_.Take(first));
  // Another caller withdraws FIRST while the connection thread is still at it.
  EXPECT_FALSE(slot_.SendCommand("OTHER", kWaitMs));
  EXPECT_TRUE(slot_.WaitForRequest(Within(), stop_));
  slot_.Answer(first, "answer to FIRST", {});
  if (slot_.Take(second)) slot_.Answer(second, "answer to " + second.request, {});
  mainWindow.join();
  EXPECT_TRUE(answered);
  EXPECT_EQ(reply, "answer to SECOND");
}

TEST_F(RequestSlotTest, AListRequestIsAnsweredWithItsLinesAndAnEmptyListFails) {
  for (const std::vector<std::string>& lines : {std::vector<std::string>{"VIEW 1", "VIEW 2"}, {}}) {
    bool answered = lines.empty();  // the opposite of what the call must give
    std::thread mainWindow([&] { answered = slot_.SendListCommand("REPORT", kWaitMs); });
    TRequestSlot::TTaken taken;
    EXPECT_TRUE(slot_.WaitForRequest(Within(), stop_) && slot_.Take(taken));
    EXPECT_TRUE(taken.list);
    slot_.Answer(taken, "", lines);
    mainWindow.join();
    EXPECT_EQ(answered, !lines.empty());
    EXPECT_EQ(slot_.ReplyList(), lines);
  }
}

}  // namespace
}  // namespace vertamo
