// The demo: its servers in the program beside the workstation, which ends
// with the workstation however it ends, and the settings it leaves in its own
// work folder.
#include <QtTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/cp1251.h"
#include "protocol/txtfunc.h"
#include "settings/fast_ini.h"
#include "settings/server_profile.h"
#include "demo_fixture.h"
#include "platform/child_process.h"
#include "platform/process.h"
#include "sim/raw_client.h"
#include "support/temp_folder.h"
#include "tools/orvex-sim/scenario.h"

using namespace vertamo;
using namespace vertamo::ui;
using vertamo::testing::ReadWholeFile;
using vertamo::testing::TempFolder;
using vertamo::testing::WriteWholeFile;

namespace {

// A listening socket on `host`, port `port` (0: any); -1 when the port is taken.
int Listen(const std::string& host, uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  ::inet_pton(AF_INET, host.c_str(), &address.sin_addr);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 1) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

uint16_t PortOf(int fd) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

// The first line a gateway at host:port says, within 5 s.
std::string Greeting(const std::string& host, uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  ::inet_pton(AF_INET, host.c_str(), &address.sin_addr);
  std::string line;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    pollfd p{fd, POLLIN, 0};
    char c = 0;
    while (line.find('\n') == std::string::npos && ::poll(&p, 1, 5000) > 0 && ::recv(fd, &c, 1, 0) == 1) line += c;
  }
  ::close(fd);
  return line;
}

// The district's answer to a click on object `obj`.
std::string MouseDown(simtest::RawClient& client, int obj) {
  client.Send("MOUSEDOWN OBJ=" + std::to_string(obj));
  return vertamo::Utf8ToCp1251(client.Line().value_or(""));
}

// The first lift of the demo with a machine-room unit (`machineRoom`) or with
// a cabin unit only.
int DemoLift(bool machineRoom) {
  const orvexsim::Scenario s = orvexsim::BuildDemoScenario();
  for (size_t i = 0; i < s.objects.size(); ++i)
    if (const auto& call = s.objects[i].call; call && call->pul && call->pu.has_value() == machineRoom)
      return static_cast<int>(i);
  return -1;
}

// A child of `parent` whose program is named `name`, still running; 0 when none.
int ChildRunning(int parent, const std::string& name) {
  for (const int pid : OwnProcesses()) {
    const std::string stat = ReadWholeFile("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = stat.rfind(')');
    int ppid = 0;
    if (close != std::string::npos && std::sscanf(stat.c_str() + close + 1, " %*c %d", &ppid) == 1 && ppid == parent &&
        ProcessExecutable(pid).ends_with("/" + name))
      return pid;
  }
  return 0;
}

}  // namespace

class DemoProcessTest : public QObject {
  Q_OBJECT

  // Clicks on a lift with both units and on one with a cabin unit only; each
  // reply names the demo's gateway, which greets there.
  static void CheckCalls(TDemoProcess& demo) {
    simtest::RawClient client;
    QVERIFY(client.Connect(demo.Port()));
    QCOMPARE(client.Login("demo", "demo").value_or(""), std::string("OK Full"));
    for (bool machineRoom : {true, false}) {
      const int lift = DemoLift(machineRoom);
      QVERIFY(lift >= 0);
      const std::string reply = MouseDown(client, lift);
      int obj = -1, h323 = -1, com = 0, adr = 0, pul = -1, pu = -1;
      std::string gateway, text;
      QVERIFY2(GetIntParam(reply, "OBJ=", obj) && obj == lift, reply.c_str());
      QVERIFY2(GetStrParam(reply, " KelmoGW=", 128, gateway), reply.c_str());
      QCOMPARE(gateway, demo.GatewayHost());
      QVERIFY2(GetIntParam(reply, " H323=", h323) && h323 == 0, reply.c_str());
      QVERIFY2(GetIntParam(reply, " COM=", com) && com > 0, reply.c_str());
      QVERIFY2(GetIntParam(reply, " ADR=", adr) && adr != 0, reply.c_str());
      QVERIFY2(GetIntParam(reply, " PUL=", pul) && GetStrParam(reply, " PULTEXT=", 128, text), reply.c_str());
      QCOMPARE(GetIntParam(reply, " PU=", pu), machineRoom);
      client.Send("STARTSPEAK OBJ=" + std::to_string(lift) + " PU=" + std::to_string(pul));
      QCOMPARE(client.Line().value_or(""), std::string("OK"));
      client.Send("ENDSPEAK OBJ=" + std::to_string(lift) + " PU=" + std::to_string(pul));
      QCOMPARE(client.Line().value_or(""), std::string("OK"));
      const std::vector<std::string> requests = demo.Requests();
      QCOMPARE(requests.back(), "ENDSPEAK OBJ=" + std::to_string(lift) + " PU=" + std::to_string(pul));
      QCOMPARE(requests[requests.size() - 2], "STARTSPEAK OBJ=" + std::to_string(lift) + " PU=" + std::to_string(pul));
    }
    QCOMPARE(Greeting(demo.GatewayHost(), demo.GatewayPort()).substr(0, 4), std::string("220 "));
  }

 private slots:
  void aClickOnALiftNamesTheDemoGateway() {
    TDemoProcess demo;
    std::string error;
    QVERIFY2(test::StartDemo(demo, &error), error.c_str());
    QCOMPARE(demo.GatewayHost(), std::string("127.0.0.2"));
    CheckCalls(demo);
  }

  void aTakenGatewayAddressGivesWayToTheNext() {
    // 127.0.0.2 has the port taken: the gateway goes to another address, and
    // the replies name that one.
    const int taken = Listen("127.0.0.2", 0);
    QVERIFY(taken >= 0);
    const uint16_t port = PortOf(taken);
    TDemoProcess::TOptions options;
    options.program = VERTAMO_DEMO_PATH;
    options.gatewayPort = port;
    TDemoProcess demo;
    std::string error;
    QVERIFY2(demo.Start(options, &error), error.c_str());
    QVERIFY(demo.GatewayHost() != "127.0.0.2" && demo.GatewayHost().rfind("127.0.0.", 0) == 0);
    QCOMPARE(demo.GatewayPort(), port);
    CheckCalls(demo);
    // Every address taken: the demo starts all the same, without a gateway.
    demo.Stop();
    std::vector<int> others;
    for (int i = 3; i < 10; ++i) others.push_back(Listen("127.0.0." + std::to_string(i), port));  // -1: taken already
    QVERIFY2(demo.Start(options, &error), error.c_str());
    QVERIFY(demo.GatewayHost().empty());
    QVERIFY2(demo.GatewayProblem().find("no free address") != std::string::npos, demo.GatewayProblem().c_str());
    for (int fd : others)
      if (fd >= 0) ::close(fd);
    ::close(taken);
  }

  void servesOnAFreeLoopbackPort() {
    TDemoProcess a, b;
    std::string error;
    QVERIFY2(test::StartDemo(a, &error), error.c_str());
    QVERIFY2(test::StartDemo(b, &error), error.c_str());
    QVERIFY(a.Port() != 0 && b.Port() != 0);
    QVERIFY(a.Port() != b.Port());  // two demos side by side
    const int pid = a.Pid();
    a.Stop();
    QVERIFY(!ProcessAlive(pid));
    QCOMPARE(a.Port(), uint16_t(0));
  }

  // `vertamo --demo` ended by a SIGTERM (which closes its window the ordinary
  // way) and killed outright: either way its demo program ends within 5 s.
  void theDemoEndsWithTheWorkstation() {
    for (const int signal : {SIGTERM, SIGKILL}) {
      TempFolder dir;
      TChildProcess workstation;
      std::string error;
      QVERIFY2(workstation.Start(VERTAMO_PROGRAM_PATH,
                                 {"--demo", "--mute", "--workdir", dir.folder(), "--phone-program", "/nowhere/ohphone"},
                                 dir.file("vertamo.out"), &error),
               error.c_str());
      int demo = 0;
      QTRY_VERIFY_WITH_TIMEOUT((demo = ChildRunning(workstation.Pid(), "vertamo-demo")) != 0, 20000);
      QTRY_VERIFY_WITH_TIMEOUT(ReadWholeFile(dir.file("vertamo.out")).find("demo district served on") !=
                                   std::string::npos,
                               20000);
      ::kill(workstation.Pid(), signal);
      QVERIFY(workstation.WaitEnded(10000));
      QTRY_VERIFY_WITH_TIMEOUT(!ProcessAlive(demo), 5000);
    }
  }

  void theProfileReachesTheDemo() {
    SERVERINFO base = DefaultProfile();
    base.Debug = true;
    base.CacheEnable = false;
    const SERVERINFO profile = DemoProfile(base, 47001);
    QCOMPARE(std::string(profile.Ip), std::string("127.0.0.1"));
    QCOMPARE(profile.Port, 47001);
    QVERIFY(profile.Debug);  // the dispatcher's switches stay
    QVERIFY(!profile.CacheEnable);
    QVERIFY(IsValidProfile(profile));
    QVERIFY(Cp1251ToUtf8(profile.Name).find("Демонстрационный") == 0);
  }

  void firstStartPlacesTheWindows() {
    TempFolder dir;
    QVERIFY(PrepareDemoSettings(dir.folder(), 47001, {0, 0, 1280, 800}));
    TFastIni ini(dir.file("Vertamo.ini"));
    const SERVERINFO profile = LoadProfile(ini, "ServerInfo");
    QCOMPARE(profile.Port, 47001);
    QCOMPARE(ini.ReadInteger("FormVertamo", "Width", 0), 1280);
    QCOMPARE(ini.ReadInteger("FormVertamo", "Height", 0), 600);
    QCOMPARE(ini.ReadInteger("LogLast", "Top", 0), 600);
    QCOMPARE(ini.ReadInteger("LogLast", "Height", 0), 200);
  }

  void laterStartsKeepWhatTheDispatcherChose() {
    TempFolder dir;
    WriteWholeFile(dir.file("Vertamo.ini"),
                   "[FormVertamo]\r\nLeft=5\r\nTop=6\r\nWidth=700\r\nHeight=500\r\n"
                   "[ServerInfo]\r\nPort=9900\r\nDebug=1\r\n[Other]\r\nKey=Value\r\n");
    QVERIFY(PrepareDemoSettings(dir.folder(), 47001, {0, 0, 1920, 1080}));
    TFastIni ini(dir.file("Vertamo.ini"));
    QCOMPARE(ini.ReadInteger("FormVertamo", "Width", 0), 700);
    QCOMPARE(ini.ReadString("Other", "Key", ""), std::string("Value"));
    const SERVERINFO profile = LoadProfile(ini, "ServerInfo");
    QCOMPARE(profile.Port, 47001);
    QVERIFY(profile.Debug);
    // The journal had no place yet: it gets one.
    QCOMPARE(ini.ReadInteger("LogLast", "Top", 0), 880);
    // A screen too small to share, or unknown: no bounds at all.
    TempFolder other;
    QVERIFY(PrepareDemoSettings(other.folder(), 47001, {}));
    QVERIFY(ReadWholeFile(other.file("Vertamo.ini")).find("[FormVertamo]") == std::string::npos);
  }

  void unwritableFolder() {
    TempFolder dir;
    QVERIFY(QDir().mkpath(QString::fromStdString(dir.file("Vertamo.ini/inside"))));
    QVERIFY(!PrepareDemoSettings(dir.folder(), 47001, {0, 0, 1280, 800}));
  }
};

QTEST_MAIN(DemoProcessTest)
#include "demo_process_test.moc"
