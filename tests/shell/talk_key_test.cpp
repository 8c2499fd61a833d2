// Talk-key and focus requests over a private session bus: the workstation's
// service, and `vertamo --talk` / `--talk-focus` sending to it.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QDBusConnectionInterface>
#include <csignal>

#include "support/temp_folder.h"

#include "shell/raise_service.h"
#include "shell/talk_key_service.h"
#include "support/private_session_bus.h"

using namespace vertamo::ui;
using vertamo::testing::PrivateSessionBus;

// How long a request may take, from the start of the program to its exit.
constexpr int kPromptMs = 10000;

class TalkKeyTest : public QObject {
  Q_OBJECT

 private:
  PrivateSessionBus bus_;
  std::unique_ptr<TTalkKeyService> service_;
  std::vector<int> codes_;  // -1: a focus request
  bool offMainThread_ = false;

  QDBusConnection Connect(const QString& name) {
    return QDBusConnection::connectToBus(QString::fromStdString(bus_.Address()), name);
  }

  void Record(int code) {
    if (QThread::currentThread() != QCoreApplication::instance()->thread()) offMainThread_ = true;
    codes_.push_back(code);
  }

  // Runs vertamo with `args` against `busAddress`, without a display, while
  // this thread's event loop serves the service. Returns the exit code, -3
  // when it did not end within kPromptMs.
  static int Run(const QStringList& args, const QString& busAddress, QByteArray* errors) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) env.remove(name);
    env.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
    process.setProcessEnvironment(env);
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(VERTAMO_BINARY, args);
    if (!finished.wait(kPromptMs)) {
      process.kill();
      process.waitForFinished();
      return -3;
    }
    *errors = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  }

 private slots:
  void initTestCase() {
    QVERIFY2(bus_.Start(), bus_.Error().c_str());
    // Anything in this process that asks for the session bus gets the private one.
    qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArray::fromStdString(bus_.Address()));
    service_ = std::make_unique<TTalkKeyService>();
    service_->onTalkKey = [this](int code) { Record(code); };
    service_->onFocus = [this] { Record(-1); };
    QString error;
    QVERIFY2(service_->Register(Connect("workstation"), &error), qPrintable(error));
  }

  void init() {
    codes_.clear();
    offMainThread_ = false;
  }

  void callsReachTheCallbacksOnTheMainThreadInOrder() {
    QDBusConnection client = Connect("client");
    for (int code : {kTalkPress, kTalkRelease, kTalkNothing, kTalkF2}) {
      client.asyncCall(QDBusMessage::createMethodCall(kWorkstationService, kVoiceObjectPath, kVoiceInterface,
                                                      "TalkKey")
                       << code);
    }
    client.asyncCall(QDBusMessage::createMethodCall(kWorkstationService, kVoiceObjectPath, kVoiceInterface, "Focus"));
    QTRY_COMPARE_WITH_TIMEOUT(codes_.size(), size_t(5), kPromptMs);
    QCOMPARE(codes_, (std::vector<int>{0, 1, 2, 3, -1}));
    QVERIFY(!offMainThread_);
  }

  void anUnknownCodeIsRefusedAndReachesNoCallback() {
    QDBusConnection client = Connect("client");
    for (int code : {-1, 4, 0x190}) {
      QDBusPendingCall call = client.asyncCall(
          QDBusMessage::createMethodCall(kWorkstationService, kVoiceObjectPath, kVoiceInterface, "TalkKey") << code);
      QTRY_VERIFY_WITH_TIMEOUT(call.isFinished(), kPromptMs);
      QVERIFY2(call.isError(), qPrintable(QString::number(code)));
      QCOMPARE(call.error().name(), QString(kUnknownCodeError));
    }
    // A good code after them is the first thing the callbacks see.
    client.asyncCall(QDBusMessage::createMethodCall(kWorkstationService, kVoiceObjectPath, kVoiceInterface,
                                                    "TalkKey")
                     << int(kTalkRelease));
    QTRY_COMPARE_WITH_TIMEOUT(codes_.size(), size_t(1), kPromptMs);
    QCOMPARE(codes_.front(), int(kTalkRelease));
  }

  void aSecondWorkstationOrNoBusRunsWithoutTheService() {
    TTalkKeyService second;
    QString error;
    QVERIFY(!second.Register(Connect("second"), &error));
    QVERIFY2(error.contains("another workstation"), qPrintable(error));
    QVERIFY(!second.Registered());
    TTalkKeyService alone;
    QVERIFY(!alone.Register(QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "nobus"), &error));
    QVERIFY2(error.contains("no session bus"), qPrintable(error));
  }

  void theCommandLineDeliversToTheRunningWorkstation_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::newRow("press") << QStringList{"--talk", "press"} << int(kTalkPress);
    QTest::newRow("release") << QStringList{"--talk=release"} << int(kTalkRelease);
    QTest::newRow("none") << QStringList{"--talk", "none"} << int(kTalkNothing);
    QTest::newRow("f2") << QStringList{"--talk", "f2"} << int(kTalkF2);
    QTest::newRow("focus") << QStringList{"--talk-focus"} << -1;
  }
  void theCommandLineDeliversToTheRunningWorkstation() {
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QByteArray errors;
    QCOMPARE(Run(args, QString::fromStdString(bus_.Address()), &errors), 0);
    QVERIFY2(errors.isEmpty(), errors.constData());
    QTRY_COMPARE_WITH_TIMEOUT(codes_.size(), size_t(1), kPromptMs);
    QCOMPARE(codes_.front(), code);
  }

  void aSecondStartOnTheSameFolderBringsTheFirstForward() {
    vertamo::testing::TempFolder home, dir;
    const QString work = QString::fromStdString(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", QString::fromStdString(home.path()));
    env.insert("PULSE_SERVER", QString::fromStdString("unix:" + home.file("no-sound-server")));
    env.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromStdString(bus_.Address()));
    // No phone program; its control port is one nobody listens on.
    const QStringList args{"--workdir", work, "--phone-program", QString::fromStdString(home.file("no-ohphone")),
                           "--phone-port", "1"};
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(VERTAMO_BINARY, args);
    QVERIFY(first.waitForStarted(kPromptMs));
    QDBusConnection watcher = Connect("watcher");
    QTRY_VERIFY_WITH_TIMEOUT(watcher.interface()->isServiceRegistered(FolderServiceName(work)).value(), 30000);

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(VERTAMO_BINARY, args);
    QVERIFY(second.waitForFinished(kPromptMs));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(second.readAllStandardError().contains("it was brought forward"));
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += first.readAllStandardError()).contains("the window comes forward"), kPromptMs);
    QCOMPARE(first.state(), QProcess::Running);
    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    QVERIFY(first.waitForFinished(60000));
    QCOMPARE(first.exitCode(), 0);
  }

  void theCommandLineWithoutWorkstationOrBusFailsPromptly_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("service");
    QTest::addColumn<bool>("bus");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("no workstation") << QStringList{"--talk", "press"} << false << true << 3
                                    << "no workstation is running";
    QTest::newRow("no bus") << QStringList{"--talk-focus"} << false << false << 2 << "no session bus";
    QTest::newRow("unknown key") << QStringList{"--talk", "loud"} << true << true << 1
                                 << "\"loud\" is not press, release, none or f2";
  }
  void theCommandLineWithoutWorkstationOrBusFailsPromptly() {
    QFETCH(QStringList, args);
    QFETCH(bool, service);
    QFETCH(bool, bus);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    if (!service) service_.reset();  // gives the name back
    QByteArray errors;
    const QString address = bus ? QString::fromStdString(bus_.Address()) : QString("unix:path=/nonexistent/bus");
    QCOMPARE(Run(args, address, &errors), exitCode);
    QVERIFY2(errors.contains(message.toUtf8()), errors.constData());
    QVERIFY(codes_.empty());
  }
};

QTEST_GUILESS_MAIN(TalkKeyTest)
#include "talk_key_test.moc"
