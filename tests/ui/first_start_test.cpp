// The program's start: settings that name no server open the settings dialog
// before any connection; settings that name one connect at once.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "shell/form_setup.h"
#include "ui/vertamo_ini_fixture.h"
#include "ui/workstation_fixture.h"

using namespace vertamo;
using namespace vertamo::ui;
using vertamo::testing::ReadWholeFile;
using vertamo::testing::TempFolder;
using vertamo::testing::WriteWholeFile;

namespace {

// The main window as the program starts it, in `dir`.
struct Start {
  explicit Start(const TempFolder& dir) : settings("/usr/lib/vertamo/", "vertamo") {
    settings.ChooseWorkFolder("Vertamo", dir.path());
    TFormOptions options;
    options.timings = vertamo::test::QuickTimings();
    options.setupWhenUnconfigured = true;
    form = std::make_unique<TFormVertamo>(settings, options);
  }
  // Runs `answer` on each settings dialog that comes up (inside its modal
  // loop) and counts them.
  void Watch(std::function<void(TFormSetup&)> answer) {
    QObject::connect(&watch, &QTimer::timeout, [this, answer] {
      TFormSetup* dialog = form ? form->findChild<TFormSetup*>() : nullptr;
      if (!dialog || !dialog->isVisible() || dialog == answered) return;
      answered = dialog;
      ++dialogs;
      answer(*dialog);
    });
    watch.start(10);
  }
  bool Loaded() {
    return QTest::qWaitFor(
        [&] {
          return form->PageControl1->isVisible() && form->Client() &&
                 form->Client()->Stage() == kStagePolling;
        },
        20000);
  }

  TAppSettings settings;
  std::unique_ptr<TFormVertamo> form;
  QTimer watch;
  TFormSetup* answered = nullptr;
  int dialogs = 0;
};

}  // namespace

class FirstStartTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    std::string error;
    QVERIFY2(server_.Start(vertamo::test::SmallDistrict(), vertamo::test::QuietServer(), &error),
             error.c_str());
  }
  void cleanupTestCase() { server_.Stop(); }

  void noSettingsAskForTheServerFirst() {
    TempFolder dir;
    Start start(dir);
    QVERIFY2(!start.form->Client(), "no connection before the dispatcher names the server");
    const QString port = QString::number(server_.Port());
    start.Watch([&](TFormSetup& dialog) {
      // One line says what the dialog is for, and where the training district is.
      QVERIFY(dialog.LabelNote && dialog.LabelNote->text().contains(QStringLiteral("vertamo --demo")));
      QCOMPARE(dialog.EditServerIp->text(), QStringLiteral("localhost"));
      dialog.EditServerName->setText(QStringLiteral("Центральная"));
      dialog.EditServerIp->setText(QStringLiteral("127.0.0.1"));
      dialog.EditServerPort->setText(port);
      QTest::mouseClick(dialog.ButtonOK, Qt::LeftButton);
    });
    start.form->show();
    QVERIFY2(start.Loaded(), "the district loads from the server entered in the dialog");
    QCOMPARE(start.dialogs, 1);
    QCOMPARE(start.form->LabelSrv->text(), QStringLiteral("Подключение к серверу Центральная"));
    start.form->close();
    const std::string ini = ReadWholeFile(dir.file("Vertamo.ini"));
    QVERIFY2(ini.find("[ServerInfo]\r\nName=") != std::string::npos, ini.c_str());
    QVERIFY2(ini.find("Ip=127.0.0.1\r\n") != std::string::npos, ini.c_str());
    QVERIFY2(ini.find("Port=" + port.toStdString() + "\r\n") != std::string::npos, ini.c_str());
  }

  void anAddressLessProfileAsksTooAndCancelStillConnects() {
    TempFolder dir;
    WriteWholeFile(dir.file("Vertamo.ini"),
                   "[ServerInfo]\r\nName=x\r\nIp=\r\nPort=" + std::to_string(server_.Port()) + "\r\n");
    Start start(dir);
    start.Watch([](TFormSetup& dialog) { QTest::mouseClick(dialog.ButtonCancel, Qt::LeftButton); });
    start.form->show();
    QTRY_VERIFY_WITH_TIMEOUT(start.form->Client() != nullptr, 10000);
    QCOMPARE(start.dialogs, 1);
    QCOMPARE(start.form->Profile().Ip[0], '\0');
    // The link never comes up: the banner offers the settings and the demo.
    TStaleView& stale = start.form->Stale();
    QTRY_VERIFY_WITH_TIMEOUT(stale.Banner->isVisible(), 10000);
    QVERIFY(stale.SettingsButton->isVisible());
    QVERIFY(stale.DemoButton->isVisible());
  }

  void closingWithTheDialogOpenStoresOnlyTheWindow() {
    // A SIGTERM at the first start closes the window under the dialog.
    TempFolder dir;
    Start start(dir);
    start.Watch([&](TFormSetup&) { start.form->close(); });
    start.form->show();
    QTRY_VERIFY_WITH_TIMEOUT(!start.form->isVisible(), 10000);
    QCOMPARE(start.dialogs, 1);
    QVERIFY(!start.form->findChild<TFormSetup*>());
    QVERIFY(!start.form->Client());
    QCOMPARE(QString::fromStdString(ReadWholeFile(dir.file("Vertamo.ini"))),
             QString::fromStdString(testing::FirstStartIni()));
  }

  void settingsWithAServerConnectAtOnce() {
    TempFolder dir;
    WriteWholeFile(dir.file("Vertamo.ini"),
                   "[ServerInfo]\r\nIp=127.0.0.1\r\nPort=" + std::to_string(server_.Port()) + "\r\n");
    Start start(dir);
    QVERIFY(start.form->Client());
    start.Watch([](TFormSetup& dialog) { dialog.reject(); });
    start.form->show();
    // By the time the district is shown, a dialog posted at the start would
    // have come up.
    QVERIFY(start.Loaded());
    QCOMPARE(start.dialogs, 0);
    // A link that came up offers nothing when it goes down.
    QVERIFY(!start.form->Stale().SettingsButton->isVisible());
  }

 private:
  orvexsim::Server server_;
};

QTEST_MAIN(FirstStartTest)
#include "first_start_test.moc"
