// The real vertamo-phone with the real baresip on loopback: the workstation's
// own telephony thread drives it, and every way a call ends reaches the
// workstation as the event line it expects. Each phone has a folder of its
// own; audio goes nowhere (ALSA's null device) except in the voice test.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "iptel/iptel_thread.h"
#include "iptel/phone_log.h"
#include "phone_under_test.h"
#include "raw_sip_peer.h"

namespace vertamo::testing {
namespace {

// Bounds of the waits: a call on loopback connects within a second or two;
// a SIP transaction with no answer at all gives up after 32 s.
constexpr int kEventMs = 8000;
constexpr int kSipTimeoutMs = 40000;

class RealPhone : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string missing = BaresipMissing(); !missing.empty()) GTEST_SKIP() << missing;
    liftPort = FreeSipPort();
    ASSERT_TRUE(lift.Start(QuietPhoneSettings(liftPort, {"ExtraUsers=1*2*3"}), {}, true, "lift"));
  }
  std::string LiftAddress(const std::string& user = "1*2*3") {
    return user + "@127.0.0.1:" + std::to_string(liftPort);
  }
  int liftPort = 0;
  PhoneUnderTest lift;
};

class CountingHost : public IPhoneHost {
 public:
  void PhoneEventPosted() override {}
  void ShowMessageBox(const TPhoneMessageBox& box, std::function<void()> done) override { done(); }
};

std::optional<std::string> NextLine(TPhoneEventQueue& events, const std::string& prefix, int ms) {
  for (int waited = 0; waited < ms; waited += 5) {
    for (TPhoneQueued item; events.TryPop(item);)
      if (item.kind == TPhoneQueued::TKind::Line && item.line.rfind(prefix, 0) == 0) return item.line;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return std::nullopt;
}

TEST_F(RealPhone, TheWorkstationsThreadAdoptsItDialsHangsUpAndQuits) {
  PhoneUnderTest dispatcher;
  const int dispatcherSipPort = FreeSipPort();
  ASSERT_TRUE(dispatcher.Start(QuietPhoneSettings(dispatcherSipPort), {}, /*connect=*/false));
  TempFolder work;
  TPhoneConfig config;
  config.programPath = VERTAMO_PHONE_PATH;
  config.workFolder = work.folder();
  config.port = dispatcher.ControlPort();
  TLinuxPhoneProcesses processes(config.programPath, config.port, config.workFolder);
  CountingHost host;
  vertamo::TPhoneLog log(work.folder(), false);
  TIPTELThread thread(config, processes, host, log);
  thread.Start();
  ASSERT_TRUE(thread.WaitForStage(TIPTELThread::kLinkUp, kEventMs));
  EXPECT_TRUE(thread.Adopted());

  ASSERT_TRUE(thread.SendPhoneCommand("c " + LiftAddress()));
  // The lift answers by hand here, as an intercom that picks up.
  ASSERT_EQ(lift.NextEvent(kEventMs).value_or("").rfind("RING", 0), 0u);
  lift.Send("y");
  EXPECT_EQ(NextLine(thread.PhoneEvents(), "CALL", kEventMs), "CALL " + LiftAddress());
  // SIP and the control link only on loopback: every TCP socket of the
  // engine, and its SIP socket over UDP, are bound to 127.0.0.1. (baresip
  // binds the call's media sockets to every address; the media goes where
  // the SDP says, 127.0.0.1 here.)
  const int engine = dispatcher.BaresipPid();
  const std::vector<std::string> tcp = SocketAddresses(engine, "/proc/net/tcp");
  EXPECT_GE(tcp.size(), 3u);  // SIP, TLS, the control link
  for (const std::string& local : tcp) EXPECT_EQ(local.substr(0, 9), "0100007F:");
  char sipUdp[16];
  std::snprintf(sipUdp, sizeof sipUdp, "0100007F:%04X", dispatcherSipPort);
  const std::vector<std::string> udp = SocketAddresses(engine, "/proc/net/udp");
  EXPECT_NE(std::find(udp.begin(), udp.end(), sipUdp), udp.end());
  ASSERT_TRUE(thread.SendPhoneCommand("h"));
  EXPECT_EQ(NextLine(thread.PhoneEvents(), "END", kEventMs), "END");
  EXPECT_EQ(lift.NextEvent(kEventMs).value_or("").rfind("CALL", 0), 0u);
  EXPECT_EQ(lift.NextEvent(kEventMs), "ERROR 1");

  ASSERT_GT(engine, 0);
  EXPECT_TRUE(thread.QuitPhone());
  // The phone makes the record of the conversation before it ends, which
  // takes seconds in the thread-sanitizer build on two busy cores.
  EXPECT_TRUE(dispatcher.WaitExit(10000));
  EXPECT_TRUE(ProcessGone(engine, 3000)) << "baresip outlived the phone";
}

TEST_F(RealPhone, EveryEndOfACallReachesTheWorkstationAsItsEventLine) {
  PhoneUnderTest dispatcher;
  ASSERT_TRUE(dispatcher.Start(QuietPhoneSettings(FreeSipPort())));

  // The lift refuses: busy for the caller, "refused" for the lift.
  dispatcher.Send("c " + LiftAddress());
  ASSERT_EQ(lift.NextEvent(kEventMs), "RING dispatch1 [127.0.0.1]");
  lift.Send("n");
  EXPECT_EQ(dispatcher.NextEvent(kEventMs), "BUSY");
  EXPECT_EQ(lift.NextEvent(kEventMs), "ERROR 9");

  // The lift hangs up a call in progress.
  dispatcher.Send("c " + LiftAddress());
  ASSERT_TRUE(lift.NextEvent(kEventMs));
  lift.Send("y");
  EXPECT_EQ(dispatcher.NextEvent(kEventMs), "CALL " + LiftAddress());
  EXPECT_EQ(lift.NextEvent(kEventMs), "CALL dispatch1 [127.0.0.1]");
  // A third party calling the lift meanwhile gets busy and is told; the
  // call goes on.
  PhoneUnderTest third;
  ASSERT_TRUE(third.Start(QuietPhoneSettings(FreeSipPort()), {}, true, "third"));
  third.Send("c " + LiftAddress());
  EXPECT_EQ(third.NextEvent(kEventMs), "BUSY");
  EXPECT_EQ(lift.NextEvent(kEventMs), "RING third [127.0.0.1]");
  lift.Send("h");
  EXPECT_EQ(lift.NextEvent(kEventMs), "END");
  EXPECT_EQ(dispatcher.NextEvent(kEventMs), "ERROR 1");

  // Nobody of that name at the lift's address; an address no SIP URI holds.
  dispatcher.Send("c " + LiftAddress("9*9*9"));
  EXPECT_EQ(dispatcher.NextEvent(kEventMs), "ERROR 0");
  dispatcher.Send("c 1*2*3@bad host");
  EXPECT_EQ(dispatcher.NextEvent(kEventMs), "ERROR 0");

  // baresip killed mid-call: the call ends with an error and a reason, the
  // phone stays and starts baresip again.
  dispatcher.Send("c " + LiftAddress());
  ASSERT_TRUE(lift.NextEvent(kEventMs));
  lift.Send("y");
  ASSERT_EQ(dispatcher.NextEvent(kEventMs), "CALL " + LiftAddress());
  ASSERT_TRUE(lift.NextEvent(kEventMs));
  ::kill(dispatcher.BaresipPid(), SIGKILL);
  EXPECT_EQ(dispatcher.NextEvent(kEventMs), "ERROR 6");
  EXPECT_EQ(dispatcher.NextEvent(kEventMs).value_or("").rfind("APP ", 0), 0u);
  EXPECT_EQ(dispatcher.NextEvent(kEventMs).value_or("").rfind("APP Телефон не принимает звонки", 0), 0u);
  EXPECT_EQ(dispatcher.NextEvent(kEventMs), "APP Телефон снова принимает звонки");
  // The lift hears nothing more and ends the call on its own.
  EXPECT_EQ(lift.NextEvent(kSipTimeoutMs), "ERROR 6 SILENT=10");
  dispatcher.Send("c " + LiftAddress());
  ASSERT_TRUE(lift.NextEvent(kEventMs));
  lift.Send("y");
  EXPECT_EQ(dispatcher.NextEvent(kEventMs), "CALL " + LiftAddress());
  dispatcher.Send("h");
  EXPECT_EQ(dispatcher.NextEvent(kEventMs), "END");

  // "q" ends baresip and then the phone.
  const int engine = dispatcher.BaresipPid();
  dispatcher.Send("q");
  EXPECT_EQ(dispatcher.NextEvent(kEventMs), "OK");
  EXPECT_TRUE(ProcessGone(engine, 100)) << "baresip still runs after OK";
  // The phone makes the record of its last conversation before it ends.
  EXPECT_TRUE(dispatcher.WaitExit(10000));
}

// Someone calls the dispatcher during a call with a lift (here on the user
// every phone answers to, another of its accounts): the phone is busy for
// them and tells the workstation who rang, and the dispatcher's hang-up ends
// the call with the lift, not the newcomer's, which baresip had made its
// current call.
TEST_F(RealPhone, ACallComingInDuringACallIsBusyAndTheHangUpEndsTheLiftsCall) {
  PhoneUnderTest dispatcher;
  const int dispatcherPort = FreeSipPort();
  ASSERT_TRUE(dispatcher.Start(QuietPhoneSettings(dispatcherPort)));
  dispatcher.Send("c " + LiftAddress());
  ASSERT_EQ(lift.NextEvent(kEventMs).value_or("").rfind("RING", 0), 0u);
  lift.Send("y");
  ASSERT_EQ(dispatcher.NextEvent(kEventMs), "CALL " + LiftAddress());
  ASSERT_EQ(lift.NextEvent(kEventMs).value_or("").rfind("CALL", 0), 0u);

  PhoneUnderTest third;
  ASSERT_TRUE(third.Start(QuietPhoneSettings(FreeSipPort()), {}, true, "third"));
  third.Send("c 127.0.0.1:" + std::to_string(dispatcherPort));
  EXPECT_EQ(third.NextEvent(kEventMs), "BUSY") << dispatcher.Log();
  EXPECT_EQ(dispatcher.NextEvent(kEventMs), "RING third [127.0.0.1]");  // told, the call goes on
  dispatcher.Send("h");
  EXPECT_EQ(dispatcher.NextEvent(kEventMs), "END");
  EXPECT_EQ(lift.NextEvent(kEventMs), "ERROR 1") << dispatcher.Log();
}

// The same during a call that rang in: the newcomer dials the very account
// the first caller's call is on, and the workstation must still hear of it.
TEST_F(RealPhone, ACallComingInDuringAnAnsweredCallOnTheSameAccountIsToldToo) {
  PhoneUnderTest dispatcher;
  const int dispatcherPort = FreeSipPort();
  ASSERT_TRUE(dispatcher.Start(QuietPhoneSettings(dispatcherPort)));
  const std::string dispatcherAddress = "127.0.0.1:" + std::to_string(dispatcherPort);
  lift.Send("c " + dispatcherAddress);
  ASSERT_EQ(dispatcher.NextEvent(kEventMs), "RING lift [127.0.0.1]");
  dispatcher.Send("y");
  ASSERT_EQ(dispatcher.NextEvent(kEventMs), "CALL lift [127.0.0.1]");
  ASSERT_EQ(lift.NextEvent(kEventMs).value_or("").rfind("CALL", 0), 0u);

  PhoneUnderTest third;
  ASSERT_TRUE(third.Start(QuietPhoneSettings(FreeSipPort()), {}, true, "third"));
  third.Send("c " + dispatcherAddress);
  EXPECT_EQ(third.NextEvent(kEventMs), "BUSY") << dispatcher.Log();
  EXPECT_EQ(dispatcher.NextEvent(kEventMs), "RING third [127.0.0.1]") << dispatcher.Log();
  dispatcher.Send("h");
  EXPECT_EQ(dispatcher.NextEvent(kEventMs), "END");
  EXPECT_EQ(lift.NextEvent(kEventMs), "ERROR 1") << dispatcher.Log();
}

// A switch to another lift: the workstation sends "h" and the next "c" at
// once, while baresip is still closing the first call. The dial must not be
// lost, or the window dials for ever.
TEST_F(RealPhone, ADialRightAfterAHangUpIsPlacedOnceTheCallHasClosed) {
  PhoneUnderTest dispatcher;
  ASSERT_TRUE(dispatcher.Start(QuietPhoneSettings(FreeSipPort())));
  dispatcher.Send("c " + LiftAddress());
  ASSERT_EQ(lift.NextEvent(kEventMs).value_or("").rfind("RING", 0), 0u);
  lift.Send("y");
  ASSERT_EQ(dispatcher.NextEvent(kEventMs), "CALL " + LiftAddress());
  ASSERT_EQ(lift.NextEvent(kEventMs).value_or("").rfind("CALL", 0), 0u);

  dispatcher.Send("h");
  dispatcher.Send("c " + LiftAddress());
  EXPECT_EQ(dispatcher.NextEvent(kEventMs), "END");
  EXPECT_EQ(lift.NextEvent(kEventMs), "ERROR 1");
  EXPECT_EQ(lift.NextEvent(kEventMs).value_or("").rfind("RING", 0), 0u) << dispatcher.Log();
  lift.Send("y");
  EXPECT_EQ(dispatcher.NextEvent(kEventMs), "CALL " + LiftAddress());

  // "h" right behind the dial ends it too, whether it was still held or the
  // first call had closed and it was placed already: either way the phone is
  // idle after it, and the next dial rings.
  dispatcher.Send("h");
  dispatcher.Send("c " + LiftAddress());
  dispatcher.Send("h");
  EXPECT_EQ(dispatcher.NextEvent(kEventMs), "END");
  auto until = [](PhoneUnderTest& phone, const std::string& prefix) {
    for (auto event = phone.NextEvent(kEventMs); event; event = phone.NextEvent(kEventMs))
      if (event->rfind(prefix, 0) == 0) return true;
    return false;
  };
  EXPECT_TRUE(until(lift, "ERROR 1"));  // our answered call ended
  while (lift.NextEvent(1000)) {
  }  // a dial placed and hung up at once may still be told
  dispatcher.Send("c " + LiftAddress());
  ASSERT_TRUE(until(lift, "RING")) << dispatcher.Log();
  lift.Send("y");
  EXPECT_TRUE(until(dispatcher, "CALL"));
}

TEST_F(RealPhone, ThePhoneEndsWithItsControlLinkAndBaresipEndsWithThePhone) {
  const int engine = lift.BaresipPid();
  ASSERT_GT(engine, 0);
  lift.CloseControl();
  EXPECT_TRUE(lift.WaitExit(3000));
  EXPECT_TRUE(ProcessGone(engine, 3000));

  PhoneUnderTest killed;
  ASSERT_TRUE(killed.Start(QuietPhoneSettings(FreeSipPort())));
  const int orphan = killed.BaresipPid();
  ASSERT_GT(orphan, 0);
  const std::string folder = EngineFolderOf(killed.Pid());
  ASSERT_FALSE(folder.empty());
  killed.Kill();  // SIGKILL: nothing of the phone runs to stop its baresip
  EXPECT_TRUE(ProcessGone(orphan, 3000));
  // Its private folder (the account file) goes at the next phone's start
  // (or at the start of a phone of a test running alongside).
  PhoneUnderTest next;
  ASSERT_TRUE(next.Start(QuietPhoneSettings(FreeSipPort())));
  EXPECT_FALSE(std::filesystem::exists(folder)) << folder;
}

TEST_F(RealPhone, WithoutASoundServerACallConnectsAndSaysItHasNoSound) {
  PhoneUnderTest dispatcher;
  TempFolder nowhere;
  ASSERT_TRUE(dispatcher.Start({"LocalAddress=127.0.0.1", "SipPort=" + std::to_string(FreeSipPort())},
                               {"PULSE_SERVER=unix:" + nowhere.file("none")}));
  dispatcher.Send("c " + LiftAddress());
  ASSERT_TRUE(lift.NextEvent(kEventMs));
  lift.Send("y");
  EXPECT_EQ(dispatcher.NextEvent(kEventMs), "CALL " + LiftAddress());
  EXPECT_EQ(dispatcher.NextEvent(kEventMs).value_or("").rfind("APP Разговор без звука", 0), 0u);
}

TEST_F(RealPhone, ACallThatCannotBeRecordedGoesOnAndIsToldOnce) {
  PhoneUnderTest dispatcher;
  ASSERT_TRUE(dispatcher.Start(QuietPhoneSettings(FreeSipPort())));
  // A file where the records' folder should be.
  WriteWholeFile(dispatcher.Folder().file("Records"), "");
  for (int call = 0; call < 2; ++call) {
    dispatcher.Send("c " + LiftAddress());
    ASSERT_TRUE(lift.NextEvent(kEventMs));
    lift.Send("y");
    ASSERT_EQ(dispatcher.NextEvent(kEventMs), "CALL " + LiftAddress()) << dispatcher.Log();
    dispatcher.Send("h");
    EXPECT_EQ(dispatcher.NextEvent(kEventMs), "END");
    lift.NextEvent(kEventMs);  // the lift's CALL
    lift.NextEvent(kEventMs);  // and its end
  }
  EXPECT_EQ(dispatcher.RecordLines(),
            (std::vector<std::string>{"NOREC Разговор не записывается: нельзя создать папку Records", "NOREC"}));
  EXPECT_NE(dispatcher.Log().find("not recorded: cannot create"), std::string::npos);
}

TEST(RealPhoneFaults, WithoutBaresipACallEndsWithAReasonAndThePhoneStaysUp) {
  PhoneUnderTest phone;
  ASSERT_TRUE(phone.Start(QuietPhoneSettings(FreeSipPort(), {"Baresip=/nonexistent/baresip"})));
  phone.Send("c 1*2*3@127.0.0.1");
  EXPECT_EQ(phone.NextEvent(kEventMs), "ERROR 15");
  const std::string reason = phone.NextEvent(kEventMs).value_or("");
  EXPECT_NE(reason.find("baresip"), std::string::npos) << reason;
  phone.Send("c 1*2*3@127.0.0.1");
  EXPECT_EQ(phone.NextEvent(kEventMs), "ERROR 15");  // tried again, still missing
  phone.NextEvent(kEventMs);
  EXPECT_NE(phone.Log().find("No such file"), std::string::npos) << phone.Log();
  phone.Send("q");
  EXPECT_EQ(phone.NextEvent(kEventMs), "OK");
}

// A newcomer refused while our dial has had no answer at all yet (baresip
// has not named our call): "h" still ends our dial, not the newcomer. Also
// after a call that rang in on the other account, which baresip left current.
TEST_F(RealPhone, AHangUpEndsADialThatANewcomerInterrupted) {
  for (const bool rangInBefore : {false, true}) {
    SCOPED_TRACE(rangInBefore ? "after a call that rang in" : "first call");
    RawSipPeer silent;  // never answers
    ASSERT_GT(silent.Port(), 0);
    PhoneUnderTest dispatcher;
    const int dispatcherSipPort = FreeSipPort();
    ASSERT_TRUE(dispatcher.Start(QuietPhoneSettings(dispatcherSipPort)));
    if (rangInBefore) {
      lift.Send("c 127.0.0.1:" + std::to_string(dispatcherSipPort));
      ASSERT_EQ(dispatcher.NextEvent(kEventMs), "RING lift [127.0.0.1]");
      dispatcher.Send("y");
      ASSERT_EQ(dispatcher.NextEvent(kEventMs), "CALL lift [127.0.0.1]");
      ASSERT_EQ(lift.NextEvent(kEventMs).value_or("").rfind("CALL", 0), 0u);
      dispatcher.Send("h");
      ASSERT_EQ(dispatcher.NextEvent(kEventMs), "END");
      ASSERT_EQ(lift.NextEvent(kEventMs), "ERROR 1");
    }
    dispatcher.Send("c 1*2*3@127.0.0.1:" + std::to_string(silent.Port()));
    // The newcomer comes once the dial is under way (within kEventMs).
    const size_t dialled = rangInBefore ? dispatcher.Log().rfind("dialling") : std::string::npos;
    for (int waited = 0; dispatcher.Log().rfind("dialling") == dialled && waited < kEventMs; waited += 10)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    lift.Send("c 127.0.0.1:" + std::to_string(dispatcherSipPort));
    EXPECT_EQ(lift.NextEvent(kEventMs), "BUSY");
    EXPECT_EQ(dispatcher.NextEvent(kEventMs), "RING lift [127.0.0.1]");  // told, the dial goes on
    dispatcher.Send("h");
    EXPECT_EQ(dispatcher.NextEvent(kEventMs), "END") << dispatcher.Log();
  }
}

TEST_F(RealPhone, AnAddressWhereNothingAnswersIsUnreachableAfterTheSipTimeOut) {
  RawSipPeer silent;  // never answers
  ASSERT_GT(silent.Port(), 0);
  PhoneUnderTest dispatcher;
  ASSERT_TRUE(dispatcher.Start(QuietPhoneSettings(FreeSipPort())));
  dispatcher.Send("c 1*2*3@127.0.0.1:" + std::to_string(silent.Port()));
  EXPECT_EQ(dispatcher.NextEvent(kSipTimeoutMs), "ERROR 12");
}

}  // namespace
}  // namespace vertamo::testing
