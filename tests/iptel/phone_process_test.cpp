// The phone program as a real process: started detached without our
// descriptors, found only as this user's process of the expected executable,
// ended; and phone-sim started as the phone program by the telephony thread.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "iptel/telephony.h"
#include "platform/folders.h"
#include "phone_test_support.h"
#include "platform/process.h"
#include "support/temp_folder.h"

namespace vertamo::testing {
namespace {

constexpr int kProgramBoundMs = 5000;

// Waits until `done` holds, for at most `ms`.
template <typename F>
bool Eventually(F done, int ms = kProgramBoundMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// phone-sim as the phone program "ohphone" of `dir`. A copy, not a link, so
// that what one test finds running is its own.
void InstallPhoneSim(const TempFolder& dir) {
  std::filesystem::copy_file(PHONE_SIM_PATH, dir.file("ohphone"));
}

// The open descriptors of `pid`; one closed while they are read is left out.
std::vector<std::string> Descriptors(int pid) {
  std::vector<std::string> targets;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
    const std::filesystem::path target = std::filesystem::read_symlink(entry.path(), error);
    if (!error) targets.push_back(entry.path().filename().string() + "->" + target.string());
  }
  std::sort(targets.begin(), targets.end());
  return targets;
}

TEST(PhoneProcess, StartedDetachedFoundByItsExecutableAndEnded) {
  TempFolder dir;
  const std::string program = dir.file("ohphone");
  std::filesystem::copy_file("/bin/sleep", program);
  const int leaked = open("/dev/null", O_RDONLY);  // without close-on-exec
  ASSERT_GE(leaked, 0);
  const int pid = SpawnDetached(program, {"30"});
  close(leaked);
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(Eventually([&] { return std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe") == program; }));
  // While the program starts, its loader and locale briefly hold files of
  // their own; a descriptor we leaked would stay.
  const std::vector<std::string> detached = {"0->/dev/null", "1->/dev/null", "2->/dev/null"};
  EXPECT_TRUE(Eventually([&] { return Descriptors(pid) == detached; })) << ::testing::PrintToString(Descriptors(pid));
  EXPECT_EQ(getsid(pid), pid) << "a session of its own";

  EXPECT_EQ(FindProcessByExecutable(program), pid);
  EXPECT_EQ(FindProcessByExecutable(dir.file("other")), 0);

  // A process of the program that is not this workstation's (it listens on
  // no control port of ours) is never named; the one it started is.
  TLinuxPhoneProcesses processes(program, FreePort(), dir.folder());
  EXPECT_EQ(processes.FindPhoneProcess(), 0);
  ASSERT_TRUE(processes.StartPhoneProcess(program, {"30"}));
  const int started = processes.StartedPid();
  EXPECT_EQ(processes.FindPhoneProcess(), started);
  EXPECT_TRUE(Eventually([&] { return ProcessFolder(started) == ResolvedPath(dir.folder()); }));
  EXPECT_EQ(processes.EndPhoneProcess(started), IPhoneProcesses::TEndResult::Ended);
  EXPECT_EQ(processes.EndPhoneProcess(pid), IPhoneProcesses::TEndResult::Ended);
  EXPECT_TRUE(Eventually([&] { return ReapChild(pid); }));
  EXPECT_TRUE(Eventually([&] { return FindProcessByExecutable(program) == 0; }));
  EXPECT_EQ(processes.EndPhoneProcess(pid), IPhoneProcesses::TEndResult::OpenFailed);
  EXPECT_EQ(SpawnDetached(dir.file("missing"), {}), 0);
}

// A training workstation beside the real desk, and phones that run on their
// own (the demo's SIP peers): a workstation that finds no phone to adopt
// starts its own, and ends none of theirs.
TEST(PhoneProcess, AWorkstationEndsOnlyItsOwnPhone) {
  TempFolder dir, desk, standalone, training;
  InstallPhoneSim(dir);
  const std::string program = dir.file("ohphone");
  const uint16_t deskPort = FreePort(), standalonePort = FreePort(), ourPort = FreePort();
  const int deskPhone = SpawnDetached(program, {"--sim-quiet", "--sim-port", std::to_string(deskPort)}, nullptr,
                                      desk.folder());
  const int standalonePhone = SpawnDetached(
      program, {"--sim-quiet", "--sim-port", std::to_string(standalonePort)}, nullptr, standalone.folder());
  ASSERT_TRUE(Eventually([&] {
    return ProcessListensOnLoopback(deskPhone, deskPort) && ProcessListensOnLoopback(standalonePhone, standalonePort);
  }));

  setenv("PHONE_SIM_OPTIONS", ("--sim-quiet --sim-port " + std::to_string(ourPort)).c_str(), 1);
  RecordingHost host;
  TTelephonyOptions ours = TelephonyIn(training.folder(), ourPort);
  ours.programPath = program;
  TTelephony telephony(ours, host);
  telephony.Start();
  EXPECT_TRUE(telephony.Thread()->WaitForStage(TIPTELThread::kLinkUp, kProgramBoundMs));
  unsetenv("PHONE_SIM_OPTIONS");

  EXPECT_TRUE(ProcessAlive(deskPhone));
  EXPECT_TRUE(ProcessAlive(standalonePhone));
  EXPECT_TRUE(telephony.Close());
  for (const int pid : {deskPhone, standalonePhone}) {
    ::kill(pid, SIGKILL);
    EXPECT_TRUE(Eventually([&] { return ReapChild(pid); }));
  }
}

TEST(PhoneProcess, PhoneSimStartedAsThePhoneProgramQuitsOnQ) {
  TempFolder dir;
  InstallPhoneSim(dir);
  const uint16_t port = FreePort();
  const std::string record = dir.file("record.jsonl");
  setenv("PHONE_SIM_OPTIONS",
         ("--sim-quiet --sim-port " + std::to_string(port) + " --sim-record " + record).c_str(), 1);
  RecordingHost host;
  TTelephony telephony(TelephonyIn(dir.folder(), port), host);
  telephony.Start();
  ASSERT_TRUE(telephony.Thread()->WaitForStage(TIPTELThread::kLinkUp, kProgramBoundMs));
  const int pid = FindProcessByExecutable(dir.file("ohphone"));
  EXPECT_GT(pid, 0);
  EXPECT_TRUE(telephony.Close());
  unsetenv("PHONE_SIM_OPTIONS");
  EXPECT_TRUE(Eventually([&] { return !ProcessAlive(pid); })) << "the program ended after \"q\"";
  const std::string text = ReadWholeFile(record);
  EXPECT_NE(text.find("\"kind\":\"start\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"args\":[\"-lne\",\"--g711-ulaw\",\"-u\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"kind\":\"in\",\"text\":\"q\"}"), std::string::npos) << text;
}

TEST(PhoneProcess, APhoneProgramKilledMidCallIsBackWithin5s) {
  TempFolder dir;
  InstallPhoneSim(dir);
  const uint16_t port = FreePort();
  setenv("PHONE_SIM_OPTIONS", ("--sim-quiet --sim-delay 0 --sim-port " + std::to_string(port)).c_str(), 1);
  RecordingHost host;
  TTelephony telephony(TelephonyIn(dir.folder(), port), host);
  telephony.Start();
  ASSERT_TRUE(telephony.Thread()->WaitForLink(1, kProgramBoundMs));
  ASSERT_TRUE(telephony.SendPhoneCommand("c 10.0.0.5"));
  ASSERT_EQ(Collect(*telephony.Thread(), 1), std::vector<std::string>{"CALL 10.0.0.5"});
  const int pid = FindProcessByExecutable(dir.file("ohphone"));
  ASSERT_GT(pid, 0);
  ASSERT_EQ(kill(pid, SIGKILL), 0);
  EXPECT_EQ(Collect(*telephony.Thread(), 1), std::vector<std::string>{"<lost>"});
  EXPECT_TRUE(telephony.Thread()->WaitForLink(2, kProgramBoundMs)) << "back within 5 s";
  const int again = FindProcessByExecutable(dir.file("ohphone"));
  EXPECT_GT(again, 0);
  EXPECT_NE(again, pid);
  EXPECT_EQ(Collect(*telephony.Thread(), 1), std::vector<std::string>{"<restored>"});
  EXPECT_TRUE(telephony.Close());
  unsetenv("PHONE_SIM_OPTIONS");
  EXPECT_TRUE(Eventually([&] { return !ProcessAlive(again); }));
}

}  // namespace
}  // namespace vertamo::testing
