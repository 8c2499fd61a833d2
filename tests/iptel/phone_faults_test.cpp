// The telephony under faults of the phone program, as the main window runs
// it (TTelephony, the main thread taking the posted items in batches),
// against phone-sim misbehaving on purpose. Each row states the outcome:
// what reached the window side (call states and link losses / returns), what
// the phone program received, and what the telephony log says.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "iptel/telephony.h"
#include "phone_test_support.h"
#include "settings/fast_ini.h"
#include "support/temp_folder.h"

namespace vertamo::testing {
namespace {

using Clock = std::chrono::steady_clock;

// The window side: call states (a repeat of the same state once), link
// losses and returns; and how many lines were of no known kind.
class FaultWindow : public ICallWindow {
 public:
  void PhoneEvent(const TPhoneEvent& event) override {
    if (const std::string state = CallStateOf(event); !state.empty()) Note(state);
  }
  void ShowCallInfo(const std::string&) override {}
  void SelectSubscriber(int) override {}
  void ShowCallStatus(const std::string& text) override { unknown += text == Cp("Ошибка !"); }
  void PhoneAnswered() override {}
  void PhoneLinkLost() override { Note("lost"); }
  void PhoneLinkRestored(bool adopted) override { Note(adopted ? "adopted" : "restored"); }
  const std::vector<std::string>& States() const { return states; }
  std::string Last() const { return states.empty() ? std::string() : states.back(); }

  std::vector<std::string> states;
  int unknown = 0;

 private:
  void Note(const std::string& what) {
    if (states.empty() || states.back() != what) states.push_back(what);
  }
};

// The workstation's telephony with the main thread played here: it takes
// what is posted, a batch at a time, as the window's event loop does.
struct Rig : IPhoneHost {
  explicit Rig(const phonesim::Options& program) : processes(FreePort()) {
    processes.startOptions = program;
    processes.firstFaults = std::exchange(processes.startOptions.faults, {});
    WriteWholeFile(dir.file("Vertamo.ini"), "[H323]\r\nEnableIpLog=1\r\n");
  }
  void Start() {
    telephony = std::make_unique<TTelephony>(TelephonyIn(dir.folder(), processes.Port(), &processes), *this);
    telephony->ReadSettings(TFastIni(dir.file("Vertamo.ini")));
    telephony->Start();
  }
  void PhoneEventPosted() override { posted = true; }
  void ShowMessageBox(const TPhoneMessageBox&, std::function<void()> done) override { done(); }

  // Runs the main thread until `done` holds; false after `ms`. `slowMs`: a
  // window that needs that long between two batches.
  bool Pump(const std::function<bool()>& done, int ms = kBoundMs, int slowMs = 0) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      if (posted.exchange(false) || more) more = telephony->HandlePhoneEvents(window);
      if (telephony->Thread()) maxQueued = std::max(maxQueued, telephony->Thread()->PhoneEvents().Count());
      if (done()) return true;
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(std::max(1, slowMs)));
    }
  }
  phonesim::Server& Phone() { return *processes.started; }
  bool PhoneGot(const std::string& command) {
    return Pump([&] {
      const auto got = Phone().Received();
      return std::find(got.begin(), got.end(), command) != got.end();
    });
  }
  bool InCall() {
    return telephony->SendPhoneCommand("c 10.0.0.5") && Pump([&] {
             return std::find(window.states.begin(), window.states.end(), "state 1") != window.states.end();
           });
  }
  std::string Log() const { return ReadWholeFile(dir.file("IpPhone.log")); }

  TempFolder dir;
  SimProcesses processes;
  FaultWindow window;
  std::unique_ptr<TTelephony> telephony;
  std::atomic<bool> posted{false};
  bool more = false;
  size_t maxQueued = 0;
};

struct FaultRow {
  const char* name;
  std::vector<phonesim::Fault> faults;
  bool greets;
  // The fault happens, and the row's own checks.
  std::function<void(Rig&)> act;
  std::vector<std::string> window;  // call states and link losses / returns, in order
  std::vector<std::string> phone;   // commands the (last) phone program received, in order
  std::string log;                  // a line IpPhone.log holds (UTF-8); empty: none looked for
};

TEST(PhoneFaults, EachFaultOfThePhoneProgramAndWhatComesOfIt) {
  const FaultRow rows[] = {
      {"a flood of statistics while talking: the hang-up leaves before the flood ends, the queue stays small",
       {}, false,
       [](Rig& rig) {
         rig.Phone().Flood("STAT jitter=20ms loss=0% rtt=4ms", 2000);
         rig.Pump([] { return false; }, 300);  // well into the flood
         ASSERT_TRUE(rig.telephony->SendPhoneCommand("h"));
         ASSERT_TRUE(rig.PhoneGot("h"));
         const auto record = rig.Phone().Record();
         EXPECT_TRUE(std::none_of(record.begin(), record.end(), [](auto& e) { return e.kind == "flood"; }))
             << "the flood was still going when \"h\" arrived";
         ASSERT_TRUE(rig.Pump([&] {
           const auto r = rig.Phone().Record();
           return std::any_of(r.begin(), r.end(), [](auto& e) { return e.kind == "flood"; });
         }));
         EXPECT_LE(rig.maxQueued, 2u) << "statistics are merged";
       },
       {"state 1"}, {"c 10.0.0.5", "h"}, ""},
      {"a flood of rings to a slow window: the reader waits, no more than the bound is held, the log stays small",
       {}, false,
       [](Rig& rig) {
         rig.Phone().Flood("RING Gate [10.0.0.5]", 2000);
         ASSERT_TRUE(rig.Pump([&] {
           const auto r = rig.Phone().Record();
           return std::any_of(r.begin(), r.end(), [](auto& e) { return e.kind == "flood"; });
         }, kBoundMs, 3));
         EXPECT_LE(rig.maxQueued, TPhoneEventQueue::kHighWater + TPhoneEventQueue::kMaxRead / 2);
         ASSERT_TRUE(rig.Pump([&] { return rig.telephony->Thread()->PhoneEvents().Count() == 0; }, 20000));
         rig.telephony.reset();  // the close writes the count of the run
         EXPECT_LT(rig.Log().size(), 16u * 1024) << "repeats are counted, not written";
         EXPECT_NE(rig.Log().find(Cp("Звонок от \"Gate [10.0.0.5]\" … повторов: ")), std::string::npos);
       },
       {"state 1", "state 3"}, {"c 10.0.0.5", "q"}, ""},
      {"noise that merely begins like a keyword: the call goes on",
       {}, false,
       [](Rig& rig) {
         for (const char* noise : {"e", "RINGX", "OKAY", "callback"}) rig.Phone().Send(noise);
         ASSERT_TRUE(rig.Pump([&] { return rig.window.unknown == 4; }));
       },
       {"state 1"}, {"c 10.0.0.5"}, ""},
      {"the program dies mid-call: the loss after the call's lines, a fresh program within 5 s, calls work",
       {phonesim::Fault::DieMidCall}, false,
       [](Rig& rig) {
         ASSERT_TRUE(rig.Pump([&] { return rig.window.States().size() >= 3; }));
         ASSERT_TRUE(rig.telephony->Thread()->WaitForLink(2, kBoundMs));
         ASSERT_TRUE(rig.telephony->SendPhoneCommand("c 10.0.0.6"));
         ASSERT_TRUE(rig.Pump([&] { return rig.window.Last() == "state 1"; }));
       },
       {"state 1", "lost", "restored", "state 1"}, {"c 10.0.0.6"}, "Связь с Ohphone потеряна..."},
      {"the program closes the control connection mid-call: lost, the running program taken over",
       {phonesim::Fault::CloseMidCall}, true,
       [](Rig& rig) {
         ASSERT_TRUE(rig.Pump([&] { return rig.window.States().size() >= 3; }));
         EXPECT_NE(rig.Log().find(Cp("Выполнено подключение к уже работающему Ohphone...")), std::string::npos);
       },
       {"state 1", "lost", "adopted"}, {"c 10.0.0.5"}, "Связь с Ohphone восстановлена..."},
  };
  for (const FaultRow& row : rows) {
    SCOPED_TRACE(row.name);
    phonesim::Options program;
    program.answerDelayMs = 0;
    program.greet = row.greets;
    program.faults = row.faults;
    Rig rig(program);
    rig.Start();
    ASSERT_TRUE(rig.telephony->Thread()->WaitForLink(1, kBoundMs));
    ASSERT_TRUE(rig.InCall());
    row.act(rig);
    EXPECT_EQ(rig.window.States(), row.window);
    EXPECT_EQ(rig.Phone().Received(), row.phone);
    if (!row.log.empty()) {
      EXPECT_NE(rig.Log().find(Cp(row.log)), std::string::npos) << rig.Log();
    }
  }
}

TEST(PhoneFaults, AFifoInPlaceOfTheTelephonyLogHoldsNothingUp) {
  // Nobody reads the FIFO: the link still comes up and calls are placed
  // (within the 5 s bound), the log lines are lost.
  phonesim::Options program;
  program.answerDelayMs = 0;
  Rig rig(program);
  ASSERT_EQ(::mkfifo(rig.dir.file("IpPhone.log").c_str(), 0600), 0);
  rig.Start();
  ASSERT_TRUE(rig.telephony->Thread()->WaitForLink(1, kBoundMs));
  EXPECT_TRUE(rig.InCall());
}

}  // namespace
}  // namespace vertamo::testing
