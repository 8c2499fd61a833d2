// The call controller without a display: what the dispatcher's acts and the
// phone program's events make of the call, as the view shows it and as the
// phone program, the server and the lift's gateway (kelmo-sim, in-process on
// a free port) hear it.
#include "voice/call_controller.h"

#include <gtest/gtest.h>

#include <deque>

#include "platform/cp1251.h"
#include "support/temp_folder.h"
#include "tools/kelmo-sim/kelmo_sim.h"

namespace vertamo {
namespace {

using testing::TempFolder;

std::string Cp(const char* utf8) { return Utf8ToCp1251(utf8); }
std::string Utf(const std::string& cp) { return Cp1251ToUtf8(cp); }

// The workstation as the controller sees it: everything it is told, a main
// thread whose posted work runs on Pump(), and the switch question answered
// by the test.
class Desk final : public ICallDesk {
 public:
  void Show(const TCallView& view) override {
    shown = view;
    ++shows;
  }
  void ToServer(const std::string& request, std::function<void()> settled) override {
    out.push_back("server " + request);
    if (!settled) return;
    if (holdServer)
      unsettled.push_back(std::move(settled));
    else
      Post(std::move(settled));
  }
  void ToPhone(const std::string& command) override { out.push_back("phone " + command); }
  bool PhoneLinkUp() const override { return linkUp; }
  void Post(std::function<void()> task) override {
    std::lock_guard<std::mutex> lock(mutex);
    posted.push_back(std::move(task));
  }
  void Log(const std::string&) override {}
  void Tell(const std::string& text) override { out.push_back("tell " + Utf(text)); }
  void AskSwitch(const std::string& current, const std::string& next, std::function<void(bool)> answer) override {
    out.push_back("ask " + Utf(current) + " -> " + Utf(next));
    this->answer = std::move(answer);
  }
  void RingSound() override { out.push_back("ring sound"); }
  void LowerSounds(int db) override { lowerings.push_back(db); }

  // Runs what was posted, until `done` or for up to 5 s.
  bool Pump(const std::function<bool()>& done = [] { return true; }) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    do {
      std::deque<std::function<void()>> tasks;
      {
        std::lock_guard<std::mutex> lock(mutex);
        tasks.swap(posted);
      }
      for (auto& task : tasks) task();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    } while (std::chrono::steady_clock::now() < until);
    return false;
  }
  std::vector<std::string> Take() { return std::exchange(out, {}); }

  bool linkUp = true;
  bool holdServer = false;  // the server's answers wait in `unsettled`
  std::vector<std::function<void()>> unsettled;
  TCallView shown;
  int shows = 0;
  std::vector<std::string> out;
  std::function<void(bool)> answer;
  std::vector<int> lowerings;  // the server's sounds, dB below their level
  std::mutex mutex;
  std::deque<std::function<void()>> posted;
};

struct Rig {
  explicit Rig(TCallOptions options = {}) {
    kelmosim::Options gatewayOptions;
    gatewayOptions.port = 0;
    std::string error;
    EXPECT_TRUE(gateway.Start(gatewayOptions, &error)) << error;
    options.workFolder = dir.folder();
    options.gatewayPort = gateway.Port();
    options.clock = [this] { return now; };
    controller = std::make_unique<TCallController>(desk, options);
  }
  TMapCall Lift(int object) const {
    TMapCall call;
    call.command = "c 3*17*1@127.0.0.1";
    call.title = "Lift " + std::to_string(object);
    call.gatewayHost = "127.0.0.1";
    call.gatewayLine = 3;
    call.adr = 17;
    call.unit = 1;
    call.object = object;
    return call;
  }
  // A conversation with lift 5.
  void TalkToLift5() {
    controller->MapCall(Lift(5));
    controller->Connected("3*17*1@127.0.0.1");
    desk.Pump();
    desk.Take();
  }
  const TCallView& View() const { return controller->View(); }

  TempFolder dir;
  kelmosim::Server gateway;
  Desk desk;
  std::time_t now = 1796640000;
  std::unique_ptr<TCallController> controller;
};

TEST(CallController, TheViewFollowsTheCallThroughItsStates) {
  Rig rig;
  TCallController& c = *rig.controller;
  EXPECT_FALSE(rig.View().shown);  // nothing to show before the first call

  c.Ring(Cp("Пост [10.0.0.9]"));
  c.CallerInBook(1);
  TCallView v = rig.desk.shown;  // what the desk was given
  EXPECT_EQ(v.state, TCallState::Ringing);
  EXPECT_TRUE(v.shown);
  EXPECT_EQ(v.presentTurn, 1u);
  EXPECT_TRUE(v.answerOrRefuse);
  EXPECT_EQ(Utf(v.info), "Вам звонят ! Пост [10.0.0.9]");
  EXPECT_EQ(v.infoColor, TCallView::kRingColor);
  EXPECT_EQ(v.selectRow, 1);
  // The ring sounds at once, then every fifth second.
  EXPECT_EQ(rig.desk.Take(), std::vector<std::string>{"ring sound"});
  for (int second = 1; second <= 5; ++second) c.Tick();
  EXPECT_EQ(rig.desk.Take(), std::vector<std::string>{"ring sound"});

  c.Answer();
  EXPECT_EQ(Utf(rig.desk.shown.button), "Ждите...");
  EXPECT_FALSE(rig.desk.shown.answerOrRefuse);
  c.Connected("Пост");
  EXPECT_EQ(Utf(rig.desk.shown.info), "Для завершения нажмите на кнопку ESC...");
  EXPECT_EQ(Utf(rig.desk.shown.button), "        Закрыть...");
  rig.now += 75;
  c.Tick();
  EXPECT_EQ(Utf(rig.desk.shown.clock), "01 мин 15 сек");
  EXPECT_TRUE(rig.desk.shown.clockRunning);

  c.Escape();
  EXPECT_EQ(rig.desk.shown.state, TCallState::Idle);
  EXPECT_FALSE(rig.desk.shown.shown);
  EXPECT_EQ(Utf(rig.desk.shown.info), "Выберите абонента и нажмите ВЫЗОВ...");
  EXPECT_EQ(rig.desk.shown.historyTurn, 1u);
  rig.desk.Pump();
  EXPECT_EQ(rig.desk.Take(), (std::vector<std::string>{"phone y", "phone h"}));

  // The call button on a subscriber dials; one the phone cannot dial is refused.
  c.CallButton(TSubscriber{"Gate", "10.0.0.5", Cp("адрес не набрать")}, false);
  EXPECT_EQ(rig.View().state, TCallState::Idle);
  EXPECT_EQ(Utf(rig.View().status[0]), "адрес не набрать");
  c.CallButton(TSubscriber{"Gate", "10.0.0.5", {}}, false);
  EXPECT_EQ(Utf(rig.View().info), "Идет набор номера...");
  EXPECT_EQ(Utf(rig.View().status[0]), "Звонок на адрес: 10.0.0.5");
  EXPECT_EQ(rig.View().title, "Gate");
  rig.desk.Pump();
  EXPECT_EQ(rig.desk.Take(), std::vector<std::string>{"phone c 10.0.0.5"});
  // Views go out only when something changed.
  const int shows = rig.desk.shows;
  c.Tick();
  c.Poll();
  EXPECT_EQ(rig.desk.shows, shows);
}

TEST(CallController, EscAndTheRingsButtonsEndEveryState) {
  struct Row {
    const char* name;
    std::function<void(Rig&)> reach;
    std::function<void(TCallController&)> end;
    std::vector<std::string> sent;
  };
  const auto dial = [](Rig& r) { r.controller->CallButton(TSubscriber{"Gate", "10.0.0.5", {}}, false); };
  const auto ring = [](Rig& r) { r.controller->Ring("Gate [10.0.0.5]"); };
  const auto talk = [](Rig& r) { r.TalkToLift5(); };
  const auto esc = [](TCallController& c) { c.Escape(); };
  for (const Row& row : {
           Row{"idle", [](Rig&) {}, esc, {}},
           Row{"dialling", dial, esc, {"phone c 10.0.0.5", "phone h"}},
           Row{"ringing", ring, esc, {"ring sound", "phone n"}},
           Row{"ringing, refused by its button", ring, [](TCallController& c) { c.Refuse(); }, {"ring sound", "phone n"}},
           Row{"ringing, the close box", ring, [](TCallController& c) { c.WindowClosed(); }, {"ring sound", "phone n"}},
           Row{"talking to a lift", talk, esc, {"server ENDSPEAK OBJ=5 PU=1", "phone h"}},
       }) {
    Rig rig;
    row.reach(rig);
    row.end(*rig.controller);
    rig.desk.Pump();
    EXPECT_EQ(rig.View().state, TCallState::Idle) << row.name;
    EXPECT_FALSE(rig.View().shown) << row.name;
    EXPECT_EQ(rig.desk.Take(), row.sent) << row.name;
  }
}

TEST(CallController, AClickOnTheLiftBeingTalkedToOnlyBringsTheCallForward) {
  Rig rig;
  TCallController& c = *rig.controller;
  rig.TalkToLift5();
  const unsigned turn = rig.View().presentTurn;
  c.MapCall(rig.Lift(5));
  c.MapCall(rig.Lift(5));  // a double click
  EXPECT_EQ(rig.View().state, TCallState::Talking);
  EXPECT_EQ(rig.View().presentTurn, turn + 2);
  rig.desk.Pump();
  EXPECT_TRUE(rig.desk.Take().empty());  // no question, no hang-up, no redial

  // Another lift asks first; "Нет" keeps the call, "Да" switches.
  c.MapCall(rig.Lift(7));
  EXPECT_EQ(rig.desk.Take(), std::vector<std::string>{"ask Lift 5 -> Lift 7"});
  rig.desk.answer(false);
  EXPECT_EQ(rig.View().state, TCallState::Talking);
  c.MapCall(rig.Lift(7));
  rig.desk.Take();
  rig.desk.answer(true);
  rig.desk.Pump();
  EXPECT_EQ(rig.View().title, "Lift 7");
  EXPECT_EQ(rig.desk.Take(), (std::vector<std::string>{"server ENDSPEAK OBJ=5 PU=1", "server STARTSPEAK OBJ=7 PU=1",
                                                       "phone h", "phone c 3*17*1@127.0.0.1"}));
}

// A subscriber called again from the history: dialled at once when idle,
// after the same question as a map click during another call.
TEST(CallController, ACallAgainAsksAsAMapClickDoes) {
  Rig rig;
  TCallController& c = *rig.controller;
  c.CallAgain({"Lobby", "10.0.0.9", {}});
  rig.desk.Pump();
  EXPECT_EQ(rig.desk.Take(), std::vector<std::string>{"phone c 10.0.0.9"});
  EXPECT_EQ(rig.View().state, TCallState::Dialling);
  c.Escape();
  rig.desk.Pump();
  rig.TalkToLift5();
  c.CallAgain({"Lobby", "10.0.0.9", {}});
  EXPECT_EQ(rig.desk.Take(), std::vector<std::string>{"ask Lift 5 -> Lobby"});
  rig.desk.answer(true);
  rig.desk.Pump();
  EXPECT_EQ(rig.View().title, "Lobby");
  EXPECT_EQ(rig.desk.Take(), (std::vector<std::string>{"server ENDSPEAK OBJ=5 PU=1", "phone h", "phone c 10.0.0.9"}));
  // An address that cannot be dialled says why and calls nobody.
  c.Escape();
  rig.desk.Pump();
  rig.desk.Take();
  c.CallAgain({"Old", "10.0.0.5 x", Cp("В адресе не должно быть пробелов")});
  rig.desk.Pump();
  EXPECT_TRUE(rig.desk.Take().empty());
  EXPECT_EQ(Utf(rig.View().status[0]), "В адресе не должно быть пробелов");
}

TEST(CallController, AnAnswerToAQuestionThatWasOvertakenDoesNothing) {
  Rig rig;
  TCallController& c = *rig.controller;
  rig.TalkToLift5();
  c.MapCall(rig.Lift(7));
  const auto first = rig.desk.answer;
  c.MapCall(rig.Lift(8));  // a newer click asks anew
  first(true);
  EXPECT_EQ(rig.View().title, "Lift 5");
  rig.desk.answer(true);
  EXPECT_EQ(rig.View().title, "Lift 8");
}

TEST(CallController, TheTalkKeySwitchesTheLiftsLineOnlyDuringAConversation) {
  Rig rig;
  TCallController& c = *rig.controller;
  c.TalkKey(true);  // no call: nothing
  c.TalkKey(false);
  rig.TalkToLift5();
  c.TalkKey(true);
  EXPECT_EQ(Utf(rig.View().info), "Говорите...");
  EXPECT_EQ(rig.View().infoColor, TCallView::kSpeakColor);
  ASSERT_TRUE(rig.desk.Pump([&] { return rig.gateway.LineMode(3) == TKelmoClient::kModeTalk; }));
  c.TalkRequest(1);  // another program lets go
  EXPECT_EQ(Utf(rig.View().info), "Слушайте...");
  ASSERT_TRUE(rig.desk.Pump([&] { return rig.gateway.LineMode(3) == TKelmoClient::kModeListen; }));
  // The meters follow the gateway's level poll.
  for (int i = 0; i < 3; ++i) c.Poll();
  EXPECT_TRUE(rig.desk.Pump([&] { return rig.View().lineMode == TKelmoClient::kModeListen; }));
}

TEST(CallController, RingsNobodyTakesAreMissedWhetherAWindowExistsOrNot) {
  TCallOptions options;
  options.ringTimeout = 3;
  Rig rig(options);
  TCallController& c = *rig.controller;
  c.Ring("Lobby [10.0.0.6]");
  rig.now += 3;
  c.Tick();
  EXPECT_EQ(rig.View().state, TCallState::Idle);
  EXPECT_EQ(rig.View().missed, 1);
  EXPECT_EQ(Utf(rig.View().info), "Пропущен звонок: Lobby [10.0.0.6]");
  c.HistorySeen(true);
  EXPECT_EQ(rig.View().missed, 0);

  // A second caller during a conversation heard busy, and is recorded so.
  rig.TalkToLift5();
  c.Ring("Gate [10.0.0.5]");
  EXPECT_EQ(rig.View().state, TCallState::Talking);
  EXPECT_EQ(Utf(rig.View().status[1]), "Второй звонок: Gate [10.0.0.5]");
  EXPECT_EQ(rig.View().missed, 1);
  ASSERT_NE(c.History(), nullptr);
  const std::vector<TCallRecord> calls = c.History()->Newest(1);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].who, "Gate [10.0.0.5]");
  EXPECT_EQ(Utf(calls[0].outcome), "Занято");
}

TEST(CallController, ALostPhoneLinkEndsTheCallAndSaysSoOnceItIsBack) {
  Rig rig;
  TCallController& c = *rig.controller;
  rig.TalkToLift5();
  rig.desk.linkUp = false;
  c.LinkLost();
  EXPECT_EQ(rig.View().state, TCallState::Idle);
  EXPECT_TRUE(rig.View().shown);
  EXPECT_EQ(Utf(rig.View().info), "Нет связи с программой телефона...");
  c.Tick();  // the ring time-out and the clock rest while the link is down
  rig.desk.linkUp = true;
  c.LinkRestored(false);
  EXPECT_EQ(Utf(rig.View().info), "Звонок прерван: была потеряна связь с программой телефона");
  rig.desk.Pump();
  EXPECT_EQ(rig.desk.Take(), std::vector<std::string>{"server ENDSPEAK OBJ=5 PU=1"});
  // A phone program adopted at the first link may hold a call of a run that died.
  c.LinkRestored(true);
  rig.desk.Pump();
  EXPECT_EQ(rig.desk.Take(), std::vector<std::string>{"phone h"});
}

TEST(CallController, ThePhoneCommandWaitsUntilTheServerHasHeardOfTheCall) {
  Rig rig;
  rig.desk.holdServer = true;
  rig.controller->MapCall(rig.Lift(5));
  rig.desk.Pump();
  EXPECT_EQ(rig.desk.Take(), std::vector<std::string>{"server STARTSPEAK OBJ=5 PU=1"});
  rig.desk.unsettled.front()();
  rig.desk.Pump();
  EXPECT_EQ(rig.desk.Take(), std::vector<std::string>{"phone c 3*17*1@127.0.0.1"});
}

TEST(CallController, TheServersSoundsAreLoweredWhileAConversationGoesOn) {
  TCallOptions options;
  options.soundLowering = 25;
  Rig rig(options);
  TCallController& c = *rig.controller;
  c.Ring("Gate [10.0.0.9]");
  c.Answer();
  EXPECT_TRUE(rig.desk.lowerings.empty());  // a ring is heard at full level
  c.Connected("Gate");
  EXPECT_EQ(rig.desk.lowerings, std::vector<int>{25});
  c.Failed(1);  // the far end hangs up
  EXPECT_EQ(rig.desk.lowerings, (std::vector<int>{25, 0}));
  rig.TalkToLift5();
  c.Close();  // the workstation closes mid-call
  EXPECT_EQ(rig.desk.lowerings, (std::vector<int>{25, 0, 25, 0}));
}

}  // namespace
}  // namespace vertamo
