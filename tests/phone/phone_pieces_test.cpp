// The pieces of vertamo-phone that need no engine: the outcome table, dial
// strings, the workstation's command line, where SIP listens, and the
// engine's private files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "phone/baresip_config.h"
#include "phone/baresip_message.h"
#include "phone/call_outcome.h"
#include "phone/dial_string.h"
#include "phone/phone_log.h"
#include "phone/phone_options.h"
#include "phone/sip_place.h"
#include "phone/sip_settings.h"
#include "support/temp_folder.h"

namespace vertamo::phone {
namespace {

TEST(PhoneOutcomes, EachWayACallEndsHasItsEventLine) {
  const TCallHistory out{}, rang{false, false, true}, talking{false, true};
  const TCallHistory incoming{true}, hungUp{false, true, false, true}, refused{true, false, false, false, true};
  const TCallHistory rangOut{false, false, true, false, false, true}, silentOut{false, false, false, false, false, true};
  const struct {
    const char* reason;
    TCallHistory call;
    const char* line;
  } cases[] = {
      {"486 Busy Here", out, "BUSY"},           {"600 Busy Everywhere", out, "BUSY"},
      {"404 Not Found", out, "ERROR 0"},        {"484 Address Incomplete", out, "ERROR 0"},
      {"603 Decline", out, "ERROR 3"},          {"408 Request Timeout", out, "ERROR 5"},
      {"480 Temporarily Unavailable", out, "ERROR 5"}, {"488 Not Acceptable Here", out, "ERROR 7"},
      {"500 Server Error", out, "ERROR 15"},    {"Connection timed out", out, "ERROR 12"},
      {"Connection timed out", rang, "ERROR 5"}, {"Connection refused", out, "ERROR 12"},
      {"Connection reset by peer", talking, "ERROR 1"}, {"rtp stream error", talking, "ERROR 6 SILENT=10"},
      {"Connection reset by user", hungUp, "END"}, {"", refused, "ERROR 9"},
      {"Connection reset by peer", incoming, "ERROR 2"}, {"whatever", out, "ERROR 15"},
      {"Connection reset by user", rangOut, "ERROR 5"}, {"Connection reset by user", silentOut, "ERROR 12"},
  };
  for (const auto& c : cases) EXPECT_EQ(ClosedCallLine(c.reason, c.call), c.line) << c.reason;
  // A dial baresip would not start: no network at all is unreachable, not a wrong address.
  EXPECT_EQ(RefusedDialLine("Cannot assign requested address"), "ERROR 12");
  EXPECT_EQ(RefusedDialLine("Network is unreachable"), "ERROR 12");
  EXPECT_EQ(RefusedDialLine("Invalid argument"), "ERROR 0");
}

TEST(PhoneDialStrings, MapAndBookAddressesBecomeSipUris) {
  const struct {
    const char* dial;
    const char* uri;  // nullptr: cannot be dialled
  } cases[] = {
      {"1*2*3@10.0.0.5", "sip:1*2*3@10.0.0.5:5060"},       {"1*2*3@10.0.0.5:1720", "sip:1*2*3@10.0.0.5:5060"},
      {"1*2*3@gw.local:5070", "sip:1*2*3@gw.local:5070"},  {"post@10.0.0.7", "sip:post@10.0.0.7:5060"},
      {"10.20.0.5", "sip:vertamo@10.20.0.5:5060"},                 {"", nullptr},
      {"1*2*3@bad host", nullptr},                         {"@10.0.0.5", nullptr},
      {"a@10.0.0.5:0", nullptr},                           {"a@10.0.0.5:99999", nullptr},
      {"a b@10.0.0.5", nullptr},                           {"a@", nullptr},
  };
  for (const auto& c : cases) {
    const auto uri = SipUriFromDialString(c.dial, 5060);
    if (c.uri)
      EXPECT_EQ(uri.value_or("<none>"), c.uri) << c.dial;
    else
      EXPECT_FALSE(uri) << c.dial << " gave " << *uri;
  }
}

TEST(PhoneCommandLine, TheWorkstationsLineIsTakenWholeAndNothingIsFatal) {
  const TPhoneOptions o = ParsePhoneOptions({"-lne", "--g711-ulaw", "-u", "dispatch1", "--sound-buffers", "5",
                                             "--g711frames", "60", "--fast-disable", "--h245tunneldisable",
                                             "--disable-h245-in-setup", "--jitter", "40-80", "-o", "/w/H323.log",
                                             "-t", "-t", "--frobnicate"});
  EXPECT_TRUE(o.ulawFirst);
  EXPECT_EQ(o.alias, "dispatch1");
  EXPECT_EQ(o.jitterMinMs, 40);
  EXPECT_EQ(o.jitterMaxMs, 80);
  EXPECT_EQ(o.traceFile, "/w/H323.log");
  EXPECT_EQ(o.traceLevel, 2);
  EXPECT_EQ(o.controlPort, 3001);
  ASSERT_EQ(o.notes.size(), 7u);  // five without effect, -lne, and the unknown one
  EXPECT_EQ(o.notes.back(), "--frobnicate: unknown option, ignored");

  const TBaresipSetup s = SetupFrom(o, TSipSettings{});
  EXPECT_EQ(s.codecs, (std::vector<std::string>{"PCMU", "PCMA"}));
  EXPECT_EQ(s.jitterMinFrames, 2);
  EXPECT_EQ(s.jitterMaxFrames, 4);
  EXPECT_EQ(s.user, "dispatch1");
}

TEST(PhoneEngineFiles, ThePasswordStaysInAnOwnerOnlyFileAndNowhereElse) {
  TSipSettings settings;
  settings.registrar = "pbx.example";
  settings.user = "disp";
  settings.password = "s3cret";
  TBaresipSetup setup = SetupFrom(TPhoneOptions{}, settings);
  setup.sipPort = 5080;
  setup.controlPort = 4444;
  std::string error;
  const std::string folder = WriteBaresipFolder(setup, &error);
  ASSERT_FALSE(folder.empty()) << error;
  struct stat st {};
  ASSERT_EQ(::stat(folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  for (const char* name : {"config", "accounts"}) {
    ASSERT_EQ(::stat((folder + name).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
  }
  const std::string config = testing::ReadWholeFile(folder + "config");
  EXPECT_EQ(config.find("s3cret"), std::string::npos);
  EXPECT_NE(config.find("ctrl_tcp_listen\t\t127.0.0.1:4444"), std::string::npos);
  EXPECT_NE(testing::ReadWholeFile(folder + "accounts").find("<sip:disp@pbx.example>;"), std::string::npos);
  RemoveBaresipFolder(folder);
  EXPECT_NE(::stat(folder.c_str(), &st), 0);
}

// Every address by default means the running ones, the default route's
// first; loopback only on a machine without a network.
TEST(SipPlace, CandidatesPutTheDefaultRouteFirstAndLoopbackLast) {
  const std::vector<TLocalAddress> local = {{"127.0.0.1", "lo", true, true},
                                            {"10.1.0.5", "eth1", false, true},
                                            {"172.17.0.1", "docker0", false, false},
                                            {"192.168.1.5", "eth0", false, true}};
  EXPECT_EQ(SipCandidates({}, local, "eth0"), (std::vector<std::string>{"192.168.1.5", "10.1.0.5"}));
  EXPECT_EQ(SipCandidates({"10.1.0.5", "127.0.0.1"}, local, "eth0"),
            (std::vector<std::string>{"10.1.0.5", "127.0.0.1"}));
  EXPECT_EQ(SipCandidates({}, {local[0], local[2]}, ""), (std::vector<std::string>{"127.0.0.1"}));
}

// 5060 wherever it is free, in the candidates' order; the dispatcher hears
// of every address calls cannot reach and of a port other than the wanted.
TEST(SipPlace, TheWantedPortOnTheFirstAddressWhereItIsFreeAndTheRestSaid) {
  const struct {
    std::vector<std::string> candidates, taken;  // taken: "address:port"
    std::string address;
    int port;
    std::vector<std::string> notices;
  } cases[] = {
      {{"10.0.0.1"}, {"127.0.0.1:5060"}, "10.0.0.1", 5060, {}},
      {{"10.0.0.1", "10.0.0.2"}, {}, "10.0.0.1", 5060,
       {"SIP принимает звонки только на 10.0.0.1:5060; звонки на 10.0.0.2 не дойдут"}},
      {{"10.0.0.1", "10.0.0.2"}, {"10.0.0.1:5060"}, "10.0.0.2", 5060,
       {"SIP принимает звонки только на 10.0.0.2:5060; звонки на 10.0.0.1 не дойдут (на 10.0.0.1 порт 5060 "
        "занят другой программой)"}},
      {{"10.0.0.1"}, {"10.0.0.1:5060"}, "10.0.0.1", 7000,
       {"SIP слушает порт 7000 вместо 5060 (тот занят другой программой): звонящие на 5060 не дозвонятся"}},
      {{"192.0.2.9", "10.0.0.1"}, {}, "10.0.0.1", 5060,
       {"LocalAddress 192.0.2.9 не IPv4-адрес этого компьютера: SIP его не слушает"}},
      {{"192.0.2.9"}, {}, "", 0, {}},
  };
  for (const auto& c : cases) {
    const TSipPorts ports{
        [&](const std::string& address, int port) {
          return std::find(c.taken.begin(), c.taken.end(), address + ":" + std::to_string(port)) == c.taken.end();
        },
        [](const std::string& address) { return address == "192.0.2.9" ? std::string("not ours") : std::string(); },
        [](const std::string&) { return 7000; }};
    const TSipPlace place = ChooseSipPlace(c.candidates, 5060, ports);
    EXPECT_EQ(place.address, c.address) << c.candidates.front();
    EXPECT_EQ(place.port, c.port) << c.candidates.front();
    EXPECT_EQ(place.notices, c.notices) << c.candidates.front();
    EXPECT_EQ(place.error.empty(), !c.address.empty()) << place.error;
  }
}

TEST(PhoneFiles, AFifoInPlaceOfTheSettingsOrTheLogHoldsNothingUp) {
  // Nobody is at the other end of either FIFO: a blocking open would wait for
  // good, and the phone would never open its control port.
  testing::TempFolder dir;
  ASSERT_EQ(::mkfifo(dir.file("Vertamo.ini").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(dir.file("vertamo-phone.log").c_str(), 0600), 0);
  EXPECT_EQ(ReadSipSettings(dir.file("Vertamo.ini")).sipPort, TSipSettings::kDefaultSipPort);
  TPhoneLog(dir.file("vertamo-phone.log")).Line("started");
  // Regular files are read and written as ever.
  testing::WriteWholeFile(dir.file("phone.ini"), "[SipPhone]\r\nSipPort=5070\r\n");
  EXPECT_EQ(ReadSipSettings(dir.file("phone.ini")).sipPort, 5070);
  TPhoneLog(dir.file("phone.log")).Line("started");
  EXPECT_NE(testing::ReadWholeFile(dir.file("phone.log")).find("  started\r\n"), std::string::npos);
}

TEST(PhoneEngineLink, NetstringsSplitAnywhereAndBrokenFramingStops) {
  const std::string event =
      R"({"event":true,"type":"CALL_CLOSED","peeruri":"sip:a@h:5060","param":"486 Busy Here","id":"x"})";
  const std::string stream = std::to_string(event.size()) + ":" + event + ",2:{},";
  TNetstringReader reader;
  for (char c : stream) reader.Feed(std::string_view(&c, 1));
  std::string payload;
  ASSERT_TRUE(reader.Next(payload));
  const TBaresipMessage m = ParseBaresipMessage(payload);
  EXPECT_EQ(m.kind, TBaresipMessage::TKind::Event);
  EXPECT_EQ(m.param, "486 Busy Here");
  ASSERT_TRUE(reader.Next(payload));
  EXPECT_EQ(ParseBaresipMessage(payload).kind, TBaresipMessage::TKind::Invalid);
  reader.Feed("3:abc;");
  EXPECT_FALSE(reader.Next(payload));
  EXPECT_TRUE(reader.Broken());
}

}  // namespace
}  // namespace vertamo::phone
