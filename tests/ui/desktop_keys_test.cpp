// The keyboard and the windows on a real X server with a window manager: the
// test starts its own Xvfb and openbox (never the machine's display), clicks
// and holds keys through XTEST with xdotool, auto-repeat on. What synthetic Qt
// events cannot show: which window the keyboard goes to after a map call, a
// ring and the selector, and that one Space hold is one switch of the line
// however often the X server repeats the key.
#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QKeyEvent>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QScrollArea>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdlib>

#include "shell/call_notice.h"
#include "support/private_x_server.h"
#include "support/sim_phone.h"
#include "tools/kelmo-sim/kelmo_sim.h"
#include "voice/ui/form_sel_lift_mp.h"
#include "voice/ui/form_voice.h"
#include "widget_shots.h"
#include "workstation_fixture.h"

using namespace vertamo;
using namespace vertamo::ui;
using vertamo::test::Workstation;

namespace {

constexpr int kWaitMs = 10000;

// xdotool against the test's display; its exit code. Nothing it does waits
// for this program, so the event loop may stand still meanwhile.
int Xdo(const QStringList& args) { return QProcess::execute(QStringLiteral("xdotool"), args); }

// The window that has the keyboard.
bool HasKeyboard(QWidget* window) {
  return window && window->windowHandle() && QGuiApplication::focusWindow() == window->windowHandle();
}

QString Info(QWidget* voice) { return voice->findChild<QLabel*>(QStringLiteral("Label1"))->text(); }

// Where the picture of `object` is on the screen, its map shown.
QRect PictOf(TFormVertamo& form, int object) {
  test::SpotOf(form, object);
  return form.Maps().ScreenArea(object);
}

// A click through the X server, as the dispatcher's mouse gives it.
bool ClickOn(const QRect& area) {
  const QPoint at = area.center();
  // No --sync: it would wait for a motion that never comes when the pointer
  // is there already; the server takes the move before the click anyway.
  return Xdo({"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"}) == 0;
}

// Space presses that reached the voice window, repeats included.
struct SpaceCounter : QObject {
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space &&
        watched->isWidgetType() && qobject_cast<TFVoice*>(static_cast<QWidget*>(watched)->window())) {
      ++presses;
      if (static_cast<QKeyEvent*>(event)->isAutoRepeat()) ++marked;
    }
    return false;
  }
  int presses = 0;
  int marked = 0;  // those Qt recognised as repeats
};

// X windows from the bottom of the stack to its top, as the window manager
// keeps them.
std::vector<unsigned long> Stacking(const testing::PrivateXServer& x) {
  const std::string out = x.Output({"xprop", "-root", "_NET_CLIENT_LIST_STACKING"});
  std::vector<unsigned long> ids;
  for (size_t at = out.find("0x"); at != std::string::npos; at = out.find("0x", at + 2))
    ids.push_back(std::stoul(out.substr(at), nullptr, 16));
  return ids;
}

// The lift's gateway and phone, and the workstation with them.
struct Desk {
  explicit Desk(bool machineRoom = false) {
    kelmosim::Options options;
    options.port = 0;
    gatewayUp = gateway.Start(options, nullptr);
    auto district = test::DistrictWithALift(machineRoom);
    w = std::make_unique<Workstation>(district, [&](TFormOptions& o) {
      o.muteSounds = true;
      o.phone.start = true;
      o.phone.port = phone.sim.Port();
      o.phone.processes = &phone;
      o.gatewayPort = gateway.Port();
    });
  }
  bool Ready() {
    return gatewayUp && w->WaitForMaps() &&
           QTest::qWaitFor([&] { return w->form->Phone()->Telephony().PhoneLinkUp() && phone.Serving(); },
                           kWaitMs);
  }
  // The main window in front with the keyboard, as after the dispatcher's last click on it.
  bool MainWindowActive() {
    // As the window opens on a first start, leaving room beside it.
    w->form->setGeometry(QRect(0, 0, TFormVertamo::kInitialWidth, TFormVertamo::kInitialHeight));
    w->form->raise();
    w->form->activateWindow();
    return QTest::qWaitForWindowActive(w->form.get(), kWaitMs);
  }
  int GatewayGot(const std::string& text) const {
    const auto record = gateway.Record();
    return static_cast<int>(std::count_if(record.begin(), record.end(),
                                          [&](const auto& e) { return e.kind == "in" && e.text == text; }));
  }
  TCallState State() const { return w->form->Calls()->Session().State(); }
  bool PhoneGot(const std::string& command) const {
    const auto received = phone.sim.Received();
    return std::find(received.begin(), received.end(), command) != received.end();
  }

  testing::SimPhone phone{[] {
    phonesim::Options options;
    options.answerDelayMs = 50;
    return options;
  }()};
  kelmosim::Server gateway;
  bool gatewayUp = false;
  std::unique_ptr<Workstation> w;
};

}  // namespace

class DesktopKeysTest : public QObject {
  Q_OBJECT

 public:
  explicit DesktopKeysTest(const testing::PrivateXServer& x) : x_(x) {}

 private slots:
  void aMapCallTakesTheKeyboardAndOneHoldSwitchesOnce() {
    Desk desk;
    QVERIFY(desk.Ready());
    QVERIFY(desk.MainWindowActive());
    const QRect lift = PictOf(*desk.w->form, 0);
    QVERIFY(!lift.isEmpty());
    const QRect clicked = lift;
    // "Район": a 400 x 300 background from the tab's corner, at 100 %.
    const QRect map(desk.w->form->PageControl1->currentWidget()->mapToGlobal(QPoint(0, 0)), QSize(400, 300));
    QVERIFY(ClickOn(lift));
    QTRY_VERIFY_WITH_TIMEOUT(
        desk.w->form->VoiceWindow(false) && desk.State() == TCallState::Talking, kWaitMs);
    TFVoice* voice = desk.w->form->VoiceWindow(false);
    // The keyboard went with the call, without a click on the voice window.
    QTRY_VERIFY_WITH_TIMEOUT(HasKeyboard(voice), kWaitMs);
    // Beside the map, which leaves room on this screen, and off the lift.
    QVERIFY(!voice->frameGeometry().intersects(clicked));
    QVERIFY2(!voice->frameGeometry().intersects(map), "the screen has room beside the map");
    QTRY_VERIFY_WITH_TIMEOUT(desk.GatewayGot("getad 3") > 0, kWaitMs);
    test::SaveShot(voice->screen()->grabWindow(0).toImage(), "desktop_voice_beside_the_map");

    // A hold of 1.5 s: the server repeats the key after its delay (660 ms).
    SpaceCounter spaces;
    qApp->installEventFilter(&spaces);
    QCOMPARE(Xdo({"keydown", "space"}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(Info(voice), QStringLiteral("Говорите..."), kWaitMs);
    QTest::qWait(800);
    // A repeat whose press comes a little after its release, as on a busy
    // desktop or a remote display: Qt cannot tell it from a new press.
    QCOMPARE(Xdo({"keyup", "space", "sleep", "0.01", "keydown", "space"}), 0);
    QTest::qWait(700);
    QCOMPARE(Xdo({"keyup", "space"}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(Info(voice), QStringLiteral("Слушайте..."), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(desk.GatewayGot("setarx 3"), 1, kWaitMs);
    QTest::qWait(300);  // room for a late switch to show
    qApp->removeEventFilter(&spaces);
    qInfo("Space presses during the hold: %d, %d of them marked as repeats", spaces.presses, spaces.marked);
    QVERIFY2(spaces.marked > 1, "the X server repeated the key");
    QCOMPARE(desk.GatewayGot("setatx 3"), 1);
    QCOMPARE(desk.GatewayGot("setarx 3"), 1);

    // Esc ends the call at once.
    QCOMPARE(Xdo({"key", "Escape"}), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!voice->isVisible() && desk.PhoneGot("h"), kWaitMs);
  }

  void aPlaceTheDispatcherChoseIsKept() {
    Desk desk;
    QVERIFY(desk.Ready());
    QVERIFY(desk.MainWindowActive());
    const QRect lift = PictOf(*desk.w->form, 0);
    const QRect clicked = lift;
    QVERIFY(ClickOn(lift));
    QTRY_VERIFY_WITH_TIMEOUT(
        desk.w->form->VoiceWindow(false) && desk.State() == TCallState::Talking, kWaitMs);
    TFVoice* voice = desk.w->form->VoiceWindow(false);
    QTRY_VERIFY_WITH_TIMEOUT(HasKeyboard(voice), kWaitMs);
    QVERIFY(!voice->frameGeometry().intersects(clicked));
    QVERIFY(!voice->PlacedByHand());
    // The dispatcher drags it over the map, the lift included.
    const QPoint chosen = clicked.topLeft() - QPoint(100, 10);
    QCOMPARE(Xdo({"windowmove", QString::number(voice->winId()), QString::number(chosen.x()),
                  QString::number(chosen.y())}),
             0);
    QTRY_VERIFY_WITH_TIMEOUT(voice->geometry().intersects(clicked), kWaitMs);
    const QPoint dropped = voice->pos();
    QCOMPARE(Xdo({"key", "Escape"}), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!voice->isVisible(), kWaitMs);
    QVERIFY(voice->PlacedByHand());
    QVERIFY(desk.w->settings->MainIni->ReadBool("FVoice", "PlacedByHand", false));
    // The next call keeps the dispatcher's place, even over the lift.
    QVERIFY(desk.MainWindowActive());
    QVERIFY(ClickOn(lift));
    QTRY_VERIFY_WITH_TIMEOUT(voice->isVisible() && desk.State() == TCallState::Talking && HasKeyboard(voice), kWaitMs);
    QCOMPARE(voice->pos(), dropped);
    QCOMPARE(Xdo({"key", "Escape"}), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!voice->isVisible(), kWaitMs);
  }

  void aRingTakesTheKeyboardFromTheMap() {
    Desk desk;
    QVERIFY(desk.Ready());
    QVERIFY(desk.MainWindowActive());
    // The voice window stays open from the phone book while the dispatcher
    // works on the map: shown again, it would leave the keyboard there.
    QCOMPARE(Xdo({"key", "ctrl+t"}), 0);
    QTRY_VERIFY_WITH_TIMEOUT(
        desk.w->form->VoiceWindow(false) && desk.w->form->VoiceWindow(false)->isVisible(), kWaitMs);
    QVERIFY(desk.MainWindowActive());
    desk.phone.sim.Ring("Lobby [10.0.0.9]");
    QTRY_VERIFY_WITH_TIMEOUT(
        desk.w->form->VoiceWindow(false) && desk.State() == TCallState::Ringing, kWaitMs);
    TFVoice* voice = desk.w->form->VoiceWindow(false);
    QTRY_VERIFY_WITH_TIMEOUT(HasKeyboard(voice), kWaitMs);
    QCOMPARE(Xdo({"key", "Escape"}), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!voice->isVisible() && desk.PhoneGot("n"), kWaitMs);
  }

  // A dialog open in the main window (the settings, the selector) blocks
  // only that window: a ring takes the keyboard over it and is answered. One
  // of the voice window's own (the address book's form) goes.
  void aRingIsAnsweredOverAnOpenDialog_data() {
    QTest::addColumn<QString>("open");
    QTest::addColumn<bool>("byClick");
    QTest::newRow("settings, Enter") << "settings" << false;
    QTest::newRow("settings, click") << "settings" << true;
    QTest::newRow("selector, click") << "selector" << true;
    QTest::newRow("address book, Enter") << "book" << false;
  }
  void aRingIsAnsweredOverAnOpenDialog() {
    QFETCH(QString, open);
    QFETCH(bool, byClick);
    Desk desk(open == "selector");
    QVERIFY(desk.Ready());
    QVERIFY(desk.MainWindowActive());
    QWidget* owner = desk.w->form.get();
    if (open == "selector") {
      QVERIFY(ClickOn(PictOf(*desk.w->form, 0)));
    } else if (open == "settings") {
      desk.w->form->mSetup->trigger();
    } else {
      QCOMPARE(Xdo({"key", "ctrl+t"}), 0);
      QTRY_VERIFY_WITH_TIMEOUT((owner = desk.w->form->VoiceWindow(false)) && HasKeyboard(owner), kWaitMs);
      auto* add = owner->findChild<QWidget*>(QStringLiteral("ButtonAdd"));
      QVERIFY(add);
      QVERIFY(ClickOn(QRect(add->mapToGlobal(QPoint(0, 0)), add->size())));
    }
    QPointer<QDialog> dialog;
    QTRY_VERIFY_WITH_TIMEOUT((dialog = owner->findChild<QDialog*>()) && HasKeyboard(dialog), kWaitMs);
    desk.phone.sim.Ring("Lobby [10.0.0.9]");
    QTRY_VERIFY_WITH_TIMEOUT(desk.w->form->VoiceWindow(false) && desk.State() == TCallState::Ringing, kWaitMs);
    TFVoice* voice = desk.w->form->VoiceWindow(false);
    QTRY_VERIFY_WITH_TIMEOUT(HasKeyboard(voice), kWaitMs);
    test::SaveShot(voice->screen()->grabWindow(0).toImage(), "desktop_ring_over_the_" + open);
    if (byClick) {
      auto* answer = voice->findChild<QWidget*>(QStringLiteral("AnswerButton"));
      QVERIFY(answer && answer->isVisible());
      QVERIFY(ClickOn(QRect(answer->mapToGlobal(QPoint(0, 0)), answer->size())));
    } else {
      QCOMPARE(Xdo({"key", "Return"}), 0);
    }
    QTRY_VERIFY_WITH_TIMEOUT(desk.PhoneGot("y"), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(desk.State(), TCallState::Talking, kWaitMs);
    // The main window's dialog waits for the dispatcher meanwhile.
    QCOMPARE(dialog && dialog->isVisible(), open != "book");
  }

  void theSelectorComesAboveTheVoiceWindowWithTheKeyboard() {
    Desk desk(true);
    QVERIFY(desk.Ready());
    QVERIFY(desk.MainWindowActive());
    // The voice window open idle (the phone book), on top of the desktop.
    QCOMPARE(Xdo({"key", "ctrl+t"}), 0);
    QTRY_VERIFY_WITH_TIMEOUT(
        desk.w->form->VoiceWindow(false) && desk.w->form->VoiceWindow(false)->isVisible(), kWaitMs);
    TFVoice* voice = desk.w->form->VoiceWindow(false);
    QTRY_VERIFY_WITH_TIMEOUT(HasKeyboard(voice), kWaitMs);
    QVERIFY(desk.MainWindowActive());

    // The selector is looked at from a timer, as it comes after the server's answer.
    bool keyboard = false, above = false;
    QString title;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<TFormSelLiftMp*>(QApplication::activeModalWidget());
      if (!dialog || !dialog->isVisible() || !HasKeyboard(dialog)) return;
      look.stop();
      keyboard = true;
      title = dialog->windowTitle();
      const auto stack = Stacking(x_);
      const auto own = std::find(stack.begin(), stack.end(), dialog->winId());
      const auto other = std::find(stack.begin(), stack.end(), voice->winId());
      above = own != stack.end() && other != stack.end() && own > other;
      Xdo({"key", "2"});  // the machine room
    });
    look.start(20);
    QVERIFY(ClickOn(PictOf(*desk.w->form, 0)));
    QTRY_VERIFY_WITH_TIMEOUT(keyboard, kWaitMs);
    QVERIFY(above);
    QCOMPARE(title, QStringLiteral("Вызов: Лифт 1, ул. Лесная, 12"));
    QTRY_COMPARE_WITH_TIMEOUT(desk.w->Requests("STARTSPEAK OBJ=0 PU=5"), 1, kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(HasKeyboard(voice), kWaitMs);
  }

 private:
  const testing::PrivateXServer& x_;
};

// The X server comes first: Qt's xcb platform connects to it as the
// application starts. Whatever display or platform the caller had is not used.
int main(int argc, char** argv) {
  testing::PrivateXServer x;
  if (!x.Start()) {
    std::fprintf(stderr, "desktop_keys_test: no X server of its own: %s\n", x.Error().c_str());
    return 1;
  }
  ::setenv("DISPLAY", x.Display().c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  ::unsetenv("WAYLAND_DISPLAY");
  QApplication app(argc, argv);
  DesktopKeysTest test(x);
  return QTest::qExec(&test, argc, argv);
}

#include "desktop_keys_test.moc"
