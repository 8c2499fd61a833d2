// The call path under faults, as a dispatcher meets it: the voice window and
// the call session over the workstation's telephony, against phone-sim (the
// phone program, started again by the telephony when it dies) and kelmo-sim
// (the voice gateway), both misbehaving on purpose. Each row states the
// outcome: the window's state and information line, what the dispatch
// server, the phone program(s) and the gateway received, and the history.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "iptel/telephony.h"
#include "platform/cp1251.h"
#include "settings/fast_ini.h"
#include "shell/phone_station.h"
#include "shell/call_desk.h"
#include "support/temp_folder.h"
#include "tools/kelmo-sim/kelmo_sim.h"
#include "tools/phone-sim/phone_sim.h"
#include "voice/call_history.h"
#include "voice/map_call.h"
#include "voice/ui/gateway_link_label.h"

using namespace vertamo;
using namespace vertamo::ui;
using vertamo::testing::TempFolder;
using vertamo::testing::WriteWholeFile;

namespace {

constexpr int kWaitMs = 5000;  // anything "at once", and the return of a lost phone link
constexpr int kLine = 3;
const std::string kDial = "c 3*17*1@127.0.0.1";
const std::string kStart = "STARTSPEAK OBJ=5 PU=1", kEnd = "ENDSPEAK OBJ=5 PU=1";

// The phone program's processes: phone-sim on one port, started afresh
// whenever the telephony starts the program; only the first one has the
// row's faults. A program that still runs (and greets) is adopted instead.
class SimPrograms final : public IPhoneProcesses {
 public:
  explicit SimPrograms(phonesim::Options options) : options_(std::move(options)) {
    phonesim::Server probe;
    phonesim::Options any;
    any.port = 0;
    std::string error;
    if (probe.Start(any, &error)) port_ = probe.Port();
  }
  int FindPhoneProcess() override {
    std::lock_guard lock(mutex_);
    return !programs_.empty() && programs_.back()->Running() ? 4242 : 0;
  }
  TEndResult EndPhoneProcess(int) override {
    std::lock_guard lock(mutex_);
    if (!programs_.empty()) programs_.back()->Stop();
    return TEndResult::Ended;
  }
  bool ProgramExists(const std::string&) override { return true; }
  bool StartPhoneProcess(const std::string&, const std::vector<std::string>& args) override {
    std::lock_guard lock(mutex_);
    phonesim::Options options = options_;
    if (!programs_.empty()) options.faults.clear();
    options.port = port_;
    options.commandLine = args;
    programs_.push_back(std::make_unique<phonesim::Server>());
    std::string error;
    return programs_.back()->Start(options, &error);
  }
  void ReleasePhoneProcess() override {}
  bool GetHostName(std::string& name) override {
    name = "dispatch1";
    return true;
  }
  uint16_t Port() const { return port_; }
  // The program running now.
  phonesim::Server* Now() {
    std::lock_guard lock(mutex_);
    return programs_.empty() ? nullptr : programs_.back().get();
  }
  int Started() {
    std::lock_guard lock(mutex_);
    return static_cast<int>(programs_.size());
  }
  // What every program received, in the order the programs were started.
  std::vector<std::string> Received() {
    std::lock_guard lock(mutex_);
    std::vector<std::string> all;
    for (const auto& program : programs_)
      for (const std::string& command : program->Received()) all.push_back(command);
    return all;
  }

 private:
  phonesim::Options options_;
  uint16_t port_ = 0;
  std::mutex mutex_;
  std::vector<std::unique_ptr<phonesim::Server>> programs_;
};

struct Rig {
  Rig(const phonesim::Options& phone, const kelmosim::Options& gatewayOptions) : programs(phone) {
    WriteWholeFile(dir.file("Vertamo.ini"), "[H323]\r\nEnableIpLog=1\r\n");
    kelmosim::Options options = gatewayOptions;
    options.port = 0;
    std::string error;
    gatewayUp = gateway.Start(options, &error);
    settings = std::make_unique<TFastIni>(dir.file("Vertamo.ini"));
    TPhoneOptions phoneOptions;
    phoneOptions.start = true;
    phoneOptions.port = programs.Port();
    phoneOptions.processes = &programs;
    station = std::make_unique<TPhoneStation>(nullptr, dir.folder(), dir.folder(), phoneOptions);
    station->ReadSettings(*settings);
    station->Start();
    TCallDeskHost host;
    host.ini = settings.get();
    host.window.ini = settings.get();
    host.window.programFolder = dir.folder();
    host.window.workFolder = dir.folder();
    host.gatewayPort = gateway.Port();
    host.sendCommand = [this](const std::string& request, std::function<void()> settled) {
      server.push_back(request);
      if (settled) settled();
    };
    voice = std::make_unique<TCallDesk>(nullptr, *station, std::move(host));
  }
  ~Rig() { Close(); }

  bool LinkUp() {
    return QTest::qWaitFor([this] { return station->Telephony().PhoneLinkUp() && programs.Now(); }, kWaitMs);
  }
  TFVoice& Window() { return *voice->VoiceWindow(true); }
  QString Shown(const char* name) { return Window().findChild<QLabel*>(QString::fromLatin1(name))->text(); }
  TCallState State() { return voice->Session().State(); }
  static TMapCall Lift(std::uint8_t adr) {
    TMapCall call;
    call.command = kDial;
    call.title = "Lift 5";
    call.gatewayHost = "127.0.0.1";
    call.gatewayLine = kLine;
    call.adr = adr;
    call.unit = 1;
    call.object = 5;
    return call;
  }
  bool Dial(std::uint8_t adr = 17) {
    voice->MapCall(Lift(adr), {});
    return QTest::qWaitFor([this] { return Count(programs.Received(), kDial) > 0; }, kWaitMs);
  }
  bool Talk(std::uint8_t adr = 17) {
    return Dial(adr) && QTest::qWaitFor([this] { return State() == TCallState::Talking; }, kWaitMs);
  }
  void Key(int key, bool press = true) {
    QKeyEvent event(press ? QEvent::KeyPress : QEvent::KeyRelease, key, Qt::NoModifier,
                    key == Qt::Key_Space ? QStringLiteral(" ") : QString());
    QApplication::sendEvent(&Window(), &event);
  }
  bool PhoneGot(const std::string& command, int times = 1) {
    return QTest::qWaitFor([&] { return Count(programs.Received(), command) >= times; }, kWaitMs);
  }
  // What the gateway received, its level polls left out.
  std::vector<std::string> Gateway() const {
    std::vector<std::string> commands;
    for (const kelmosim::RecordEntry& e : gateway.Record())
      if (e.kind == "in" && e.text.rfind("getad", 0) != 0) commands.push_back(e.text);
    return commands;
  }
  bool GatewayGot(const std::string& command, int times = 1) const {
    return QTest::qWaitFor([&] { return Count(Gateway(), command) >= times; }, kWaitMs);
  }
  // The outcomes of the history, newest first, as UTF-8.
  std::vector<std::string> History() const {
    std::vector<std::string> outcomes;
    for (const TCallRecord& record : TCallHistory(dir.folder()).Newest(10)) outcomes.push_back(Cp1251ToUtf8(record.outcome));
    return outcomes;
  }
  // The workstation closes as the main window does: the call first, then
  // the telephony ("q").
  void Close() {
    if (voice) voice->Close();
    voice.reset();
    if (station) station->Close();
  }
  static int Count(const std::vector<std::string>& list, const std::string& item) {
    return static_cast<int>(std::count(list.begin(), list.end(), item));
  }

  TempFolder dir;
  SimPrograms programs;
  kelmosim::Server gateway;
  bool gatewayUp = false;
  std::unique_ptr<TFastIni> settings;
  std::unique_ptr<TPhoneStation> station;
  std::unique_ptr<TCallDesk> voice;
  std::vector<std::string> server;
};

// Whether `part` occurs in `whole` in its order, other items between.
bool InOrder(const std::vector<std::string>& whole, const std::vector<std::string>& part) {
  auto at = whole.begin();
  for (const std::string& item : part) {
    at = std::find(at, whole.end(), item);
    if (at == whole.end()) return false;
    ++at;
  }
  return true;
}

std::string Joined(const std::vector<std::string>& list) {
  std::string text;
  for (const std::string& item : list) text += (text.empty() ? "" : " | ") + item;
  return text;
}

struct Row {
  const char* name;
  std::vector<phonesim::Fault> phoneFaults;
  bool greets;                        // the phone program says "OK" to a new connection (it is adopted)
  phonesim::Outcome outcome;          // what a dial gets
  std::vector<kelmosim::Fault> gatewayFaults;
  std::function<void(Rig&)> act;      // the call and the fault; checks of its own along the way
  std::optional<TCallState> state;    // the window afterwards (none: the workstation was closed)
  const char* info;                   // its information line (null: not looked at)
  std::vector<std::string> server;    // the dispatch server's requests, exactly
  std::vector<std::string> phone;     // the phone programs' commands, exactly, in the order started
  std::vector<std::string> gateway;   // gateway commands that came in this order (polls left out)
  std::vector<std::string> history;   // outcomes, newest first
};

const char* const kIdleInfo = "Выберите абонента и нажмите ВЫЗОВ...";
const char* const kBrokenOff = "Звонок прерван: была потеряна связь с программой телефона";

}  // namespace

class CallFaultsTest : public QObject {
  Q_OBJECT

 private slots:
  void eachFaultOfThePhoneAndTheGatewayAndWhatComesOfIt() {
    using PF = phonesim::Fault;
    using GF = kelmosim::Fault;
    const Row rows[] = {
        {"the phone program dies mid-call: the call ends as broken off, a fresh program within 5 s, calls work",
         {PF::DieMidCall}, false, phonesim::Outcome::Answer, {},
         [](Rig& rig) {
           QVERIFY(rig.Dial());
           QVERIFY(QTest::qWaitFor(
               [&] { return rig.programs.Started() == 2 && rig.station->Telephony().PhoneLinkUp(); }, kWaitMs));
           QTRY_COMPARE_WITH_TIMEOUT(rig.Shown("Label1"), QString::fromUtf8(kBrokenOff), kWaitMs);
           QVERIFY(rig.Window().isVisible());
           QVERIFY(rig.Talk());
           QVERIFY(rig.GatewayGot("getsdp"));
           rig.Key(Qt::Key_Escape);
           QVERIFY(rig.PhoneGot("h"));
         },
         TCallState::Idle, kIdleInfo, {kStart, kEnd, kStart, kEnd}, {kDial, kDial, "h"}, {"getsdp", "quit"},
         {"Разговор завершен", "Прерван"}},
        {"the program closes its control link mid-call and lives on: taken over, told to hang up",
         {PF::CloseMidCall}, true, phonesim::Outcome::Answer, {},
         [](Rig& rig) {
           QVERIFY(rig.Dial());
           QVERIFY(rig.PhoneGot("h"));
           QVERIFY(rig.station->Telephony().Thread()->Adopted());
           QCOMPARE(rig.programs.Started(), 1);
         },
         TCallState::Idle, kBrokenOff, {kStart, kEnd}, {kDial, "h"}, {}, {"Прерван"}},
        {"a flood of statistics while talking: Esc's hang-up leaves before the flood ends",
         {}, false, phonesim::Outcome::Answer, {},
         [](Rig& rig) {
           QVERIFY(rig.Talk());
           QVERIFY(rig.GatewayGot("getsdp"));
           rig.programs.Now()->Flood("STAT jitter=20ms loss=0% rtt=4ms", 2000);
           QTest::qWait(300);
           rig.Key(Qt::Key_Escape);
           QCOMPARE(rig.State(), TCallState::Idle);
           QVERIFY(rig.PhoneGot("h"));
           const auto record = rig.programs.Now()->Record();
           QVERIFY2(std::none_of(record.begin(), record.end(), [](auto& e) { return e.kind == "flood"; }),
                    "the flood was over before \"h\" came");
         },
         // The flood's lines still show after the call (hidden with the window).
         TCallState::Idle, nullptr, {kStart, kEnd}, {kDial, "h"}, {"getsdp", "quit"}, {"Разговор завершен"}},
        {"lines that merely begin like a keyword, and a second ring: the conversation goes on, the ring is missed",
         {}, false, phonesim::Outcome::Answer, {},
         [](Rig& rig) {
           QVERIFY(rig.Talk());
           QVERIFY(rig.GatewayGot("getsdp"));
           for (const char* noise : {"e", "RINGX", "OKAY", "callback"}) rig.programs.Now()->Send(noise);
           rig.programs.Now()->Ring("Lobby [10.0.0.9]");
           QTRY_COMPARE_WITH_TIMEOUT(rig.Shown("StatusPanel1"),
                                     QStringLiteral("Второй звонок: Lobby [10.0.0.9]"), kWaitMs);
           QCOMPARE(rig.State(), TCallState::Talking);
           rig.Key(Qt::Key_Escape);  // ends the conversation: "h", not "n"
           QVERIFY(rig.PhoneGot("h"));
         },
         TCallState::Idle, kIdleInfo, {kStart, kEnd}, {kDial, "h"}, {"getsdp", "quit"}, {"Разговор завершен", "Занято"}},
        {"a phone that stops reading: the window is idle at once, the hang-up waits for it",
         {}, false, phonesim::Outcome::Answer, {},
         [](Rig& rig) {
           QVERIFY(rig.Talk());
           QVERIFY(rig.GatewayGot("getsdp"));
           rig.programs.Now()->StopReading(1500);
           QTest::qWait(100);
           rig.Key(Qt::Key_Escape);
           QCOMPARE(rig.State(), TCallState::Idle);
           QVERIFY(rig.PhoneGot("h"));
         },
         TCallState::Idle, kIdleInfo, {kStart, kEnd}, {kDial, "h"}, {"getsdp", "quit"}, {"Разговор завершен"}},
        {"the gateway drops the conversation's link: connected again, the talk key reaches the line",
         {}, false, phonesim::Outcome::Answer, {GF::CloseOnce},
         [](Rig& rig) {
           QVERIFY(rig.Talk());
           QVERIFY(QTest::qWaitFor([&] {
             const auto r = rig.gateway.Record();
             return std::count_if(r.begin(), r.end(), [](auto& e) { return e.kind == "accept"; }) >= 2;
           }, kWaitMs));
           QTRY_VERIFY_WITH_TIMEOUT(rig.Window().findChild<QLabel*>(QStringLiteral("GatewayLink"))->isHidden(), kWaitMs);
           rig.Key(Qt::Key_Space);
           QVERIFY(rig.GatewayGot("setatx 3"));
           rig.Key(Qt::Key_Space, false);
           QVERIFY(rig.GatewayGot("setarx 3"));
           QCOMPARE(rig.Shown("Label1"), QStringLiteral("Слушайте..."));
           rig.Key(Qt::Key_Escape);
           QVERIFY(rig.PhoneGot("h"));
         },
         TCallState::Idle, kIdleInfo, {kStart, kEnd}, {kDial, "h"}, {"getsdp", "setatx 3", "setarx 3", "quit"},
         {"Разговор завершен"}},
        {"the workstation closes while a lift is dialled: \"h\" before \"q\", ENDSPEAK",
         {}, false, phonesim::Outcome::Silent, {},
         [](Rig& rig) {
           QVERIFY(rig.Dial());
           QCOMPARE(rig.State(), TCallState::Dialling);
           rig.Close();
         },
         std::nullopt, nullptr, {kStart, kEnd}, {kDial, "h", "q"}, {}, {"Прерван"}},
        {"the workstation closes while a call rings: \"n\" before \"q\"",
         {}, false, phonesim::Outcome::Answer, {},
         [](Rig& rig) {
           rig.programs.Now()->Ring("Lobby [10.0.0.9]");
           QVERIFY(QTest::qWaitFor([&] { return rig.State() == TCallState::Ringing; }, kWaitMs));
           rig.Close();
         },
         std::nullopt, nullptr, {}, {"n", "q"}, {}, {"Отклонен"}},
        {"the workstation closes during a conversation with a unit whose address ends in a zero byte",
         {}, false, phonesim::Outcome::Answer, {},
         [](Rig& rig) {
           QVERIFY(rig.Talk(0));  // ADR=256
           QVERIFY(rig.GatewayGot("getsdp"));
           rig.Close();
         },
         std::nullopt, nullptr, {kStart, kEnd}, {kDial, "h", "q"}, {"getsdp", "quit"}, {"Разговор завершен"}},
    };
    for (const Row& row : rows) {
      qInfo("%s", row.name);
      phonesim::Options phone;
      phone.answerDelayMs = 20;
      phone.outcome = row.outcome;
      phone.greet = row.greets;
      phone.faults = row.phoneFaults;
      kelmosim::Options gateway;
      gateway.faults = row.gatewayFaults;
      Rig rig(phone, gateway);
      QVERIFY(rig.gatewayUp);
      QVERIFY(rig.LinkUp());
      row.act(rig);
      if (QTest::currentTestFailed()) return;
      if (row.state) {
        QCOMPARE(rig.State(), *row.state);
        if (row.info) QCOMPARE(rig.Shown("Label1"), QString::fromUtf8(row.info));
      }
      QCOMPARE(rig.server, row.server);
      QTRY_COMPARE_WITH_TIMEOUT(rig.programs.Received(), row.phone, kWaitMs);
      QTRY_VERIFY2_WITH_TIMEOUT(InOrder(rig.Gateway(), row.gateway), Joined(rig.Gateway()).c_str(), kWaitMs);
      QCOMPARE(rig.History(), row.history);
    }
  }
};

QTEST_MAIN(CallFaultsTest)
#include "call_faults_test.moc"
