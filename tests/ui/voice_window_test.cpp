// The voice window as the dispatcher meets it, on Qt's offscreen platform,
// against phone-sim (the phone program) and kelmo-sim (the voice gateway),
// both in-process on free ports: a ring answered or refused with its buttons,
// the call's keys from any window, the level meters, the talk key of other
// programs on a private session bus, the history tab, the question of a lift
// clicked mid-call, and the address book's editing. The call's turns
// themselves are the controller's test (tests/voice/).
#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QDate>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <filesystem>

#include "iptel/telephony.h"
#include "platform/cp1251.h"
#include "settings/fast_ini.h"
#include "shell/call_desk.h"
#include "shell/phone_station.h"
#include "shell/talk_key_service.h"
#include "support/private_session_bus.h"
#include "support/sim_phone.h"
#include "support/temp_folder.h"
#include "tools/kelmo-sim/kelmo_sim.h"
#include "uikit/indicator.h"
#include "voice/call_history.h"
#include "voice/map_call.h"
#include "sounds/sound_thread.h"
#include "voice/ui/level_meters.h"
#include "widget_shots.h"

using namespace vertamo;
using namespace vertamo::ui;
using vertamo::testing::PrivateSessionBus;
using vertamo::testing::ReadWholeFile;
using vertamo::testing::SimPhone;
using vertamo::testing::TempFolder;
using vertamo::testing::WriteWholeFile;

namespace {

constexpr int kWaitMs = 5000;

// A double click as the window system gives it: press, release, double
// click, release.
void DoubleClick(QWidget* widget, QPoint at) {
  const QPointF global = widget->mapToGlobal(QPointF(at));
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                            QEvent::MouseButtonRelease}) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), global, Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
  }
}

template <class Entry>
std::vector<std::string> Commands(const std::vector<Entry>& record) {
  std::vector<std::string> result;
  for (const Entry& e : record)
    if (e.kind == "in") result.push_back(e.text);
  return result;
}

// A workstation's telephony and call desk, the main window apart.
struct VoiceRig {
  explicit VoiceRig(const std::string& ini = {}) {
    WriteWholeFile(dir.file("IpAbonents.ini"),
                   "[ABONENT0]\r\nName=Gate\r\nAdr=10.0.0.5\r\n[ABONENT1]\r\nName=Lobby\r\nAdr=10.0.0.6\r\n");
    WriteWholeFile(dir.file("Vertamo.ini"), ini);
    kelmosim::Options gatewayOptions;
    gatewayOptions.port = 0;
    std::string error;
    gatewayUp = gateway.Start(gatewayOptions, &error);
    settings = std::make_unique<TFastIni>(dir.file("Vertamo.ini"));
    TPhoneOptions options;
    options.start = true;
    options.port = phone.sim.Port();
    options.processes = &phone;
    station = std::make_unique<TPhoneStation>(nullptr, dir.folder() + "prog/", dir.folder(), options);
    station->ReadSettings(*settings);
    station->Start();
    TCallDeskHost host;
    host.ini = settings.get();
    host.sounds = &sounds;
    host.gatewayPort = gateway.Port();
    host.sendCommand = [this](const std::string& request, std::function<void()> settled) {
      requests.push_back(request);
      if (settled) settled();
    };
    host.tellDispatcher = [this](const QString& text, bool) { told.push_back("|" + text); };
    host.window.ini = settings.get();
    host.window.programFolder = dir.folder() + "prog/";
    host.window.workFolder = dir.folder();
    // The form: each name and address answered in turn; a refused address
    // keeps it open for the next pair.
    host.window.prompts.askSubscriber = [this](QWidget*, const QString& title, const QString& name,
                                               const QString& address, const TVoicePrompts::TRefusal& refusal,
                                               std::function<void(const QString&, const QString&)> confirmed) {
      asked.push_back(title + "|" + name + "|" + address);
      while (answers.size() >= 2) {
        const QString typedName = answers[0], typedAddress = answers[1];
        answers.erase(answers.begin(), answers.begin() + 2);
        const QString why = refusal(typedAddress);
        if (why.isEmpty()) return confirmed(typedName, typedAddress);
        told.push_back(title + "|" + why);
      }
      answers.clear();
    };
    host.window.prompts.askSaveFile = [this](QWidget*, const QString& title, const QString&, const QString& name,
                                             const QString&, std::function<void(const QString&)> chosen) {
      asked.push_back(title + "|" + name);
      chosen(QString::fromStdString(dir.file("export.dat")));
    };
    host.window.prompts.askYesNo = [this](QWidget*, const QString& title, const QString& question,
                                          std::function<void()> confirmed) {
      asked.push_back(title + "|" + question);
      if (yes) confirmed();
    };
    host.window.prompts.tell = [this](QWidget*, const QString& title, const QString& text) {
      told.push_back(title + "|" + text);
    };
    desk = std::make_unique<TCallDesk>(nullptr, *station, std::move(host));
  }

  bool LinkUp() {
    return QTest::qWaitFor([this] { return station->Telephony().PhoneLinkUp() && phone.Serving(); }, kWaitMs);
  }
  TFVoice* Window(bool create = true) { return desk->VoiceWindow(create); }
  TCallState State() const { return desk->Session().State(); }
  bool WaitState(TCallState state) { return QTest::qWaitFor([&] { return State() == state; }, kWaitMs); }
  int CountIn(const std::string& text) const {
    const std::vector<std::string> in = gateway.Received();
    return static_cast<int>(std::count(in.begin(), in.end(), text));
  }
  bool GatewayGot(const std::string& text, int times = 1) const {
    return QTest::qWaitFor([&] { return CountIn(text) == times; }, kWaitMs);
  }
  static TMapCall Lift(int object) {
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
  // A map call to lift 5, answered at once.
  bool Talk() {
    desk->MapCall(Lift(5), {});
    return WaitState(TCallState::Talking);
  }

  TempFolder dir;
  SimPhone phone{[] {
    phonesim::Options options;
    options.answerDelayMs = 20;
    return options;
  }()};
  kelmosim::Server gateway;
  bool gatewayUp = false;
  TSilentAudioOutput audio;
  // Never started: what the desk queues stays in the queue.
  SoundThread sounds{audio, dir.folder() + "prog/", dir.folder()};
  std::unique_ptr<TFastIni> settings;
  std::unique_ptr<TPhoneStation> station;
  std::vector<std::string> requests;
  std::vector<QString> asked;
  std::vector<QString> answers;
  bool yes = false;           // the answer to a Yes / No question
  std::vector<QString> told;  // what the dispatcher was told
  std::unique_ptr<TCallDesk> desk;
};

template <class T = QWidget>
T* Child(QWidget* window, const char* name) {
  return window->findChild<T*>(QString::fromLatin1(name));
}

QString Info(QWidget* window) { return Child<QLabel>(window, "Label1")->text(); }

void Key(QWidget* target, int key, bool press, bool autoRepeat = false) {
  QKeyEvent event(press ? QEvent::KeyPress : QEvent::KeyRelease, key, Qt::NoModifier,
                  key == Qt::Key_Space ? QStringLiteral(" ") : QString(), autoRepeat);
  QApplication::sendEvent(target, &event);
}

QAction* Action(QWidget* window, const QString& text) {
  for (QAction* action : window->findChildren<QAction*>())
    if (action->text() == text) return action;
  return nullptr;
}

}  // namespace

class VoiceWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void aRingIsAnsweredOrRefusedWithItsButtons() {
    VoiceRig rig;
    QVERIFY(rig.LinkUp());
    QCOMPARE(rig.Window(false), nullptr);
    // A ring creates the window and shows who rings, "Ответить" and "Отклонить" side by side.
    rig.phone.sim.Ring("Lobby [10.0.0.9]");
    QVERIFY(rig.WaitState(TCallState::Ringing));
    TFVoice& window = *rig.Window(false);
    QVERIFY(window.isVisible());
    QCOMPARE(Info(&window), QStringLiteral("Вам звонят ! Lobby [10.0.0.9]"));
    auto* answer = Child<QPushButton>(&window, "AnswerButton");
    auto* refuse = Child<QPushButton>(&window, "RefuseButton");
    QVERIFY(answer->isVisible() && refuse->isVisible() && !Child(&window, "Button1")->isVisible());
    QCOMPARE(answer->text(), QStringLiteral("Ответить"));
    QCOMPARE(refuse->text(), QStringLiteral("Отклонить"));
    QVERIFY(answer->geometry().right() < refuse->geometry().left());
    QCOMPARE(answer->geometry().top(), refuse->geometry().top());
    QCOMPARE(Child<QListWidget>(&window, "ListBox1")->currentRow(), 1);  // the caller's entry
    vertamo::test::SaveShot(window.grab().toImage(), "voice_ringing");
    QTest::mouseClick(answer, Qt::LeftButton);
    QVERIFY(rig.WaitState(TCallState::Talking));
    QCOMPARE(Info(&window), QStringLiteral("Для завершения нажмите на кнопку ESC..."));
    QVERIFY(!answer->isVisible() && Child(&window, "Button1")->isVisible());
    vertamo::test::SaveShot(window.grab().toImage(), "voice_talking");
    Key(&window, Qt::Key_Escape, true);
    QVERIFY(!window.isVisible());

    rig.phone.sim.Ring("Lobby [10.0.0.9]");
    QVERIFY(rig.WaitState(TCallState::Ringing));
    QTest::mouseClick(refuse, Qt::LeftButton);
    QCOMPARE(rig.State(), TCallState::Idle);
    // Enter on a subscriber dials it.
    window.show();
    Child<QListWidget>(&window, "ListBox1")->setCurrentRow(0);
    Key(&window, Qt::Key_Return, true);
    QCOMPARE(rig.State(), TCallState::Dialling);
    QVERIFY(rig.WaitState(TCallState::Talking));
    QTest::mouseClick(Child<QPushButton>(&window, "Button1"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(Commands(rig.phone.sim.Record()),
                              (std::vector<std::string>{"y", "h", "n", "c 10.0.0.5", "h"}), kWaitMs);
  }

  void theCallKeysActFromEveryWindowButATextField() {
    VoiceRig rig;
    QVERIFY(rig.gatewayUp && rig.LinkUp());
    QWidget journal;  // any other window of the workstation
    auto* search = new QLineEdit(&journal);
    journal.show();
    // No call: the keys are every window's own.
    Key(&journal, Qt::Key_Space, true);
    Key(&journal, Qt::Key_Space, false);
    QVERIFY(rig.Window(false) == nullptr || !rig.Window(false)->isVisible());

    QVERIFY(rig.Talk());
    TFVoice& window = *rig.Window(false);
    Key(&journal, Qt::Key_Space, true);
    QCOMPARE(Info(&window), QStringLiteral("Говорите..."));
    for (int repeat = 0; repeat < 3; ++repeat) {  // the key held down repeats
      Key(&journal, Qt::Key_Space, false, true);
      Key(&journal, Qt::Key_Space, true, true);
    }
    // Repeats that Qt did not recognise: a release with its press right behind.
    for (int repeat = 0; repeat < 3; ++repeat) {
      Key(&journal, Qt::Key_Space, false);
      QTest::qWait(10);
      Key(&journal, Qt::Key_Space, true);
    }
    QVERIFY(rig.GatewayGot("setatx 3", 1));
    Key(&journal, Qt::Key_Space, false);
    QTRY_COMPARE_WITH_TIMEOUT(Info(&window), QStringLiteral("Слушайте..."), kWaitMs);
    QVERIFY(rig.GatewayGot("setarx 3", 1));
    QCOMPARE(rig.CountIn("setatx 3"), 1);
    QTRY_VERIFY_WITH_TIMEOUT(Child(&window, "ImageSpeaker")->isVisible(), kWaitMs);

    // In a text field Space types and Esc leaves the call alone.
    search->setFocus();
    journal.activateWindow();
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), search, kWaitMs);
    QTest::keyClick(search, Qt::Key_Space);
    QTest::keyClick(search, Qt::Key_Escape);
    QCOMPARE(search->text(), QStringLiteral(" "));
    QCOMPARE(rig.State(), TCallState::Talking);
    // Elsewhere Esc ends the call.
    search->clearFocus();
    journal.setFocus();
    Key(&journal, Qt::Key_Escape, true);
    QCOMPARE(rig.State(), TCallState::Idle);
    QCOMPARE(rig.requests, (std::vector<std::string>{"STARTSPEAK OBJ=5 PU=1", "ENDSPEAK OBJ=5 PU=1"}));
    QVERIFY(rig.GatewayGot("quit", 1));
  }

  void theMetersShowTheLevelInTheKindChosen() {
    TempFolder dir;
    TFastIni ini(dir.file("Vertamo.ini"));
    ini.WriteInteger("FVoice", "IndKind", 7);
    TVoiceHost host;
    host.ini = &ini;
    TFVoice window(host);
    TCallView view;
    view.shown = true;
    window.Show(view);
    auto* dial = Child<TIndicator>(&window, "Indicator");
    auto* segments = Child(&window, "PaintBoxInd");
    auto* gauge = Child<TGauge>(&window, "CGauge1");
    const auto shown = [&] { return std::vector<bool>{dial->isVisible(), segments->isVisible(), gauge->isVisible()}; };
    QCOMPARE(shown(), (std::vector<bool>{false, false, false}));  // a stored kind of 7: none
    view.state = TCallState::Talking;
    view.level = 60;
    view.threshold = 20;
    view.lineMode = TKelmoClient::kModeListen;
    window.Show(view);
    QVERIFY(Child(&window, "ImageSpeaker")->isVisible() && !Child(&window, "ImageMic")->isVisible());
    struct Row {
      const char* item;
      std::vector<bool> shown;
      QRect bounds;  // of the gauge
    };
    for (const Row& row : {Row{"Индикатор уровня", {true, false, false}, {}},
                           Row{"Аудиоиндикатор", {false, true, false}, {}},
                           Row{"Горизонтальная шкала уровня", {false, false, true}, {24, 200, 153, 25}},
                           Row{"Вертикальная шкала уровня", {false, false, true}, {80, 176, 41, 73}},
                           Row{"Полукруглая шкала уровня", {false, false, true}, {24, 176, 153, 73}}}) {
      Action(&window, QString::fromUtf8(row.item))->trigger();
      QCOMPARE(shown(), row.shown);
      if (!row.bounds.isNull()) QCOMPARE(gauge->geometry(), row.bounds);
    }
    ++view.level;  // the next poll
    window.Show(view);
    QCOMPARE(gauge->Progress(), 61);
    QCOMPARE(gauge->ForeColor().rgb() & 0xFFFFFF, QRgb(TCallView::kTalkColor));  // over the threshold
    QCOMPARE(dial->Marker(), 20);
    view.lineMode = TKelmoClient::kModeIdle;  // no direction: the dial rests
    window.Show(view);
    QCOMPARE(dial->Position(), 0);
    view.shown = false;
    window.Show(view);
    QCOMPARE(ini.ReadInteger("FVoice", "IndKind", -1), 4);
  }

  void talkKeyRequestsOfOtherProgramsActAsTheSpaceBar() {
    PrivateSessionBus bus;
    QVERIFY2(bus.Start(), bus.Error().c_str());
    const QString address = QString::fromStdString(bus.Address());
    VoiceRig rig;
    QVERIFY(rig.gatewayUp && rig.LinkUp());
    TTalkKeyService service;
    RouteTalkKeys(service, [&] { return rig.desk.get(); });
    int handled = 0;  // requests the desk has had
    const auto routedKey = service.onTalkKey;
    const auto routedFocus = service.onFocus;
    service.onTalkKey = [&](int code) {
      routedKey(code);
      ++handled;
    };
    service.onFocus = [&] {
      routedFocus();
      ++handled;
    };
    QString error;
    QVERIFY2(service.Register(QDBusConnection::connectToBus(address, "workstation"), &error), qPrintable(error));
    QDBusConnection client = QDBusConnection::connectToBus(address, "client");
    const auto request = [&](QDBusMessage call) {
      const int before = handled;
      client.asyncCall(call);
      return QTest::qWaitFor([&] { return handled == before + 1; }, kWaitMs);
    };
    const auto talkKey = [&](int code) {
      return request(QDBusMessage::createMethodCall(kWorkstationService, kVoiceObjectPath, kVoiceInterface, "TalkKey")
                     << code);
    };
    // No window yet: the request makes none.
    QVERIFY(talkKey(kTalkPress));
    QCOMPARE(rig.Window(false), nullptr);
    QVERIFY(rig.Talk());
    TFVoice& window = *rig.Window(false);
    QVERIFY(talkKey(kTalkPress) && talkKey(kTalkPress));  // one real press
    QCOMPARE(Info(&window), QStringLiteral("Говорите..."));
    // The phone's statistics leave the line saying which way the voice goes.
    rig.phone.sim.Send("STAT jitter=1ms loss=0% rtt=0ms");
    QTRY_COMPARE_WITH_TIMEOUT(Child(&window, "Label1")->toolTip(), QStringLiteral("jitter=1ms loss=0% rtt=0ms"), kWaitMs);
    QCOMPARE(Info(&window), QStringLiteral("Говорите..."));
    QVERIFY(rig.GatewayGot("setatx 3", 1));
    QVERIFY(talkKey(kTalkRelease));
    QCOMPARE(Info(&window), QStringLiteral("Слушайте..."));
    QVERIFY(rig.GatewayGot("setarx 3", 1));
    QVERIFY(talkKey(kTalkNothing) && talkKey(kTalkF2));
    QCOMPARE(Info(&window), QStringLiteral("Слушайте..."));
    QCOMPARE(rig.CountIn("setatx 3"), 1);

    // Focus: the window comes to the front, active.
    QWidget other;
    other.show();
    other.activateWindow();
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), &other, kWaitMs);
    QVERIFY(request(QDBusMessage::createMethodCall(kWorkstationService, kVoiceObjectPath, kVoiceInterface, "Focus")));
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), &window, kWaitMs);
  }

  void endedCallsAreKeptInTheHistoryNewestFirst() {
    VoiceRig rig;
    QVERIFY(rig.LinkUp());
    QVERIFY(rig.Talk());  // "Lift 5", answered, hung up
    rig.desk->Controller().Escape();
    rig.phone.sim.Ring("Lobby [10.0.0.9]");  // refused
    QVERIFY(rig.WaitState(TCallState::Ringing));
    rig.desk->Controller().Escape();

    // Who, the talk time and how it ended, each in its column; an answered
    // call's time is its answer's, with the ring's beside it.
    struct Row {
      const char* who;
      bool answered;
      const char* outcome;
    };
    const Row expected[] = {{"Lobby [10.0.0.9]", false, "Отклонен"}, {"Lift 5", true, "Разговор завершен"}};
    const auto check = [&](TFVoice& window) {
      auto* grid = Child<QTableWidget>(&window, "StringGrid1");
      const auto cell = [&](int row, int column) {
        const QTableWidgetItem* item = grid->item(row, column);
        return item ? item->text() : QString();
      };
      for (int row = 0; row < 2; ++row) {
        const Row& e = expected[row];
        QCOMPARE(cell(row, 2), QString::fromUtf8(e.who));
        QCOMPARE(cell(row, 3).isEmpty(), !e.answered);
        if (e.answered)
          QVERIFY2(QRegularExpression(QStringLiteral("^\\d+:\\d\\d$")).match(cell(row, 3)).hasMatch(),
                   qPrintable(cell(row, 3)));
        QCOMPARE(cell(row, 4), QString::fromUtf8(e.outcome));
        // The day beside the time.
        QVERIFY2(cell(row, 0).startsWith(QDate::currentDate().toString(QStringLiteral("dd.MM "))), qPrintable(cell(row, 0)));
        QVERIFY(!cell(row, 1).isEmpty());
      }
      QVERIFY(cell(2, 0).isEmpty());
    };
    check(*rig.Window());
    // The next run's window shows them again.
    TVoiceHost host;
    const TCallHistory history(rig.dir.folder());
    host.history = &history;
    TFVoice again(host);
    check(again);
    Child<QTabWidget>(&again, "PageControl1")->setCurrentIndex(1);
    again.show();
    vertamo::test::SaveShot(again.grab().toImage(), "voice_history");
  }

  // A double click on a history line calls its party again; during another
  // call, after the question a click on another lift asks.
  void aDoubleClickOnAHistoryLineCallsAgain() {
    VoiceRig rig;
    QVERIFY(rig.LinkUp());
    rig.phone.sim.Ring("Lobby [10.0.0.9]");  // refused
    QVERIFY(rig.WaitState(TCallState::Ringing));
    rig.desk->Controller().Escape();
    QVERIFY(rig.Talk());
    TFVoice& window = *rig.Window(false);
    Child<QTabWidget>(&window, "PageControl1")->setCurrentIndex(1);
    auto* grid = Child<QTableWidget>(&window, "StringGrid1");
    QTRY_COMPARE(grid->item(0, 2) ? grid->item(0, 2)->text() : QString(), QStringLiteral("Lobby [10.0.0.9]"));
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    DoubleClick(grid->viewport(), grid->visualItemRect(grid->item(0, 2)).center());
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QVERIFY(box);
    QCOMPARE(box->text(), QStringLiteral("Идет звонок: Lift 5.\nЗавершить его и вызвать Lobby [10.0.0.9]?"));
    QTest::keyClick(box, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(Commands(rig.phone.sim.Record()),
                              (std::vector<std::string>{"n", "c 3*17*1@127.0.0.1", "h", "c 10.0.0.9"}), kWaitMs);
    QVERIFY(std::count(rig.requests.begin(), rig.requests.end(), "ENDSPEAK OBJ=5 PU=1") == 1);
  }

  void callsThatCannotBeRecordedAreToldInTheStatusBar() {
    VoiceRig rig;
    std::filesystem::create_directory(rig.dir.file("CallHistory.log"));  // a folder in place of the file
    QVERIFY(rig.LinkUp());
    QVERIFY(rig.Talk());
    rig.desk->Controller().Escape();
    // Told once beyond the voice window, which hides as the call ends.
    const QString text = QStringLiteral("Звонки не записываются: нельзя писать в CallHistory.log рабочей папки");
    QCOMPARE(rig.told, std::vector<QString>{"|" + text});
    QVERIFY(rig.Talk());
    rig.desk->Controller().Escape();
    QCOMPARE(rig.told.size(), 1u);
    auto* label = Child<QLabel>(rig.Window(), "LabelNotRecording");
    QVERIFY(label && !label->isHidden());
    QCOMPARE(label->text(), text);
    // The notice never widens the window past its own size (off the screen's edge, notice and all).
    QVERIFY(rig.Window()->minimumSizeHint().width() <= TFVoice::kClientWidth);
  }

  void theQuestionOfAnotherLiftIsModalToTheVoiceWindowOnly() {
    VoiceRig rig;
    QVERIFY(rig.LinkUp());
    QVERIFY(rig.Talk());
    rig.desk->MapCall(VoiceRig::Lift(7), {});
    // Asked without an event loop of its own: the call goes on meanwhile.
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QVERIFY(box);
    QCOMPARE(box->text(), QStringLiteral("Идет звонок: Lift 5.\nЗавершить его и вызвать Lift 7?"));
    QCOMPARE(box->defaultButton()->text(), QStringLiteral("Да"));
    QCOMPARE(box->windowModality(), Qt::WindowModal);
    QCOMPARE(box->parentWidget(), rig.Window(false));
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(rig.desk->Session().Party().title, std::string("Lift 7"));
    QTRY_COMPARE_WITH_TIMEOUT(Commands(rig.phone.sim.Record()),
                              (std::vector<std::string>{"c 3*17*1@127.0.0.1", "h", "c 3*17*1@127.0.0.1"}), kWaitMs);
    // The desk closing with a question open (a logout) takes the box with it.
    QVERIFY(rig.WaitState(TCallState::Talking));
    rig.desk->MapCall(VoiceRig::Lift(8), {});
    QVERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
    rig.desk.reset();
    QTest::qWait(50);
    QVERIFY(!QApplication::activeModalWidget());
  }

  void theSubscriberListEditsTheBook() {
    VoiceRig rig;
    QVERIFY(rig.LinkUp());
    QVERIFY(rig.desk->OpenBook());
    TFVoice& window = *rig.Window(false);
    auto* list = Child<QListWidget>(&window, "ListBox1");
    TPhoneBook& book = rig.station->Telephony().Book();
    rig.answers = {QStringLiteral("Пост"), QStringLiteral("10.0.0.7")};
    Action(&window, QStringLiteral("&Добавить"))->trigger();
    QCOMPARE(rig.asked, (std::vector<QString>{"Добавление||"}));  // a new entry starts empty
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->item(2)->text(), QStringLiteral("Пост"));
    list->setCurrentRow(0);
    Action(&window, QStringLiteral("&Изменить"))->trigger();  // cancelled
    QCOMPARE(rig.asked.back(), QStringLiteral("Изменение|Gate|10.0.0.5"));
    QCOMPARE(book.At(0)->Name, std::string("Gate"));
    // An address that cannot be dialled keeps the form open with the reason;
    // the mended address is taken.
    rig.answers = {QStringLiteral("Gate 2"), QStringLiteral("10.0.0.300"), QStringLiteral("Gate 2"),
                   QStringLiteral("10.0.0.8")};
    Action(&window, QStringLiteral("&Изменить"))->trigger();
    QCOMPARE(book.At(0)->Name, std::string("Gate 2"));
    QCOMPARE(book.At(0)->Adr, std::string("10.0.0.8"));
    QCOMPARE(rig.told.size(), size_t(1));
    QVERIFY2(rig.told[0].startsWith(QStringLiteral("Изменение|Адрес \"10.0.0.300\" не набрать: Неверный IP адрес")),
             qPrintable(rig.told[0]));
    // Deleting asks first; No keeps the entry.
    list->setCurrentRow(1);
    Action(&window, QStringLiteral("&Удалить"))->trigger();
    QCOMPARE(rig.asked.back(), QStringLiteral("Удаление|Удалить абонента \"Lobby\"?"));
    QCOMPARE(list->count(), 3);
    // The Delete key on the list asks the same.
    rig.yes = true;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    Child<QTabWidget>(&window, "PageControl1")->setCurrentIndex(0);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(list->count(), 2);
    QVERIFY(ReadWholeFile(rig.dir.file("IpAbonents.ini")).find("Name=Gate 2\r\nAdr=10.0.0.8") != std::string::npos);
    QVERIFY(ReadWholeFile(rig.dir.file("IpAbonents.ini")).find("Lobby") == std::string::npos);
    // A book written elsewhere may hold an address that cannot be dialled:
    // the call button refuses it and says why.
    book.Add("Old", "10.0.0.5 x");
    window.FillSubscriberList();
    list->setCurrentRow(list->count() - 1);
    QTest::mouseClick(Child<QPushButton>(&window, "Button1"), Qt::LeftButton);
    QCOMPARE(rig.State(), TCallState::Idle);
    QVERIFY(Child<QLabel>(&window, "StatusPanel0")->text().contains(QStringLiteral("В адресе не должно быть пробелов")));
    Action(&window, QStringLiteral("Экспорт в ..."))->trigger();
    QCOMPARE(rig.asked.back(), QStringLiteral("Экспорт книжки абонентов|Ip.dat"));
    QVERIFY(ReadWholeFile(rig.dir.file("export.dat")).find("10.0.0.7") != std::string::npos);
    QTest::qWait(100);
    QVERIFY(rig.phone.sim.Received().empty());
    // A book with a gap in its numbering says so in the book itself.
    WriteWholeFile(rig.dir.file("IpAbonents.ini"),
                   "[ABONENT0]\r\nName=A\r\nAdr=10.0.0.1\r\n[ABONENT2]\r\nName=C\r\nAdr=10.0.0.3\r\n");
    book.LoadPhoneBook();
    window.FillSubscriberList();
    auto* notice = Child<QLabel>(&window, "BookNotice");
    QVERIFY(notice->isVisibleTo(&window));
    QVERIFY2(notice->text().contains(QStringLiteral("показано 1 из 2")), qPrintable(notice->text()));
  }
};

QTEST_MAIN(VoiceWindowTest)
#include "voice_window_test.moc"
