// The telephony thread against phone-sim in-process, each test on its own
// free port.
#include "iptel/iptel_thread.h"

#include <gtest/gtest.h>

#include "voice/phone_book.h"
#include "iptel/phone_log.h"
#include "iptel/telephony.h"
#include "phone_test_support.h"
#include "settings/fast_ini.h"
#include "support/temp_folder.h"

namespace vertamo::testing {
namespace {

// The phone program "ohphone" in `folder`, commanded on `port`.
TPhoneConfig ConfigIn(const std::string& folder, uint16_t port) {
  TPhoneConfig config;
  config.programPath = folder + "ohphone";
  config.workFolder = folder;
  config.port = port;
  return config;
}

class IptelThreadTest : public ::testing::Test {
 public:
  IptelThreadTest() : port(FreePort()), processes(port) {}

  std::unique_ptr<TIPTELThread> MakeThread(PhoneSettings settings = {}) {
    TPhoneConfig config = ConfigIn(dir.folder(), port);
    config.settings = settings;
    config.removeWaitMs = removeWaitMs;
    auto thread = std::make_unique<TIPTELThread>(config, processes, host, log);
    thread->Start();
    return thread;
  }

  std::vector<std::string> Drain(TIPTELThread& thread) { return testing::Drain(thread); }
  std::vector<std::string> Collect(TIPTELThread& thread, size_t count, int ms = 5000) {
    return testing::Collect(thread, count, ms);
  }

  TempFolder dir;
  uint16_t port;
  SimProcesses processes;
  RecordingHost host;
  TPhoneLog log{dir.folder(), true};
  int removeWaitMs = 2000;
};

TEST_F(IptelThreadTest, AdoptsARunningProgramThatSaysOk) {
  phonesim::Options options;
  options.greet = true;
  phonesim::Server& sim = processes.RunOld(options);
  auto thread = MakeThread();
  ASSERT_TRUE(thread->WaitForStage(TIPTELThread::kLinkUp, kBoundMs));
  EXPECT_TRUE(thread->PhoneLinkUp());
  EXPECT_TRUE(thread->Adopted());
  EXPECT_TRUE(processes.Events().empty()) << "nothing found, ended or started";
  EXPECT_NE(ReadWholeFile(dir.file("IpPhone.log")).find(Cp("  Выполнено подключение к уже работающему Ohphone...\r\n")),
            std::string::npos);
  ASSERT_TRUE(thread->SendPhoneCommand("c 10.0.0.5"));
  EXPECT_TRUE(sim.WaitFor([](auto& r) { return r.size() && r.back().kind == "dial"; }, kBoundMs));
}

TEST_F(IptelThreadTest, ASilentProgramIsEndedAndAFreshOneStartedWithTheCommandLine) {
  phonesim::Options silent;
  silent.faults = {phonesim::Fault::Silent};
  processes.RunOld(silent);
  auto thread = MakeThread();
  ASSERT_TRUE(thread->WaitForStage(TIPTELThread::kLinkUp, kBoundMs + 2000));
  EXPECT_FALSE(thread->Adopted());
  EXPECT_EQ(processes.Events(), (std::vector<std::string>{"find", "end 4242", "start"}));
  EXPECT_EQ(processes.startedPath, dir.folder() + "ohphone");
  EXPECT_EQ(processes.startedArgs,
            (std::vector<std::string>{"-lne", "--g711-ulaw", "-u", "dispatch1", "--jitter", "50"}));
  const std::string start = Cp("Строка запуска:") + dir.folder() + "ohphone -lne --g711-ulaw -u dispatch1 --jitter 50\r\n";
  EXPECT_EQ(ReadWholeFile(dir.file("ohphone.log")), start);
  EXPECT_EQ(ReadWholeFile(dir.file("ohphone.last")), start);
  const auto record = processes.started->Record();
  ASSERT_FALSE(record.empty());
  EXPECT_EQ(record.front().kind, "start");
  EXPECT_EQ(record.front().args, processes.startedArgs);
}

TEST_F(IptelThreadTest, FailuresToEndTheOldProgramAreReportedAndANewOneStartsAnyway) {
  removeWaitMs = 0;
  const struct {
    IPhoneProcesses::TEndResult result;
    const char* log;
    const char* text;
    const char* caption;
  } cases[] = {
      {IPhoneProcesses::TEndResult::OpenFailed, "Не удается удалить OHPHONE из памяти (OpenProcess)",
       "Не удается удалить OHPHONE из памяти...\nПерезагрузите компьютер...", "ВНИМАНИЕ"},
      {IPhoneProcesses::TEndResult::TerminateFailed, "Не удается удалить OHPHONE из памяти (TerminateProcess)",
       "Не удается удалить OHPHONE из памяти...", "TerminateProcess"},
  };
  for (const auto& c : cases) {
    TempFolder work;
    const uint16_t controlPort = FreePort();
    SimProcesses procs(controlPort);
    procs.endResult = c.result;
    phonesim::Options silent;
    silent.faults = {phonesim::Fault::Silent};
    procs.RunOld(silent);  // it keeps the control port
    RecordingHost boxes;
    TPhoneLog plog(work.folder(), true);
    TIPTELThread thread(ConfigIn(work.folder(), controlPort), procs, boxes, plog);
    thread.Start();
    ASSERT_TRUE(boxes.WaitBoxes(1));
    EXPECT_EQ(boxes.Boxes()[0].text, Cp(c.text));
    EXPECT_EQ(boxes.Boxes()[0].caption, Cp(c.caption));
    // The fresh one cannot listen while the old one keeps the port: the
    // start fails and the thread ends.
    ASSERT_TRUE(thread.WaitForStage(TIPTELThread::kEnded, kBoundMs));
    EXPECT_NE(ReadWholeFile(work.file("IpPhone.log")).find(Cp(c.log)), std::string::npos);
    EXPECT_EQ(procs.Events(), (std::vector<std::string>{"find", "end 4242", "start"}));
  }
}

TEST_F(IptelThreadTest, AMissingProgramLeavesCallsInertForTheRun) {
  processes.programExists = false;
  auto thread = MakeThread();
  ASSERT_TRUE(thread->WaitForStage(TIPTELThread::kEnded, kBoundMs));
  ASSERT_EQ(host.Boxes().size(), 1u);
  EXPECT_EQ(host.Boxes()[0].text.rfind(Cp("Не найдена программа ohphone:\n") + dir.folder() + "ohphone\n\n", 0), 0u);
  EXPECT_NE(host.Boxes()[0].text.find("--phone-program"), std::string::npos) << "says what to do";
  EXPECT_EQ(host.Boxes()[0].caption, dir.folder() + "ohphone");
  EXPECT_TRUE(host.Boxes()[0].exclamation);
  EXPECT_FALSE(thread->PhoneLinkUp());
  EXPECT_TRUE(thread->SendPhoneCommand("c 10.0.0.5"));  // inert: nothing to do, nothing fails
  EXPECT_TRUE(thread->QuitPhone());
  EXPECT_EQ(processes.Events(), (std::vector<std::string>{"find"}));
}

TEST_F(IptelThreadTest, NoHostNameGivesABoxAndTheAliasOrvexACyrillicOneIsTransliterated) {
  processes.hostName.reset();
  auto thread = MakeThread();
  ASSERT_TRUE(thread->WaitForStage(TIPTELThread::kLinkUp, kBoundMs + 2000));
  ASSERT_EQ(host.Boxes().size(), 1u);
  EXPECT_EQ(host.Boxes()[0].text, Cp("Не удается определить Host имя..."));
  EXPECT_EQ(host.Boxes()[0].caption, Cp("Внимание"));
  EXPECT_EQ(processes.startedArgs.at(3), "Orvex");
  thread.reset();

  const uint16_t otherPort = FreePort();
  SimProcesses cyrillic(otherPort);
  cyrillic.hostName = std::string("Пост-1");  // host names come as UTF-8
  TIPTELThread other(ConfigIn(dir.folder(), otherPort), cyrillic, host, log);
  other.Start();
  ASSERT_TRUE(other.WaitForStage(TIPTELThread::kLinkUp, kBoundMs));
  other.Stop();
  ASSERT_FALSE(cyrillic.startedArgs.empty());
  EXPECT_EQ(cyrillic.startedArgs.at(3), "Post-1");
}

class LinkedThreadTest : public IptelThreadTest {
 protected:
  void SetUp() override {
    phonesim::Options options;
    options.greet = true;
    options.answerDelayMs = 0;
    sim = &processes.RunOld(options);
    thread = MakeThread();
    ASSERT_TRUE(thread->WaitForStage(TIPTELThread::kLinkUp, kBoundMs));
  }
  phonesim::Server* sim = nullptr;
  std::unique_ptr<TIPTELThread> thread;
};

TEST_F(LinkedThreadTest, EventLinesReachTheMainThreadInOrder) {
  const std::vector<std::string> lines = {"RING " + Cp("Пост [10.0.0.5]"), "STAT x", "BUSY", "CALL a", "ERROR 1",
                                          "OK", "END", "FORWARDED", "APP a\tb", "HELLO", "E", ""};
  for (const std::string& line : lines) sim->Send(line);
  EXPECT_EQ(Collect(*thread, lines.size()), lines);
}

TEST_F(LinkedThreadTest, CallsFlowBothWays) {
  ASSERT_TRUE(thread->SendPhoneCommand("c 2*17*1@10.0.0.9:4000"));
  EXPECT_EQ(Collect(*thread, 1), std::vector<std::string>{"CALL 2*17*1@10.0.0.9:4000"});
  const auto record = sim->Record();
  auto dial = std::find_if(record.begin(), record.end(), [](auto& e) { return e.kind == "dial"; });
  ASSERT_NE(dial, record.end());
  EXPECT_EQ(dial->args, (std::vector<std::string>{"2", "17", "1", "10.0.0.9", "4000"}));
  ASSERT_TRUE(thread->SendPhoneCommand("h"));
  EXPECT_EQ(Collect(*thread, 1), std::vector<std::string>{"END"});
  sim->Ring(Cp("Пост [10.0.0.5]"));
  EXPECT_EQ(Collect(*thread, 1), std::vector<std::string>{"RING " + Cp("Пост [10.0.0.5]")});
  ASSERT_TRUE(thread->SendPhoneCommand("n"));
  EXPECT_EQ(Collect(*thread, 1), std::vector<std::string>{"ERROR 9"});
}

TEST_F(LinkedThreadTest, QuitEndsTheLinkOnOk) {
  EXPECT_TRUE(thread->QuitPhone());
  EXPECT_FALSE(thread->PhoneLinkUp());
  EXPECT_EQ(thread->Stage(), TIPTELThread::kEnded);
  EXPECT_EQ(sim->Received(), std::vector<std::string>{"q"});
  EXPECT_TRUE(sim->WaitFor([this](auto&) { return !sim->Running(); }, kBoundMs)) << "the program quit";
}

TEST_F(IptelThreadTest, ALostLinkComesBackOnItsOwnInOrderWithTheLines) {
  // The program ends or closes the control connection: the lines read before
  // are handed over, then the loss, then the return, within the 5 s bound.
  const struct {
    const char* name;
    bool greets;  // the program still runs, greets and is taken over
    std::vector<std::string> events;
  } cases[] = {
      {"program ended: a fresh one is started", false, {"CALL 10.0.0.5", "<lost>", "<restored>"}},
      {"connection closed: the running one is adopted", true, {"OK", "CALL 10.0.0.5", "<lost>", "<adopted>"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder work;
    SimProcesses procs(FreePort());
    procs.startOptions.answerDelayMs = 0;
    procs.startOptions.greet = c.greets;
    procs.firstFaults = {c.greets ? phonesim::Fault::CloseMidCall : phonesim::Fault::DieMidCall};
    RecordingHost events;
    TPhoneLog plog(work.folder(), true);
    TIPTELThread thread(ConfigIn(work.folder(), procs.Port()), procs, events, plog);
    thread.Start();
    ASSERT_TRUE(thread.WaitForLink(1, kBoundMs));
    ASSERT_TRUE(thread.SendPhoneCommand("c 10.0.0.5"));
    EXPECT_EQ(Collect(thread, c.events.size()), c.events);
    ASSERT_TRUE(thread.WaitForLink(2, kBoundMs));
    EXPECT_EQ(thread.Adopted(), c.greets);
    const std::string logged = ReadWholeFile(work.file("IpPhone.log"));
    EXPECT_LT(logged.find(Cp("Связь с Ohphone потеряна...")), logged.find(Cp("Связь с Ohphone восстановлена...")));
    ASSERT_TRUE(thread.SendPhoneCommand("c 10.0.0.6")) << "calls work again";
    EXPECT_EQ(Collect(thread, 1).at(0), "CALL 10.0.0.6");
  }
}

TEST_F(IptelThreadTest, APhoneThatStopsReadingHoldsNothingUp) {
  // Eight megabytes of commands into a program that reads nothing for 4 s
  // (more than the sockets hold): the events still come meanwhile (within
  // 2 s), and once it reads again every command arrives, in order (within
  // 20 s: the program takes them a byte at a time).
  processes.startOptions.greet = true;
  auto thread = MakeThread();
  ASSERT_TRUE(thread->WaitForLink(1, kBoundMs + 2000));
  processes.started->StopReading(4000);
  std::vector<std::string> sent;
  const std::string address(8000, '7');
  for (int i = 0; i < 1000; ++i) {
    sent.push_back("c " + std::to_string(i) + address);
    ASSERT_TRUE(thread->SendPhoneCommand(sent.back()));
  }
  processes.started->Send("APP alive");
  EXPECT_EQ(Collect(*thread, 2, 2000), (std::vector<std::string>{"OK", "APP alive"}));
  ASSERT_TRUE(processes.started->WaitFor(
      [&](auto& r) { return std::count_if(r.begin(), r.end(), [](auto& e) { return e.kind == "in"; }) >= 1000; },
      20000));
  EXPECT_EQ(processes.started->Received(), sent);
}

TEST_F(IptelThreadTest, AMisbehavingProgramGivesWholeLines) {
  const struct {
    phonesim::Fault fault;
    std::vector<std::string> lines;  // what the main thread gets for "RING Gate" and "END"
  } cases[] = {
      {phonesim::Fault::OneByte, {"RING Gate", "END"}},  // one line each, not one per byte
      {phonesim::Fault::Overlong, {"APP " + std::string(295, 'x'), "RING Gate", "APP " + std::string(295, 'x'), "END"}},
      {phonesim::Fault::Unknown, {"WHATEVER 42", "RING Gate", "WHATEVER 42", "END"}},
      {phonesim::Fault::NoZero, {}},  // nothing is ever complete; the rest is dropped at the end
  };
  for (const auto& c : cases) {
    const uint16_t controlPort = FreePort();
    SimProcesses procs(controlPort);
    procs.startOptions.faults = {c.fault};
    RecordingHost events;
    TIPTELThread thread(ConfigIn(dir.folder(), controlPort), procs, events, log);
    thread.Start();
    ASSERT_TRUE(thread.WaitForStage(TIPTELThread::kLinkUp, kBoundMs));
    procs.started->Ring("Gate");
    procs.started->Send("END");
    ASSERT_TRUE(procs.started->WaitFor([](auto& r) { return r.size() && r.back().text == "END"; }, kBoundMs));
    procs.started->Stop();  // the thread reads everything up to the end of the stream
    std::vector<std::string> lines = Collect(thread, c.lines.size() + 1);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "<lost>");
    lines.pop_back();
    EXPECT_EQ(lines, c.lines) << static_cast<int>(c.fault);
  }
}

TEST_F(IptelThreadTest, AProgramThatNeverAnswersQuitDoesNotHoldTheClose) {
  processes.startOptions.faults = {phonesim::Fault::Silent};
  removeWaitMs = 0;
  auto thread = MakeThread();
  ASSERT_TRUE(thread->WaitForStage(TIPTELThread::kLinkUp, kBoundMs + 2000));
  EXPECT_FALSE(thread->QuitPhone(3, 20));
  EXPECT_TRUE(thread->PhoneLinkUp());
  thread->Stop();
  EXPECT_FALSE(thread->PhoneLinkUp());
  EXPECT_GE(processes.started->Received().size(), 1u);
}

TEST_F(IptelThreadTest, StopEndsEveryStage) {
  // Connecting to a started program that never listens, waiting after
  // ending an old one, and a message box left open.
  struct Case {
    const char* name;
    void (*prepare)(IptelThreadTest&);
    TIPTELThread::TStage stage;
  } cases[] = {
      {"start: connecting", [](IptelThreadTest& t) { t.processes.startServes = false; },
       TIPTELThread::kStarting},
      {"removing", [](IptelThreadTest& t) {
         phonesim::Options silent;
         silent.faults = {phonesim::Fault::Silent};
         t.processes.RunOld(silent);
         t.removeWaitMs = 60000;
       }, TIPTELThread::kRemoving},
      {"message box", [](IptelThreadTest& t) {
         t.processes.programExists = false;
         t.host.closeBoxes = false;
       }, TIPTELThread::kStarting},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.prepare(*this);
    auto thread = MakeThread();
    ASSERT_TRUE(thread->WaitForStage(c.stage, kBoundMs));
    thread->Stop();  // returns once the thread has ended
    EXPECT_EQ(thread->Stage(), TIPTELThread::kEnded);
  }
}

TEST(Telephony, StartAndCloseAsTheMainWindowDoes) {
  TempFolder dir;
  WriteWholeFile(dir.file("Vertamo.ini"), "[H323]\r\nUseIpTel=0\r\nEnableIpLog=1\r\n");
  WriteWholeFile(dir.file("IpAbonents.ini"), "[ABONENT0]\r\nName=Gate\r\nAdr=10.0.0.5\r\n");
  const uint16_t port = FreePort();
  SimProcesses processes(port);
  RecordingHost host;
  TTelephony telephony(TelephonyIn(dir.folder(), port, &processes), host);
  {
    TFastIni ini(dir.file("Vertamo.ini"));
    telephony.ReadSettings(ini);
  }
  EXPECT_TRUE(telephony.Settings().UseIpTel);
  telephony.Start();
  EXPECT_EQ(telephony.Book().Count(), 1);
  ASSERT_TRUE(telephony.Thread()->WaitForStage(TIPTELThread::kLinkUp, kBoundMs + 2000));
  EXPECT_EQ(processes.startedPath, dir.folder() + "ohphone");
  processes.started->Ring("Someone [10.0.0.5]");
  ASSERT_TRUE(host.WaitPosted(1));
  RecordingWindow window;
  EXPECT_TRUE(telephony.HandlePhoneEvent(window));  // the link came up
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBoundMs);
  while (!telephony.HandlePhoneEvent(window) && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(window.calls, (std::vector<std::string>{"state 3", "select 0", "status Someone [10.0.0.5]"}));
  {
    TFastIni ini(dir.file("Vertamo.ini"));
    telephony.WriteSettings(ini);
  }
  EXPECT_NE(ReadWholeFile(dir.file("Vertamo.ini")).find("UseIpTel=1\r\n"), std::string::npos);
  EXPECT_TRUE(telephony.Close());
  EXPECT_EQ(processes.started->Received(), std::vector<std::string>{"q"});
  EXPECT_EQ(telephony.Thread(), nullptr);
  EXPECT_TRUE(telephony.SendPhoneCommand("c 1"));
}

}  // namespace
}  // namespace vertamo::testing
