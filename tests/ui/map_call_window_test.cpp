// A click on a lift through the main window: the server hears of it, the
// selector asks when both units answer, the voice window dials through
// phone-sim and the server hears "STARTSPEAK" before the call goes out. Then
// the demo end to end: its own district, phone and gateway.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <optional>
#include <set>

#include "demo_fixture.h"
#include "shell/call_notice.h"
#include "support/sim_phone.h"
#include "tools/kelmo-sim/kelmo_sim.h"
#include "uikit/indicator.h"
#include "uikit/qt_text.h"
#include "voice/ui/form_sel_lift_mp.h"
#include "voice/ui/form_voice.h"
#include "widget_shots.h"
#include "workstation_fixture.h"

using namespace vertamo;
using namespace vertamo::ui;
using vertamo::test::ClickObject;
using vertamo::test::PressObject;
using vertamo::test::Workstation;

namespace {

constexpr int kWaitMs = 5000;

// The district with a lift whose cabin calls the dispatcher: its tool-tip
// tells the mouse what to do.
std::shared_ptr<orvexsim::Scenario> DistrictWithACallingLift(bool machineRoom) {
  auto district = test::DistrictWithALift(machineRoom);
  district->objects[0].hint = "Вызов из кабины$Щёлкните, чтобы ответить";
  return district;
}

// The workstation starts its phone program, here `phone`.
auto WithPhone(testing::SimPhone& phone) {
  return [&phone](TFormOptions& options) {
    options.phone.start = true;
    options.phone.port = phone.sim.Port();
    options.phone.processes = &phone;
  };
}

// Answers every selector that comes up with `key`; `look` sees it first.
struct SelectorAnswer {
  explicit SelectorAnswer(int key, std::function<void(TFormSelLiftMp&)> look = {}) {
    QObject::connect(&timer, &QTimer::timeout, [this, key, look] {
      auto* dialog = qobject_cast<TFormSelLiftMp*>(QApplication::activeModalWidget());
      if (!dialog || !dialog->isVisible()) return;
      ++shown;
      if (look) look(*dialog);
      QTest::keyClick(dialog, static_cast<Qt::Key>(key));
    });
    timer.start(10);
  }
  QTimer timer;
  int shown = 0;
};

void Key(QWidget* window, int key, bool press) {
  QKeyEvent event(press ? QEvent::KeyPress : QEvent::KeyRelease, key, Qt::NoModifier,
                  key == Qt::Key_Space ? QStringLiteral(" ") : QString());
  QApplication::sendEvent(window, &event);
}

// The main window with the selector drawn over it where it stands.
QImage WithDialog(QWidget& window, QWidget& dialog) {
  QImage shot = window.grab().toImage();
  QPainter painter(&shot);
  painter.drawPixmap(dialog.geometry().topLeft() - window.geometry().topLeft(), dialog.grab());
  return shot;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace

class MapCallWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void aClickCallsTheUnitTheReplyAndTheDispatcherChoose() {
    struct Row {
      const char* name;
      bool machineRoom;  // the reply offers PU=5 besides PUL=2
      Qt::MouseButton button;
      bool linkUp;
      int key;                                        // what the selector is answered with
      int selectors;                                  // how many came up
      int unit;                                       // the unit called; -1: none
      std::string gateway = "localhost";              // the dispatch server's host: 127.0.0.1 of the profile
      QString notice = {};                            // what the status bar tells at once; empty: nothing
      std::optional<orvexsim::FaultKind> fault = {};  // of the server's reply to the click
      int object = 0;                                 // 3: the sensor, no voice
    };
    // A dial string over 127 characters places nothing; the log says why.
    const std::string tooLong = std::string(56, 'g') + "." + std::string(55, 'g') + ".example";  // 120 characters
    const Row rows[] = {
        {"cabin only", false, Qt::LeftButton, true, Qt::Key_Escape, 0, 2},
        {"right button", false, Qt::RightButton, true, Qt::Key_Escape, 0, 2},
        {"machine room chosen", true, Qt::LeftButton, true, Qt::Key_2, 1, 5},
        {"choice cancelled", true, Qt::LeftButton, true, Qt::Key_Escape, 1, -1},
        {"link down", true, Qt::LeftButton, false, Qt::Key_Escape, 0, -1, "localhost", kNoPhoneLink},
        {"dial string too long", false, Qt::LeftButton, true, Qt::Key_Escape, 0, -1, tooLong,
         QStringLiteral("Адрес вызова длиннее 127 знаков: вызов не сделан")},
        {"no gateway named", false, Qt::LeftButton, true, Qt::Key_Escape, 0, -1, "localhost", kNoGateway,
         orvexsim::FaultKind::MissingKey},
        {"no reply", false, Qt::LeftButton, true, Qt::Key_Escape, 0, -1, "localhost", kNoServerReply,
         orvexsim::FaultKind::Stall},
        {"a sensor: no voice, nothing to tell",
         false,
         Qt::LeftButton,
         true,
         Qt::Key_Escape,
         0,
         -1,
         "localhost",
         {},
         {},
         3},
    };
    for (const Row& row : rows) {
      qInfo("%s", row.name);
      auto district = test::SmallDistrict();
      orvexsim::CallDef call;
      call.gateway = row.gateway;
      call.com = 3;
      call.adr = 17;
      call.pul = 2;
      if (row.machineRoom) call.pu = 5;
      district->objects[0].call = call;
      if (row.fault) {
        orvexsim::Fault fault;
        fault.kind = *row.fault;
        fault.step = orvexsim::Step::MouseDown;
        district->faults.push_back(fault);
      }
      testing::SimPhone phone;
      kelmosim::Server gateway;
      kelmosim::Options gatewayOptions;
      gatewayOptions.port = 0;
      QVERIFY(gateway.Start(gatewayOptions, nullptr));
      Workstation w(district, [&](TFormOptions& options) {
        options.phone.start = row.linkUp;
        options.phone.port = phone.sim.Port();
        options.phone.processes = &phone;
        options.gatewayPort = gateway.Port();
        TFastIni ini(w.dir.file("Vertamo.ini"));
        ini.WriteBool("H323", "EnableIpLog", true);
        ini.Save();
      });
      QVERIFY(w.WaitForMaps());
      if (row.linkUp)
        QTRY_VERIFY_WITH_TIMEOUT(w.form->Phone()->Telephony().PhoneLinkUp() && phone.Serving(), kWaitMs);

      SelectorAnswer selector(row.key);
      ClickObject(*w.form, row.object, row.button);
      // The click is handled once the server's answer (or its time-out) is
      // in: the server heard of the click; the call is placed, and
      // "STARTSPEAK" and the dial leave from the event loop.
      QTRY_VERIFY_WITH_TIMEOUT(!w.form->ClickPending(), kWaitMs);
      QCOMPARE(w.Requests("MOUSEDOWN OBJ=" + std::to_string(row.object)), 1);
      QCOMPARE(selector.shown, row.selectors);
      // Why no call was placed is on the screen as the answer is handled, and in the log.
      QCOMPARE(w.form->CallNotice->isVisible(), !row.notice.isEmpty());
      if (!row.notice.isEmpty()) QCOMPARE(w.form->CallNotice->text(), row.notice);
      if (row.notice == kNoPhoneLink) test::SaveShot(w.form->grab().toImage(), "map_call_no_phone_link");
      TFVoice* voice = w.form->VoiceWindow(false);
      if (row.unit < 0) {
        QCOMPARE(w.Requests("STARTSPEAK"), 0);
        QVERIFY(!voice);
        const std::string log = testing::ReadWholeFile(w.dir.file("IpPhone.log"));
        QCOMPARE(log.find(Utf8ToCp1251("длиннее 127 знаков")) != std::string::npos, row.gateway == tooLong);
        if (!row.notice.isEmpty()) QVERIFY(log.find(ToCp1251(row.notice)) != std::string::npos);
        continue;
      }
      QVERIFY(voice && voice->isVisible());
      QCOMPARE(w.form->Calls()->Session().State(), TCallState::Dialling);
      const std::string dial = "c 3*17*" + std::to_string(row.unit) + "@127.0.0.1";
      QVERIFY2(QTest::qWaitFor([&] { return Has(phone.sim.Received(), dial); }, kWaitMs), dial.c_str());
      // The dispatcher reads whom the call is to; the dial string is the tip.
      const QLabel* status = voice->findChild<QLabel*>(QStringLiteral("StatusPanel1"));
      QVERIFY2(status->text().startsWith(QStringLiteral("Вызов: Лифт 1")), qPrintable(status->text()));
      QCOMPARE(status->toolTip(), QStringLiteral("Звонок на адрес: ") + QString::fromStdString(dial));
      // By the time the phone has the dial, the server has "STARTSPEAK".
      QCOMPARE(w.Requests("STARTSPEAK OBJ=0 PU=" + std::to_string(row.unit)), 1);
      // Closing the workstation mid-call ends the call first: the phone hangs
      // up before it quits, and the server hears "ENDSPEAK".
      w.form->close();
      QCOMPARE(w.Requests("ENDSPEAK OBJ=0 PU=" + std::to_string(row.unit)), 1);
      QTRY_COMPARE_WITH_TIMEOUT(phone.sim.Received(), (std::vector<std::string>{dial, "h", "q"}), kWaitMs);
    }
  }

  void aSecondClickWhileTheFirstAwaitsItsAnswerWins() {
    testing::SimPhone phone;
    Workstation w(DistrictWithACallingLift(false), WithPhone(phone));
    QVERIFY(w.WaitForMaps());
    QTRY_VERIFY_WITH_TIMEOUT(w.form->Phone()->Telephony().PhoneLinkUp() && phone.Serving(), kWaitMs);
    // The lift, and before its answer is in, the sensor: only the sensor's
    // answer counts, and a sensor places no call.
    ClickObject(*w.form, 0, Qt::LeftButton);
    ClickObject(*w.form, 3, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w.form->ClickPending(), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(w.Requests("MOUSEDOWN OBJ=0"), 1, kWaitMs);
    QCOMPARE(w.Requests("MOUSEDOWN OBJ=3"), 1);
    QTest::qWait(100);  // room for a wrong late answer to show
    QVERIFY(!w.form->VoiceWindow(false));
    QCOMPARE(w.Requests("STARTSPEAK"), 0);
    QVERIFY(!w.form->CallNotice->isVisible());
  }

  void theSelectorIsTitledStaysOnTopAndSurvivesAReload() {
    testing::SimPhone phone;
    Workstation w(DistrictWithACallingLift(true), WithPhone(phone));
    QVERIFY(w.WaitForMaps());
    QTRY_VERIFY_WITH_TIMEOUT(w.form->Phone()->Telephony().PhoneLinkUp() && phone.Serving(), kWaitMs);
    QString title;
    bool onTop = false;
    {
      // The maps are loaded anew while the dispatcher chooses: the clicked
      // picture is freed under the selector.
      SelectorAnswer selector(Qt::Key_1, [&](TFormSelLiftMp& dialog) {
        title = dialog.windowTitle();
        onTop = dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        w.form->Reconnect();
      });
      // A press alone: the release would go to the picture the reload freed.
      PressObject(*w.form, 0, Qt::LeftButton);
      QTRY_VERIFY_WITH_TIMEOUT(!w.form->ClickPending(), kWaitMs);
      QCOMPARE(selector.shown, 1);
      QCOMPARE(title, QStringLiteral("Вызов: Лифт 1, ул. Лесная, 12"));
      QVERIFY(onTop);
      QCOMPARE(w.Requests("STARTSPEAK"), 0);
      QCOMPARE(w.form->VoiceWindow(false), nullptr);
      QVERIFY(w.form->CallNotice->isVisible());
      QCOMPARE(w.form->CallNotice->text(), kMapsReloaded);
    }
    // The new load comes, and a click calls again.
    QVERIFY(w.WaitForMaps());
    QTRY_VERIFY_WITH_TIMEOUT(w.form->Model().ObjectList.Count() > 0, kWaitMs);
    SelectorAnswer again(Qt::Key_1);
    ClickObject(*w.form, 0, Qt::LeftButton);
    // The session tells the server from the event loop.
    QTRY_COMPARE_WITH_TIMEOUT(w.Requests("STARTSPEAK OBJ=0 PU=2"), 1, kWaitMs);
  }

  void thePhoneBookMenuOpensTheVoiceWindowIdle() {
    for (const bool linkUp : {true, false}) {
      testing::SimPhone phone;
      Workstation w(test::SmallDistrict(), [&](TFormOptions& options) {
        options.phone.start = linkUp;
        options.phone.port = phone.sim.Port();
        options.phone.processes = &phone;
      });
      QVERIFY(w.WaitForMaps());
      if (linkUp)
        QTRY_VERIFY_WITH_TIMEOUT(w.form->Phone()->Telephony().PhoneLinkUp() && phone.Serving(), kWaitMs);
      QTest::keyClick(w.form.get(), Qt::Key_T, Qt::ControlModifier);
      TFVoice* voice = w.form->VoiceWindow(false);
      QCOMPARE(voice != nullptr, linkUp);
      QCOMPARE(w.form->CallNotice->isVisible(), !linkUp);
      if (!linkUp) {
        QCOMPARE(w.form->CallNotice->text(), kNoPhoneBook);
        continue;
      }
      const auto info = [voice] { return voice->findChild<QLabel*>(QStringLiteral("Label1"))->text(); };
      const auto status = [voice] { return voice->findChild<QLabel*>(QStringLiteral("StatusPanel0"))->text(); };
      QVERIFY(voice->isVisible());
      QCOMPARE(w.form->Calls()->Session().State(), TCallState::Idle);
      QCOMPARE(voice->findChild<QTabWidget*>(QStringLiteral("PageControl1"))->currentIndex(), 0);
      QCOMPARE(voice->findChild<QListWidget*>(QStringLiteral("ListBox1"))->count(),
               w.form->Phone()->Telephony().Book().Count());
      QVERIFY(phone.sim.Received().empty());
      // Closed after a call the phone program ended with its word, and opened
      // again: nothing of that call is left on show.
      w.form->Calls()->ShowCallInfo(Utf8ToCp1251("Занято..."));
      w.form->Calls()->Controller().ShowStatus(0, Utf8ToCp1251("Звонок на адрес: c 1*1*1@10.0.0.1"));
      QCOMPARE(info(), QStringLiteral("Занято..."));
      w.form->Calls()->Controller().WindowClosed();
      QVERIFY(!voice->isVisible());
      QTest::keyClick(w.form.get(), Qt::Key_T, Qt::ControlModifier);
      QVERIFY(voice->isVisible());
      QCOMPARE(info(), QStringLiteral("Выберите абонента и нажмите ВЫЗОВ..."));
      QVERIFY(status().isEmpty());
      // The open window stays on top, over the main window's status bar: why
      // a click called nobody is said on it too.
      w.form->CallNotice->Tell(kNoGateway);
      QCOMPARE(status(), kNoGateway);
    }
  }

  void theDemoCallsACabinFromTheMap() {
    TDemoProcess demo;
    std::string error;
    QVERIFY2(test::StartDemo(demo, &error) && !demo.GatewayHost().empty(), error.c_str());
    testing::TempFolder dir;
    TAppSettings settings("/opt/vertamo/", "vertamo");
    settings.ChooseWorkFolder(kDemoFolderName, dir.path());
    QVERIFY(PrepareDemoSettings(settings.WorkFolder, demo.Port(), TScreenArea{0, 0, 1280, 1024}));
    QVERIFY(PrepareDemoPhoneBook(settings.WorkFolder, demo.Subscribers()));
    TFormVertamo form(settings, test::DemoFormOptions(demo));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_VERIFY_WITH_TIMEOUT(form.PageControl1->isVisible() && form.Client() &&
                                 form.Client()->Stage() == kStagePolling &&
                                 form.Phone()->Telephony().PhoneLinkUp(),
                             20000);

    // The first lift with a cabin and a machine room.
    const orvexsim::Scenario district = orvexsim::BuildDemoScenario();
    const auto lift = std::find_if(district.objects.begin(), district.objects.end(),
                                   [](const auto& o) { return o.call && o.call->pul && o.call->pu; });
    QVERIFY(lift != district.objects.end());
    const int object = static_cast<int>(lift - district.objects.begin());
    const std::string startSpeak =
        "STARTSPEAK OBJ=" + std::to_string(object) + " PU=" + std::to_string(*lift->call->pul);
    SelectorAnswer selector(Qt::Key_1, [&](TFormSelLiftMp& dialog) {
      test::SaveShot(WithDialog(form, dialog), "map_call_selector_over_demo_map");
    });
    ClickObject(form, object, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!form.ClickPending(), kWaitMs);
    QCOMPARE(selector.shown, 1);
    QTRY_VERIFY_WITH_TIMEOUT(Has(demo.Requests(), startSpeak), kWaitMs);

    // Answered after the demo phone's delay (1.5 s): the conversation runs.
    TFVoice* voice = form.VoiceWindow(false);
    QVERIFY(voice);
    const auto child = [voice](const char* name) { return voice->findChild<QWidget*>(QString::fromLatin1(name)); };
    QTRY_COMPARE_WITH_TIMEOUT(form.Calls()->Session().State(), TCallState::Talking,
                              1500 + kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(static_cast<QLabel*>(child("Label1"))->text(),
                              QStringLiteral("Для завершения нажмите на кнопку ESC..."), kWaitMs);
    // The clock ticks once a second; the meters follow the gateway's levels.
    QTRY_VERIFY_WITH_TIMEOUT(static_cast<QLabel*>(child("LabelTime"))->text() != QStringLiteral("00 мин 00 сек"), 3000);
    std::set<int> levels;
    QTRY_VERIFY_WITH_TIMEOUT((levels.insert(static_cast<TIndicator*>(child("Indicator"))->Position()), levels.size() >= 3),
                             kWaitMs);
    test::SaveShot(voice->grab().toImage(), "map_call_demo_voice_talking");

    // Space held: the dispatcher talks; released: the lift does.
    Key(voice, Qt::Key_Space, true);
    QTRY_VERIFY_WITH_TIMEOUT(child("ImageMic")->isVisible() && !child("ImageSpeaker")->isVisible(), kWaitMs);
    Key(voice, Qt::Key_Space, false);
    QTRY_VERIFY_WITH_TIMEOUT(child("ImageSpeaker")->isVisible() && !child("ImageMic")->isVisible(), kWaitMs);

    Key(voice, Qt::Key_Escape, true);
    const std::string endSpeak = "END" + startSpeak.substr(5);
    QTRY_VERIFY_WITH_TIMEOUT(Has(demo.Requests(), endSpeak), kWaitMs);
  }
};

QTEST_MAIN(MapCallWindowTest)
#include "map_call_window_test.moc"
