// The main window's telephony: "H323" read at the start and written at the
// close, the address book loaded, the telephony thread started and told to
// quit, event lines reaching the window side of a call, and a message box of
// the start stage that does not hold the close.
#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <csignal>
#include <functional>
#include <utility>

#include "iptel/call_recorder.h"
#include "demo_fixture.h"
#include "shell/call_notice.h"
#include "shell/form_vertamo.h"
#include "shell/termination_notifier.h"
#include "support/sim_phone.h"
#include "support/temp_folder.h"
#include "tools/phone-sim/phone_sim.h"
#include "uikit/qt_text.h"
#include "voice/map_call.h"

using namespace vertamo;
using namespace vertamo::ui;
using vertamo::testing::Cp;
using vertamo::testing::ReadWholeFile;
using vertamo::testing::RecordingWindow;
using vertamo::testing::SimPhone;
using vertamo::testing::TempFolder;
using vertamo::testing::WriteWholeFile;

class PhoneStationTest : public QObject {
  Q_OBJECT

 private:
  static std::unique_ptr<TAppSettings> SettingsIn(const TempFolder& dir) {
    auto settings = std::make_unique<TAppSettings>("/opt/vertamo/", "vertamo");
    settings->ChooseWorkFolder("Vertamo", dir.path());
    return settings;
  }
  static TFormOptions Options(SimPhone& phone) {
    TFormOptions options;
    options.startClient = false;
    options.phone.start = true;
    options.phone.port = phone.sim.Port();
    options.phone.processes = &phone;
    return options;
  }

 private slots:
  void theWindowRunsTheTelephonyFromStartToClose() {
    TempFolder dir;
    WriteWholeFile(dir.file("Vertamo.ini"), "[H323]\r\nUseIpTel=0\r\nJitterMin=25\r\n");
    WriteWholeFile(dir.file("IpAbonents.ini"), "[ABONENT0]\r\nName=Gate\r\nAdr=10.0.0.5\r\n");
    SimPhone phone;
    QVERIFY(phone.started);
    auto settings = SettingsIn(dir);
    {
      TFormVertamo form(*settings, Options(phone));
      TPhoneStation* station = form.Phone();
      QVERIFY(station);
      QCOMPARE(station->Telephony().Book().Count(), 1);
      QVERIFY(station->Telephony().Settings().UseIpTel);
      QTRY_VERIFY_WITH_TIMEOUT(station->Telephony().PhoneLinkUp() && phone.Serving(), 5000);
      const auto record = phone.sim.Record();
      QCOMPARE(record.front().args,
               (std::vector<std::string>{"-lne", "--g711-ulaw", "-u", "dispatch1", "--jitter", "25-50"}));
      RecordingWindow window;
      station->SetCallWindow(&window);
      phone.sim.Ring("Gate [10.0.0.9]");
      QTRY_COMPARE_WITH_TIMEOUT(window.calls.size(), size_t(3), 5000);
      QCOMPARE(window.calls[1], std::string("select 0"));
      station->SetCallWindow(nullptr);
      form.close();
      QVERIFY(!station->Telephony().PhoneLinkUp());
      QCOMPARE(station->Telephony().Thread(), nullptr);
    }
    QCOMPARE(phone.sim.Received(), std::vector<std::string>{"q"});
    const std::string ini = ReadWholeFile(dir.file("Vertamo.ini"));
    // Stored keys keep their places; the missing ones follow in their order.
    QVERIFY(ini.find("[H323]\r\nUseIpTel=1\r\nJitterMin=25\r\nH323Port=1720\r\n") != std::string::npos);
    QVERIFY(ini.find("EndpointAlias=\r\nEnableIpLog=0\r\n") != std::string::npos);
  }

  void exitDuringACallAsksFirst() {
    TempFolder dir;
    SimPhone phone;
    QVERIFY(phone.started);
    auto settings = SettingsIn(dir);
    TFormVertamo form(*settings, Options(phone));
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(form.Phone()->Telephony().PhoneLinkUp() && phone.Serving(), 5000);
    TMapCall call;
    call.command = "c 10.0.0.5";
    call.title = "Lift 5";
    form.Calls()->MapCall(call, {});
    QTRY_COMPARE_WITH_TIMEOUT(form.Calls()->Session().State(), TCallState::Talking, 5000);
    // "Выход" and the title bar's close button (a close by the window
    // system) ask; No keeps the window and the conversation, Yes closes.
    const auto byTheWindowSystem = [&] {
      QCloseEvent event;
      QCoreApplication::sendEvent(form.windowHandle(), &event);
    };
    const auto byExit = [&] { form.mClose->trigger(); };
    const std::pair<std::function<void()>, QMessageBox::StandardButton> steps[] = {
        {byTheWindowSystem, QMessageBox::No}, {byExit, QMessageBox::No}, {byExit, QMessageBox::Yes}};
    for (const auto& [closeIt, answer] : steps) {
      closeIt();
      // Asked without an event loop of its own: the call goes on meanwhile.
      QMessageBox* box = nullptr;
      QTRY_VERIFY((box = form.findChild<QMessageBox*>()) && box->isVisible());
      QCOMPARE(box->text(), QStringLiteral("Идёт разговор. Завершить его и выйти из программы?"));
      QCOMPARE(form.Calls()->Session().State(), TCallState::Talking);
      box->button(answer)->click();
      QTRY_VERIFY(!form.findChild<QMessageBox*>());
      QCOMPARE(form.isVisible(), answer == QMessageBox::No);
      QCOMPARE(form.Calls() && form.Calls()->Session().State() == TCallState::Talking, answer == QMessageBox::No);
    }
  }

  // A logout (SIGTERM) while the question of another lift is open, during a
  // conversation and during a ring: the workstation ends the call and quits
  // the phone program, and does not crash on the question freed with it.
  void aSignalOverTheSwitchQuestionEndsCleanly_data() {
    QTest::addColumn<bool>("ringing");
    QTest::addColumn<std::string>("ending");
    QTest::newRow("talking") << false << std::string("h");
    QTest::newRow("ringing") << true << std::string("n");
  }
  void aSignalOverTheSwitchQuestionEndsCleanly() {
    QFETCH(bool, ringing);
    QFETCH(std::string, ending);
    TempFolder dir;
    SimPhone phone;
    QVERIFY(phone.started);
    auto settings = SettingsIn(dir);
    auto form = std::make_unique<TFormVertamo>(*settings, Options(phone));
    TTerminationNotifier termination;
    connect(&termination, &TTerminationNotifier::terminationRequested, form.get(), &QWidget::close);
    form->show();
    QTRY_VERIFY_WITH_TIMEOUT(form->Phone()->Telephony().PhoneLinkUp() && phone.Serving(), 5000);
    TMapCall call;
    call.command = "c 10.0.0.5";
    call.title = "Lift 5";
    call.object = 5;
    if (ringing)
      phone.sim.Ring("Gate [10.0.0.9]");
    else
      form->Calls()->MapCall(call, {});
    const TCallState state = ringing ? TCallState::Ringing : TCallState::Talking;
    QTRY_COMPARE_WITH_TIMEOUT(form->Calls()->Session().State(), state, 5000);
    call.command = "c 10.0.0.7";
    call.title = "Lift 7";
    call.object = 7;
    form->Calls()->MapCall(call, {});
    QTRY_VERIFY(form->VoiceWindow(false)->findChild<QMessageBox*>());
    std::raise(SIGTERM);
    QTRY_VERIFY_WITH_TIMEOUT(!form->isVisible(), 5000);
    form.reset();
    const std::vector<std::string> got = phone.sim.Received();
    QVERIFY(std::find(got.begin(), got.end(), ending) != got.end());
    QCOMPARE(got.back(), std::string("q"));
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
  }

  // What the phone says while no call is on screen (its settings it cannot
  // take, SIP not where they ask) would reach only the hidden voice window:
  // it shows in the main window's status bar, the notices of its start all
  // together, and stays until the dispatcher has clicked it.
  void thePhonesNoticesStayInTheMainWindowUntilClicked() {
    TempFolder dir;
    SimPhone phone;
    QVERIFY(phone.started);
    auto settings = SettingsIn(dir);
    TFormVertamo form(*settings, Options(phone));
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(form.Phone()->Telephony().PhoneLinkUp() && phone.Serving(), 5000);
    const QString password = QStringLiteral("Настройки телефона: Password: пароль с \";\" baresip принять не может");
    const QString port = QStringLiteral("SIP слушает порт 5072 вместо 5060");
    phone.sim.Send(ToCp1251(QStringLiteral("APP ") + password));
    phone.sim.Send(ToCp1251(QStringLiteral("APP ") + port));
    QTRY_COMPARE_WITH_TIMEOUT(form.CallNotice->text(), password + QStringLiteral("  •  ") + port, 5000);
    QVERIFY(form.CallNotice->isVisible());
    QVERIFY(form.CallNotice->toolTip().contains(password + QLatin1Char('\n') + port));
    QTest::mouseClick(form.CallNotice, Qt::LeftButton);
    QVERIFY(!form.CallNotice->isVisible());
    form.close();
  }

  void aMissingProgramShowsItsBoxAndTheWindowStillCloses() {
    TempFolder dir;
    SimPhone phone;
    phone.exists = false;
    auto settings = SettingsIn(dir);
    TFormOptions options = Options(phone);
    options.phone.programPath = "/nowhere/ohphone";
    TFormVertamo form(*settings, options);
    form.show();
    // A dialog open (the settings of a first start) keeps the box back until it closes.
    QDialog dialog(&form);
    dialog.setModal(true);
    dialog.show();
    QTest::qWait(1500);
    QVERIFY(!form.findChild<QMessageBox*>(QStringLiteral("PhoneMessageBox")));
    dialog.close();
    QMessageBox* box = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(
        (box = form.findChild<QMessageBox*>(QStringLiteral("PhoneMessageBox"))) != nullptr, 5000);
    QVERIFY2(box->text().startsWith(QStringLiteral("Не найдена программа ohphone:\n/nowhere/ohphone\n\n")),
             qPrintable(box->text()));
    QCOMPARE(box->windowTitle(), QStringLiteral("/nowhere/ohphone"));
    QCOMPARE(box->icon(), QMessageBox::Warning);
    form.close();  // the box is still open: the thread's wait for it ends with the close
    QCOMPARE(form.Phone()->Telephony().Thread(), nullptr);
    QVERIFY(phone.sim.Record().empty());
  }

  void theDemoStartsPhoneSimAsItsPhoneProgram() {
    TDemoProcess demo;
    std::string error;
    QVERIFY2(test::StartDemo(demo, &error), error.c_str());
    QVERIFY(!demo.RealPhone());
    TempFolder dir;
    QVERIFY(PrepareDemoPhoneBook(dir.folder(), demo.Subscribers()));
    QVERIFY(ReadWholeFile(dir.file("IpAbonents.ini")).find(Cp("Name=Пост охраны\r\nAdr=127.0.0.10\r\n")) !=
            std::string::npos);
    WriteWholeFile(dir.file("IpAbonents.ini"), "[ABONENT0]\r\nName=Own\r\n");
    QVERIFY(PrepareDemoPhoneBook(dir.folder(), demo.Subscribers()));  // the dispatcher's own book stays
    QCOMPARE(ReadWholeFile(dir.file("IpAbonents.ini")), std::string("[ABONENT0]\r\nName=Own\r\n"));

    auto settings = SettingsIn(dir);
    TFormOptions options;
    options.startClient = false;
    options.phone.start = true;
    options.phone.port = demo.PhonePort();
    options.phone.processes = &demo;
    TFormVertamo form(*settings, options);
    TTelephony& telephony = form.Phone()->Telephony();
    QTRY_VERIFY_WITH_TIMEOUT(telephony.PhoneLinkUp(), 5000);
    RecordingWindow window;
    form.Phone()->SetCallWindow(&window);
    QVERIFY(telephony.SendPhoneCommand("c 2*17*1@127.0.0.1:4000"));
    QTRY_VERIFY_WITH_TIMEOUT(
        std::find(window.calls.begin(), window.calls.end(), "state 1") != window.calls.end(), 5000);
    form.Phone()->SetCallWindow(nullptr);
    form.close();
    QVERIFY(!telephony.PhoneLinkUp());
  }
};

QTEST_MAIN(PhoneStationTest)
#include "phone_station_test.moc"
