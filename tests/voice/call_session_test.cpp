// The call session's turns as one table: from the first command to the
// history line, what reaches the dispatch server, the phone program, the
// lift's gateway line and the history, in order. And the marker by which a
// run finds the call a dead one left open.
#include "voice/call_session.h"

#include <gtest/gtest.h>

#include "platform/cp1251.h"
#include "support/temp_folder.h"

namespace vertamo {
namespace {

using testing::TempFolder;
using S = TCallSession;

const std::time_t kT0 = 1796640000;

// Everything the session sends, one line each, in order.
class Peers final : public ICallPeers {
 public:
  void ToServer(const std::string& request) override { out.push_back("server " + request); }
  void ToPhone(const std::string& command) override { out.push_back("phone " + command); }
  void CloseGateway() override { out.push_back("gateway quit"); }
  void Record(const TCallRecord& call) override {
    std::string line = "history " + Cp1251ToUtf8(call.outcome) + "|" + Cp1251ToUtf8(call.who) + "|" +
                       std::to_string(call.seconds) + "s";
    if (call.answered != 0) line += "|answered +" + std::to_string(call.answered - call.start);
    out.push_back(line);
  }
  void Log(const std::string&) override {}
  void KeepPending(const std::optional<TPendingCall>& call) override { pending = call; }
  void StateChanged(TCallState, TCallState) override {}
  void SecondRing(const std::string& caller) override { out.push_back("announce " + Cp1251ToUtf8(caller)); }

  std::vector<std::string> out;
  std::optional<TPendingCall> pending;
};

// The records themselves, as the history gets them.
class CapturingPeers final : public ICallPeers {
 public:
  void ToServer(const std::string&) override {}
  void ToPhone(const std::string&) override {}
  void CloseGateway() override {}
  void Record(const TCallRecord& call) override { calls.push_back(call); }
  void Log(const std::string&) override {}
  void KeepPending(const std::optional<TPendingCall>& call) override {
    if (call) pending = call;
  }
  void StateChanged(TCallState, TCallState) override {}
  void SecondRing(const std::string&) override {}

  std::vector<TCallRecord> calls;
  std::optional<TPendingCall> pending;
};

TMapCall Lift(int object, const char* title) {
  TMapCall call;
  call.command = "c 3*0*1@10.1.1.1";
  call.title = title;
  call.gatewayHost = "10.1.1.1";
  call.gatewayLine = 3;
  call.adr = 0;  // ADR=256: its low byte is 0, and the server still hears "ENDSPEAK"
  call.unit = 1;
  call.object = object;
  return call;
}

const std::string kCaller = Utf8ToCp1251("Пост [10.0.0.9]");

// One turn: the clock moves on by `seconds`, then the turn is taken.
struct Turn {
  int seconds;
  std::function<void(S&)> take;
};
Turn At(int seconds, std::function<void(S&)> take) { return {seconds, std::move(take)}; }
Turn Next(std::function<void(S&)> take) { return {7, std::move(take)}; }

const auto kLift5 = [](S& s) { s.PlaceMapCall(Lift(5, "Lift 5")); };
const auto kGate = [](S& s) { s.Dial("Gate", "10.0.0.5"); };
const auto kRing = [](S& s) { s.Ring(kCaller); };
const auto kAnswer = [](S& s) { s.Answer(); };
const auto kConnected = [](S& s) { s.Connected("peer"); };
const auto kHangUp = [](S& s) { s.HangUp(); };
const auto kBusy = [](S& s) { s.Busy(); };
const auto kError = [](S& s) { s.Failed(); };
const auto kTick = [](S& s) { s.Tick(); };
const auto kLinkLost = [](S& s) { s.LinkLost(); };
const auto kToLift7 = [](S& s) { s.SwitchTo(Lift(7, "Lift 7")); };

TEST(CallSession, EveryTurnSendsWhatItOwesInOrder) {
  struct Row {
    const char* name;
    std::vector<Turn> turns;
    std::vector<std::string> out;
    TCallState end = TCallState::Idle;
    int missed = 0;
  };
  const std::string start5 = "server STARTSPEAK OBJ=5 PU=1", end5 = "server ENDSPEAK OBJ=5 PU=1";
  const std::string dial = "phone c 3*0*1@10.1.1.1";
  const Row rows[] = {
      {"map call answered, then hung up (Esc, the button or the window closing)",
       {Next(kLift5), Next(kConnected), Next(kHangUp)},
       {start5, dial, "phone h", end5, "gateway quit", "history Разговор завершен|Lift 5|7s|answered +7"}},
      {"map call busy", {Next(kLift5), Next(kBusy)}, {start5, dial, end5, "history Занято|Lift 5|0s"}},
      {"map call failed", {Next(kLift5), Next(kError)}, {start5, dial, end5, "history Ошибка|Lift 5|0s"}},
      {"map call hung up while dialling", {Next(kLift5), Next(kHangUp)},
       {start5, dial, "phone h", end5, "history Прерван|Lift 5|0s"}},
      {"map call answered, the far end hangs up", {Next(kLift5), Next(kConnected), Next(kError)},
       {start5, dial, end5, "gateway quit", "history Разговор завершен|Lift 5|7s|answered +7"}},
      {"map call answered, the connection breaks: broken off, talk to the last voice heard",
       {Next(kLift5), Next(kConnected), At(16, [](S& s) { s.Failed(6, 10); })},
       {start5, dial, end5, "gateway quit", "history Прерван|Lift 5|6s|answered +7"}},
      {"a subscriber call whose phone engine died mid-call", {Next(kGate), Next(kConnected), Next([](S& s) { s.Failed(6); })},
       {"phone c 10.0.0.5", "history Прерван|Gate|7s|answered +7"}},
      {"subscriber call hung up while dialling: no server, no gateway", {Next(kGate), Next(kHangUp)},
       {"phone c 10.0.0.5", "phone h", "history Прерван|Gate|0s"}},
      {"ring refused (Esc or the window closing)", {Next(kRing), Next(kHangUp)},
       {"phone n", "history Отклонен|Пост [10.0.0.9]|0s"}},
      {"ring answered, the caller hangs up", {Next(kRing), Next(kAnswer), Next(kConnected), Next(kError)},
       {"phone y", "history Разговор завершен|Пост [10.0.0.9]|7s|answered +14"}},  // rang 14 s
      {"ring the caller gives up", {Next(kRing), Next(kError)}, {"history Нет ответа|Пост [10.0.0.9]|0s"}, {}, 1},
      {"ring nobody answers: refused at the time-out, not a second before",
       {Next(kRing), At(59, kTick)}, {}, TCallState::Ringing},
      {"ring nobody answers: refused at the time-out", {Next(kRing), At(59, kTick), At(1, kTick)},
       {"phone n", "history Нет ответа|Пост [10.0.0.9]|0s"}, {}, 1},
      {"switch to another lift during a conversation", {Next(kLift5), Next(kConnected), Next(kToLift7)},
       {start5, dial, "phone h", end5, "gateway quit", "history Разговор завершен|Lift 5|7s|answered +7",
        "server STARTSPEAK OBJ=7 PU=1", dial},
       TCallState::Dialling},
      {"switch to a lift during a subscriber call", {Next(kGate), Next(kConnected), Next(kToLift7)},
       {"phone c 10.0.0.5", "phone h", "history Разговор завершен|Gate|7s|answered +7",
        "server STARTSPEAK OBJ=7 PU=1", dial},
       TCallState::Dialling},
      {"switch to a lift while a call rings: the refusal's ERROR is not the lift's",
       {Next(kRing), Next(kToLift7), Next(kError)},
       {"phone n", "history Отклонен|Пост [10.0.0.9]|0s", "server STARTSPEAK OBJ=7 PU=1", dial},
       TCallState::Dialling},
      {"a second lift while dialling is not placed over the first", {Next(kLift5), Next([](S& s) {
                                                                       EXPECT_FALSE(s.PlaceMapCall(Lift(7, "Lift 7")));
                                                                     })},
       {start5, dial}, TCallState::Dialling},
      {"phone link lost during a conversation", {Next(kLift5), Next(kConnected), Next(kLinkLost)},
       {start5, dial, end5, "gateway quit", "history Прерван|Lift 5|7s|answered +7"}},
      {"phone link lost while ringing", {Next(kRing), Next(kLinkLost)}, {"history Прерван|Пост [10.0.0.9]|0s"}},
      {"a ring during a conversation is announced; Esc still hangs up",
       {Next(kLift5), Next(kConnected), Next(kRing), Next(kHangUp)},
       {start5, dial, "history Занято|Пост [10.0.0.9]|0s", "announce Пост [10.0.0.9]", "phone h", end5,
        "gateway quit", "history Разговор завершен|Lift 5|14s|answered +7"},
       {}, 1},
      {"a second caller while a call rings is missed and announced; the first rings on",
       {Next(kRing), Next([](S& s) { s.Ring("Gate [10.0.0.5]"); }), Next(kRing)},
       {"history Занято|Gate [10.0.0.5]|0s", "announce Gate [10.0.0.5]"}, TCallState::Ringing, 1},
      {"a phone program adopted may hold a call: it is hung up",
       {Next([](S& s) { s.LinkRestored(true); }), Next([](S& s) { s.LinkRestored(false); })}, {"phone h"}},
  };
  for (const Row& row : rows) {
    Peers peers;
    std::time_t now = kT0;
    S session(peers, [&] { return now; });
    for (const Turn& turn : row.turns) {
      now += turn.seconds;
      turn.take(session);
    }
    EXPECT_EQ(peers.out, row.out) << row.name;
    EXPECT_EQ(session.State(), row.end) << row.name;
    EXPECT_EQ(session.MissedUnseen(), row.missed) << row.name;
    // The marker lasts exactly as long as a call.
    EXPECT_EQ(peers.pending.has_value(), row.end != TCallState::Idle) << row.name;
  }
}

TEST(CallSession, TheHistoryNamesTheRecordOrWhyThereIsNone) {
  const std::string path = "Records/2026-12-08/10-00-00 3-0-1@10.1.1.1.opus";
  const struct {
    const char* name;
    std::function<void(S&)> said;  // by the phone program during the conversation
    std::string record;
  } rows[] = {
      {"recorded", [&](S& s) { s.Recorded(path); }, path},
      {"not recorded (off, or failed and told)", [](S& s) { s.Recorded({}); }, RecordNoteText(TRecordNote::NotRecorded)},
      {"a phone program that says nothing of recording", [](S&) {}, RecordNoteText(TRecordNote::PhoneDoesNotRecord)},
  };
  for (const auto& row : rows) {
    CapturingPeers peers;
    std::time_t now = kT0;
    S session(peers, [&] { return now; });
    kLift5(session);
    kConnected(session);
    row.said(session);
    EXPECT_EQ(peers.pending->record.record, row.record) << row.name;  // a crash keeps it too
    session.HangUp();
    session.Recorded(path);  // late: no call to name
    ASSERT_EQ(peers.calls.size(), 1u);
    EXPECT_EQ(peers.calls[0].record, row.record) << row.name;
  }
  // A call never answered has no record to speak of.
  CapturingPeers peers;
  S session(peers);
  kRing(session);
  session.HangUp();
  EXPECT_EQ(peers.calls.at(0).record, "");
}

// Each line keeps how its party is called again: the lift's unit, the
// address dialled, the host a caller rang from.
TEST(CallSession, TheHistoryKeepsHowToCallAgain) {
  const struct {
    std::function<void(S&)> call;
    TCallAgain again;
  } rows[] = {
      {kLift5, {{}, 5, 1}},
      {kGate, {"10.0.0.5", -1, -1}},
      {kRing, {"10.0.0.9", -1, -1}},
      {[](S& s) { s.Ring(Utf8ToCp1251("Пост")); }, {}},
  };
  for (const auto& row : rows) {
    CapturingPeers peers;
    S session(peers);
    row.call(session);
    session.HangUp();
    EXPECT_EQ(peers.calls.at(0).again, row.again) << Cp1251ToUtf8(peers.calls.at(0).who);
  }
}

// A workstation killed in a conversation with a lift: the next run records
// the call as broken off and tells the server the conversation is over.
TEST(CallSession, ACallADeadRunLeftOpenIsRecordedAndEnded) {
  TempFolder dir;
  std::time_t now = kT0;
  {
    Peers peers;
    S session(peers, [&] { return now; });
    kLift5(session);
    now += 12;
    kConnected(session);
    now += 25;
    session.Tick();  // the marker keeps up with the talk time
    ASSERT_TRUE(peers.pending);
    ASSERT_TRUE(TPendingCallFile(dir.path()).Keep(peers.pending));
  }  // killed: nothing more happens
  std::optional<TPendingCall> left = TPendingCallFile(dir.path()).Take();
  ASSERT_TRUE(left);
  EXPECT_FALSE(TPendingCallFile(dir.path()).Take());  // taken once
  Peers peers;
  S session(peers, [&] { return now; });
  session.Recover(*left);
  EXPECT_EQ(peers.out, (std::vector<std::string>{"server ENDSPEAK OBJ=5 PU=1", "history Прерван|Lift 5|25s|answered +12"}));

  // Ended calls leave no marker; a damaged one is no call.
  EXPECT_TRUE(TPendingCallFile(dir.path()).Keep(std::nullopt));
  EXPECT_FALSE(TPendingCallFile(dir.path()).Take());
  for (const char* text : {"garbage", "2026-12-07 10:00:00\t0\tx\twho\r\nSTARTSPEAK OBJ=1 PU=1\r\n",
                           "2026-12-07 10:00:00\t0\tx\twho\r\nENDSPEAK OBJ=1\x01 PU=1\r\n"}) {
    TPendingCall call;
    EXPECT_FALSE(ParsePendingCallText(text, call)) << text;
  }
}

}  // namespace
}  // namespace vertamo
