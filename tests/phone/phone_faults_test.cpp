// The real phone against far ends that misbehave: a caller whose name is not
// UTF-8, a far end that rings for ever, the phone ending mid-call.
#include <gtest/gtest.h>

#include "phone_under_test.h"
#include "raw_sip_peer.h"
#include "rtp_junk.h"
#include "support/private_sound_server.h"
#include "support/private_network.h"

namespace vertamo::testing {
namespace {

constexpr int kFaultMs = 8000;

class PhoneFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string missing = BaresipMissing(); !missing.empty()) GTEST_SKIP() << missing;
  }
};

// Gateways send their names in code page 1251. Such a caller must ring (its
// name readable), and once refused must not hold one of baresip's call
// slots: three of them in a row all ring.
TEST_F(PhoneFaults, ACallerWhoseNameIsNotUtf8Rings) {
  PhoneUnderTest dispatcher;
  const int port = FreeSipPort();
  ASSERT_TRUE(dispatcher.Start(QuietPhoneSettings(port)));
  RawSipPeer lift;
  const struct {
    std::string wire;
    std::string shown;
  } names[] = {
      {"\xCB\xE8\xF4\xF2 2", "Лифт 2"},           // code page 1251
      {"\xCF\xEE\xF1\xF2 \xB9" "5", "Пост №5"},   // 1251 again, with its number sign
      {"Caf\xE9 \x98", "Cafй ?"},                 // what 1251 cannot say becomes "?"
  };
  int n = 0;
  for (const auto& name : names) {
    const std::string id = "cp" + std::to_string(++n);
    lift.Invite(port, "dispatch1", name.wire, id);
    ASSERT_EQ(dispatcher.NextEvent(kFaultMs), "RING " + name.shown + " [127.0.0.1]") << dispatcher.Log();
    dispatcher.Send("n");
    EXPECT_EQ(dispatcher.NextEvent(kFaultMs), "ERROR 9");
    int from = 0;
    const auto final = lift.Await("SIP/2.0 4", kFaultMs, &from);
    ASSERT_TRUE(final) << "the caller was never refused";
    lift.SendTo(from, "ACK sip:dispatch1@127.0.0.1 SIP/2.0\r\n" + RawSipPeer::Header(*final, "Via:") + "\r\n" +
                          RawSipPeer::Header(*final, "From:") + "\r\n" + RawSipPeer::Header(*final, "To:") +
                          "\r\n" + RawSipPeer::Header(*final, "Call-ID:") + "\r\nCSeq: 1 ACK\r\n\r\n");
  }
}

// A far end that says it rings and never answers: the dial ends after the
// phone's DialTimeout as unanswered, and the far end gets a CANCEL.
TEST_F(PhoneFaults, ADialThatOnlyRingsEndsAfterTheDialTimeOut) {
  PhoneUnderTest dispatcher;
  ASSERT_TRUE(dispatcher.Start(QuietPhoneSettings(FreeSipPort(), {"DialTimeout=2"})));
  RawSipPeer lift;
  dispatcher.Send("c 1*2*3@127.0.0.1:" + std::to_string(lift.Port()));
  int from = 0;
  const auto invite = lift.Await("INVITE", kFaultMs, &from);
  ASSERT_TRUE(invite);
  lift.Respond(from, *invite, "180 Ringing");
  // Bound: the two seconds of the setting and a second more.
  EXPECT_EQ(dispatcher.NextEvent(3000), "ERROR 5") << dispatcher.Log();
  EXPECT_TRUE(lift.Await("CANCEL", kFaultMs));
}

// However the phone ends mid-call, even killed outright, the lift is told (a
// BYE, or a CANCEL of a call still ringing there) before baresip stops,
// instead of talking to nobody until its own media time-out or ringing on.
TEST_F(PhoneFaults, ThePhoneEndingMidCallHangsUpTheLift) {
  PhoneUnderTest lift;
  const int liftPort = FreeSipPort();
  ASSERT_TRUE(lift.Start(QuietPhoneSettings(liftPort, {"ExtraUsers=1*2*3"}), {}, true, "lift"));
  enum TWay { kDialled, kRangIn, kRinging };
  for (const TWay way : {kDialled, kRangIn, kRinging}) {
    for (const int signal : {0, SIGTERM, SIGKILL}) {
      SCOPED_TRACE(std::string(signal == 0 ? "the workstation's link closed, " : strsignal(signal)) + ", " +
                   (way == kDialled ? "dialled" : way == kRangIn ? "rang in" : "still ringing at the lift"));
      PhoneUnderTest dispatcher;
      const int port = FreeSipPort();
      ASSERT_TRUE(dispatcher.Start(QuietPhoneSettings(port)));
      if (way == kRangIn) {
        lift.Send("c 127.0.0.1:" + std::to_string(port));
        ASSERT_EQ(dispatcher.NextEvent(kFaultMs).value_or("").rfind("RING", 0), 0u);
        dispatcher.Send("y");
      } else {
        dispatcher.Send("c 1*2*3@127.0.0.1:" + std::to_string(liftPort));
        ASSERT_EQ(lift.NextEvent(kFaultMs).value_or("").rfind("RING", 0), 0u);
        if (way == kDialled) lift.Send("y");
      }
      if (way != kRinging) {
        ASSERT_EQ(dispatcher.NextEvent(kFaultMs).value_or("").rfind("CALL", 0), 0u);
        ASSERT_EQ(lift.NextEvent(kFaultMs).value_or("").rfind("CALL", 0), 0u);
      }
      const int engine = dispatcher.BaresipPid();
      if (signal)
        ::kill(dispatcher.Pid(), signal);
      else
        dispatcher.CloseControl();
      // Bound: inside the lift's own ten seconds without media (which would
      // end its call "ERROR 6 SILENT=10"), with room for a loaded machine.
      EXPECT_EQ(lift.NextEvent(6000), way == kRinging ? "ERROR 2" : "ERROR 1") << dispatcher.Log();
      EXPECT_TRUE(dispatcher.WaitExit(3000));
      EXPECT_TRUE(ProcessGone(engine, 3000));
    }
  }
}

// Settings that would add parameters of their own to baresip's account, or
// spoil its whole account file: refused and told, and the phone still takes
// calls (the file spoilt, every caller got 404).
TEST_F(PhoneFaults, HostileSettingsAreRefusedAndThePhoneStillRings) {
  RawSipPeer registrar, proxy, lift;
  const std::string injected = "pw;regint=5;outbound=sip:127.0.0.1:" + std::to_string(proxy.Port());
  PhoneUnderTest dispatcher;
  const int port = FreeSipPort();
  ASSERT_TRUE(dispatcher.Start(QuietPhoneSettings(port, {"Registrar=127.0.0.1:" + std::to_string(registrar.Port()),
                                            "Password=" + injected, "User=disp>1", std::string("DisplayName=a\0\"b", 16),
                                            "ExtraUsers=ok,\">;x"})));
  std::vector<std::string> notices;
  for (auto line = dispatcher.Next(3000); line && line->rfind("APP", 0) == 0; line = dispatcher.Next(1500))
    notices.push_back(*line);
  ASSERT_EQ(notices.size(), 3u) << dispatcher.Log();
  EXPECT_EQ(notices[0].rfind("APP Настройки телефона: User \"disp>1\"", 0), 0u) << notices[0];
  EXPECT_EQ(notices[1].rfind("APP Настройки телефона: ExtraUsers", 0), 0u) << notices[1];
  EXPECT_EQ(notices[2].rfind("APP Настройки телефона: Password", 0), 0u) << notices[2];
  EXPECT_EQ(dispatcher.Log().find("pw;regint"), std::string::npos) << "the password reached the log";
  lift.Invite(port, "ok", "Lift", "h1");
  EXPECT_EQ(dispatcher.NextEvent(kFaultMs), "RING Lift [127.0.0.1]") << dispatcher.Log();
  EXPECT_FALSE(proxy.Receive(100)) << "a setting chose an outbound proxy";
  EXPECT_FALSE(registrar.Receive(100)) << "registered with a password cut short";
}

// A LocalAddress that cannot be this machine's is said as such, not as a
// want of free SIP ports.
TEST(PhoneSettingsFaults, ALocalAddressNotOfThisMachineIsSaidSo) {
  for (const auto& [address, why] : {std::pair<std::string, std::string>{"999.1.1.1", "is not an IPv4 address"},
                                     {"192.0.2.77", "is not an address of this machine"}}) {
    PhoneUnderTest phone;
    ASSERT_TRUE(phone.Start({"LocalAddress=" + address}));
    phone.Send("c 1*2*3@127.0.0.1");
    EXPECT_EQ(phone.NextEvent(kFaultMs), "ERROR 15");
    EXPECT_NE(phone.NextEvent(kFaultMs).value_or("").find("LocalAddress " + address + " " + why), std::string::npos)
        << phone.Log();
  }
}

// Lifts that call the settings' port would be lost without a word: the
// dispatcher hears where SIP listens instead.
TEST_F(PhoneFaults, ASipPortTakenIsToldToTheDispatcher) {
  RawSipPeer holder;  // holds the port on 127.0.0.1
  PhoneUnderTest dispatcher;
  ASSERT_TRUE(dispatcher.Start(QuietPhoneSettings(holder.Port())));
  const std::string notice = dispatcher.Next(3000).value_or("");
  EXPECT_EQ(notice.rfind("APP SIP слушает порт ", 0), 0u) << notice;
  EXPECT_NE(notice.find("вместо " + std::to_string(holder.Port())), std::string::npos) << notice;
}

// baresip serves one address. With every address asked for (the default)
// SIP takes 5060 on the default route's address though 127.0.0.1:5060 is
// held, a lift calls it there, and the dispatcher hears that the machine's
// other interface is not served. In a network of the test's own.
TEST_F(PhoneFaults, SipTakes5060WhereItIsFreeAndSaysWhichAddressIsNotServed) {
  const std::vector<std::string> network = {"link add v0 type veth peer name v1", "addr add 10.9.0.1/24 dev v0",
                                            "addr add 10.9.1.1/24 dev v1",        "link set v0 up",
                                            "link set v1 up", "route add default via 10.9.0.254 dev v0"};
  std::string why;
  const auto seen = InPrivateNetwork(
      network,
      [] {
        RawSipPeer holder("127.0.0.1", 5060);
        PhoneUnderTest dispatcher;
        if (!dispatcher.Start({"AudioSource=alsa,null", "AudioPlayer=alsa,null"})) return std::string("no phone");
        std::string lines = dispatcher.Next(3000).value_or("<no notice>");
        RawSipPeer lift("10.9.0.1");
        lift.Invite(5060, "dispatch1", "Lift", "n1");
        return lines + "\n" + dispatcher.NextEvent(kFaultMs).value_or("<no ring>") + "\n" + dispatcher.Log();
      },
      &why);
  if (!seen) GTEST_SKIP() << why;
  EXPECT_EQ(seen->substr(0, seen->find('\n', seen->find('\n') + 1)),
            "APP SIP принимает звонки только на 10.9.0.1:5060; звонки на 10.9.1.1 не дойдут\nRING Lift [10.9.0.1]")
      << *seen;
}

// Junk at the media port during a conversation is decoded and written as the
// far end's voice, far faster than anyone speaks, into the phone's private
// folder (memory, in $XDG_RUNTIME_DIR): the record is given up with a word
// for the dispatcher, and the folder does not keep the junk.
TEST_F(PhoneFaults, JunkAtTheMediaPortGivesTheRecordUpInsteadOfFillingMemory) {
  PhoneUnderTest lift;
  const int liftPort = FreeSipPort();
  ASSERT_TRUE(lift.Start(QuietPhoneSettings(liftPort, {"AnswerAtOnce=1"}), {}, true, "lift"));
  PhoneUnderTest dispatcher;
  const int port = FreeSipPort();
  // A source that keeps time, as a microphone does.
  const std::string voice = dispatcher.Folder().file("voice.wav");
  ASSERT_TRUE(WriteTone(voice, 440, 30, 8000));
  ASSERT_TRUE(dispatcher.Start(QuietPhoneSettings(port, {"AudioSource=aufile," + voice})));
  dispatcher.Send("c lift@127.0.0.1:" + std::to_string(liftPort));
  ASSERT_EQ(dispatcher.NextEvent(kFaultMs).value_or("").rfind("CALL", 0), 0u) << dispatcher.Log();
  const std::vector<int> ports = MediaPorts(dispatcher.BaresipPid(), port);
  ASSERT_FALSE(ports.empty());
  Flood(ports, {TJunk::Rtp}, 60000, 3);
  const auto told = [&] {
    for (const std::string& line : dispatcher.RecordLines())
      if (line.rfind("NOREC ", 0) == 0) return line;
    return std::string();
  };
  for (int waited = 0; told().empty() && waited < kFaultMs; waited += 100) dispatcher.NextEvent(100);
  EXPECT_EQ(told(), "NOREC Разговор не записан: на звуковой порт приходят чужие пакеты") << dispatcher.Log();
  // Bound: the phone empties the files every second, and baresip writes
  // about a megabyte of decoded junk between two looks on a loaded machine;
  // kept, three seconds of this flood are some 40 MB.
  for (int waited = 0; PrivateFilesMb(dispatcher.Pid()) > 4.0 && waited < 3000; waited += 100)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_LT(PrivateFilesMb(dispatcher.Pid()), 4.0);
  dispatcher.Send("h");
  EXPECT_EQ(dispatcher.NextEvent(kFaultMs), "END");
}

// The last resort against memory baresip might keep after a flood: an engine
// above the settings' limit (here any) is started afresh once the call is
// over, and calls come in again.
TEST_F(PhoneFaults, AnEngineAboveItsMemoryLimitIsStartedAfreshAfterTheCall) {
  PhoneUnderTest lift;
  const int liftPort = FreeSipPort();
  ASSERT_TRUE(lift.Start(QuietPhoneSettings(liftPort, {"AnswerAtOnce=1"}), {}, true, "lift"));
  PhoneUnderTest dispatcher;
  const int port = FreeSipPort();
  ASSERT_TRUE(dispatcher.Start(QuietPhoneSettings(port, {"EngineMemoryLimit=1"})));
  dispatcher.Send("c lift@127.0.0.1:" + std::to_string(liftPort));
  ASSERT_EQ(dispatcher.NextEvent(kFaultMs).value_or("").rfind("CALL", 0), 0u) << dispatcher.Log();
  const int engine = dispatcher.BaresipPid();
  dispatcher.Send("h");
  ASSERT_EQ(dispatcher.NextEvent(kFaultMs), "END");
  // Bound: at once after the call; a start takes well under two seconds.
  const auto restarted = [&] {
    const int now = dispatcher.BaresipPid();
    return now != engine && now != 0 &&
           dispatcher.Log().find("baresip started (process " + std::to_string(now) + ")") != std::string::npos;
  };
  for (int waited = 0; !restarted() && waited < 2000; waited += 10)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(restarted()) << dispatcher.Log();
  lift.Send("c 127.0.0.1:" + std::to_string(port));
  EXPECT_EQ(dispatcher.NextEvent(kFaultMs), "RING lift [127.0.0.1]") << dispatcher.Log();
}

// baresip dying while the phone is idle: it is started again at once, and
// until then the workstation hears that calls cannot come in.
TEST_F(PhoneFaults, ADeadEngineIsStartedAgainWithoutWaitingForADial) {
  PhoneUnderTest lift;
  ASSERT_TRUE(lift.Start(QuietPhoneSettings(FreeSipPort()), {}, true, "lift"));
  PhoneUnderTest dispatcher;
  const int port = FreeSipPort();
  ASSERT_TRUE(dispatcher.Start(QuietPhoneSettings(port)));
  const int engine = dispatcher.BaresipPid();
  ::kill(engine, SIGKILL);
  EXPECT_EQ(dispatcher.NextEvent(kFaultMs).value_or("").rfind("APP Телефон не принимает звонки", 0), 0u) << dispatcher.Log();
  // Bound: the first restart comes half a second after the death.
  EXPECT_EQ(dispatcher.NextEvent(3000), "APP Телефон снова принимает звонки") << dispatcher.Log();
  EXPECT_NE(dispatcher.BaresipPid(), engine);
  lift.Send("c 127.0.0.1:" + std::to_string(port));
  EXPECT_EQ(dispatcher.NextEvent(kFaultMs), "RING lift [127.0.0.1]") << dispatcher.Log();
}

// A phone killed outright while the far end does not answer its BYE leaves
// baresip retrying for half a minute, holding the SIP port: the next phone
// started (this one, or one of a test running alongside) ends it.
TEST_F(PhoneFaults, TheNextPhoneEndsAnEngineLeftHangingUp) {
  PhoneUnderTest lift;
  const int liftPort = FreeSipPort();
  ASSERT_TRUE(lift.Start(QuietPhoneSettings(liftPort, {"ExtraUsers=1*2*3"}), {}, true, "lift"));
  PhoneUnderTest dispatcher;
  const int port = FreeSipPort();
  ASSERT_TRUE(dispatcher.Start(QuietPhoneSettings(port)));
  dispatcher.Send("c 1*2*3@127.0.0.1:" + std::to_string(liftPort));
  ASSERT_EQ(lift.NextEvent(kFaultMs).value_or("").rfind("RING", 0), 0u);
  lift.Send("y");
  ASSERT_EQ(dispatcher.NextEvent(kFaultMs).value_or("").rfind("CALL", 0), 0u);
  const int liftEngine = lift.BaresipPid(), engine = dispatcher.BaresipPid();
  ::kill(liftEngine, SIGSTOP);
  dispatcher.Kill();
  PhoneUnderTest next;
  ASSERT_TRUE(next.Start(QuietPhoneSettings(port)));
  EXPECT_TRUE(ProcessGone(engine, 1000));
  EXPECT_NE(next.Log().find("SIP on 127.0.0.1:" + std::to_string(port) + " "), std::string::npos) << next.Log();
  ::kill(liftEngine, SIGCONT);
}

}  // namespace
}  // namespace vertamo::testing
