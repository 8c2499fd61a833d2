// Starts the real `vertamo` program on the offscreen platform with a work
// folder of its own, ends it with a signal, and reads what it left.
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

#include "support/temp_folder.h"
#include "ui/vertamo_ini_fixture.h"

using vertamo::testing::ReadWholeFile;
using vertamo::testing::TempFolder;
using vertamo::testing::WriteWholeFile;

class VertamoProcessTest : public QObject {
  Q_OBJECT

 private:
  static QProcessEnvironment Environment(const TempFolder& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", QString::fromStdString(home.path()));
    env.remove("XDG_DATA_HOME");
    // Sounds go to a sound server that is not there, never the machine's.
    env.insert("PULSE_SERVER", QString::fromStdString("unix:" + home.file("no-sound-server")));
    // Nor the machine's session bus: a bus that is not there.
    env.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromStdString("unix:path=" + home.file("no-session-bus")));
    return env;
  }

  // Starts vertamo with `args`, waits until its window exists (the "Wave"
  // folder appears in `work`, after the signals are taken care of), sends
  // `signal` and waits for the end. Returns the exit code, -1 for a crash.
  static int RunUntilSignal(const QStringList& args, const QString& work, int signal, const TempFolder& home,
                            QByteArray* errors = nullptr) {
    // No phone program, and a control port held shut for the run, so the
    // telephony never meets a phone program of this machine.
    QStringList all = args;
    int port = 0;
    const int shut = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(shut, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(shut, reinterpret_cast<sockaddr*>(&address), &length) == 0)
      port = ntohs(address.sin_port);
    if (!args.contains(QStringLiteral("--demo")))
      all << "--phone-program" << QString::fromStdString(home.file("no-ohphone")) << "--phone-port"
          << QString::number(port);
    struct Closer {
      int fd;
      ~Closer() { ::close(fd); }
    } closer{shut};
    QProcess process;
    process.setProcessEnvironment(Environment(home));
    process.start(VERTAMO_BINARY, all);
    if (!process.waitForStarted(30000)) return -2;
    bool up = false;
    for (int i = 0; i < 600 && !up && process.state() == QProcess::Running; ++i) {
      up = QFileInfo(work + "/Wave").isDir();
      if (!up) QTest::qWait(50);
    }
    if (up) ::kill(static_cast<pid_t>(process.processId()), signal);
    const bool finished = process.waitForFinished(60000);
    if (errors) *errors = process.readAllStandardError();
    if (!up || !finished) {
      process.kill();
      process.waitForFinished();
      return -3;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  }

  static int RunToEnd(const QStringList& args, const TempFolder& home, QByteArray* out, bool display = true) {
    QProcess process;
    QProcessEnvironment env = Environment(home);
    if (!display) {
      env.remove("QT_QPA_PLATFORM");
      env.remove("DISPLAY");
      env.remove("WAYLAND_DISPLAY");
    }
    process.setProcessEnvironment(env);
    process.start(VERTAMO_BINARY, args);
    if (!process.waitForFinished(60000)) {
      process.kill();
      process.waitForFinished();
      return -3;
    }
    *out = process.readAllStandardOutput() + process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  }

 private slots:
  void sigtermOnAFirstStartLeavesTheSettings() {
    TempFolder home, dir;
    const QString work = QString::fromStdString(dir.file("new/work"));  // created when missing
    QCOMPARE(RunUntilSignal({"--workdir", work}, work, SIGTERM, home), 0);
    const std::string ini = ReadWholeFile(dir.file("new/work/Vertamo.ini"));
    QCOMPARE(QString::fromStdString(ini), QString::fromStdString(vertamo::testing::FirstStartIni()));
    QVERIFY(vertamo::testing::AllLinesEndInCrLf(ini));
    QVERIFY2(!QFileInfo::exists(QString::fromStdString(home.file(".local/share/Vertamo"))),
             "--workdir replaces the usual work folder");
  }

  void sigintRoundTripsAHandWrittenFile() {
    TempFolder home, dir;
    WriteWholeFile(dir.file("Vertamo.ini"), vertamo::testing::HandWrittenIni());
    const QString work = QString::fromStdString(dir.path());
    QCOMPARE(RunUntilSignal({"--workdir", work}, work, SIGINT, home), 0);
    const std::string ini = ReadWholeFile(dir.file("Vertamo.ini"));
    const std::string expected = vertamo::testing::HandWrittenIniAfterClose();
    QCOMPARE(QString::fromLatin1(ini.data(), ini.size()),
             QString::fromLatin1(expected.data(), expected.size()));
  }

  void withoutWorkdirTheDataFolderIsUsed() {
    TempFolder home;
    const QString work = QString::fromStdString(home.file(".local/share/Vertamo"));
    QCOMPARE(RunUntilSignal({}, work, SIGTERM, home), 0);
    QVERIFY(QFileInfo(work + "/Vertamo.ini").isFile());
  }

  void demoServesItsOwnDistrict() {
    // Without --workdir the demo keeps a folder of its own next to the usual
    // one; it loads the demo district (its pictures reach the cache) and ends
    // cleanly on SIGTERM.
    TempFolder home;
    const QString work = QString::fromStdString(home.file(".local/share/Vertamo-demo"));
    QProcess process;
    process.setProcessEnvironment(Environment(home));
    process.start(VERTAMO_BINARY, {"--demo"});
    QVERIFY(process.waitForStarted(30000));
    bool loaded = false;
    for (int i = 0; i < 1200 && !loaded && process.state() == QProcess::Running; ++i) {
      loaded = QDir(work + "/Cache").entryList(QDir::Files).size() >= 3;
      if (!loaded) QTest::qWait(50);
    }
    QVERIFY2(loaded, "the demo's pictures reach the demo folder's cache");
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    const QByteArray errors = process.readAllStandardError();
    QVERIFY2(errors.contains("demo district served on 127.0.0.1:"), errors.constData());
    const std::string ini = ReadWholeFile((work + "/Vertamo.ini").toStdString());
    QVERIFY2(ini.find("Ip=127.0.0.1\r\n") != std::string::npos, ini.c_str());
    QVERIFY2(ini.find("Port=9900\r\n") == std::string::npos, "a free port, not the usual one");
    QVERIFY2(!QFileInfo::exists(QString::fromStdString(home.file(".local/share/Vertamo"))),
             "the dispatcher's own work folder is not touched");
  }

  void demoWithAWorkFolder() {
    TempFolder home, dir;
    const QString work = QString::fromStdString(dir.path());
    QByteArray errors;
    QCOMPARE(RunUntilSignal({"--demo", "--workdir", work}, work, SIGTERM, home, &errors), 0);
    QVERIFY2(errors.contains("demo district"), errors.constData());
    QVERIFY(QFileInfo(work + "/Vertamo.ini").isFile());
    // Without a session bus it runs all the same, and says so once.
    QCOMPARE(errors.count("talk-key requests of other programs are not taken: no session bus"), qsizetype(1));
  }

  void versionHelpAndBadWorkdir() {
    TempFolder home, dir;
    QByteArray out;
    // Neither needs a display.
    QCOMPARE(RunToEnd({"--version"}, home, &out, false), 0);
    QVERIFY2(out.contains("Vertamo 0."), out.constData());
    QCOMPARE(RunToEnd({"--workdir", "x", "--help"}, home, &out, false), 0);
    for (const char* option : {"--workdir <DIR>", "--demo", "--version", "--help"})
      QVERIFY2(out.contains(option), option);
    QCOMPARE(RunToEnd({"--no-such-option"}, home, &out), 1);
    QVERIFY2(out.contains("no-such-option"), out.constData());
    WriteWholeFile(dir.file("plain-file"), "x");
    QCOMPARE(RunToEnd({"--workdir", QString::fromStdString(dir.file("plain-file/sub"))}, home, &out), 1);
    QVERIFY2(out.contains("cannot create the work folder"), out.constData());
  }

  // An option or a file that the man page leaves out is one an administrator
  // never hears of.
  void theManPageDescribesEveryOptionAndTheFilesWritten() {
    TempFolder home;
    QByteArray help;
    QCOMPARE(RunToEnd({"--help"}, home, &help, false), 0);
    const QString man = QString::fromStdString(ReadWholeFile(VERTAMO_MAN_PAGE));
    QStringList options;
    for (const QRegularExpressionMatch& m : QRegularExpression("--([a-z][a-z-]+)").globalMatch(help))
      options << m.captured(1);
    QVERIFY(options.contains("phone-program") && options.contains("talk"));
    for (const QString& option : options) {
      const QString inMan = "\\-\\-" + QString(option).replace('-', QStringLiteral("\\-"));  // groff's hyphens
      QVERIFY2(man.contains(QRegularExpression(QRegularExpression::escape(inMan) + "(?![a-z]|\\\\-[a-z])")),
               qPrintable(option));
    }
    for (const char* file : {"Vertamo.ini", "Vertamo.lock", "IpAbonents.ini", "CallHistory.log", "Journal/"})
      QVERIFY2(man.contains(file), file);
  }
};

QTEST_GUILESS_MAIN(VertamoProcessTest)
#include "vertamo_process_test.moc"
