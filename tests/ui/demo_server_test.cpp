// The built-in demo: its server, and the settings it leaves in its own work
// folder.
#include <QtTest>

#include "platform/cp1251.h"
#include "settings/fast_ini.h"
#include "settings/server_profile.h"
#include "shell/demo/demo_server.h"
#include "support/temp_folder.h"

using namespace vertamo;
using namespace vertamo::ui;
using vertamo::testing::ReadWholeFile;
using vertamo::testing::TempFolder;
using vertamo::testing::WriteWholeFile;

class DemoServerTest : public QObject {
  Q_OBJECT

 private slots:
  void servesOnAFreeLoopbackPort() {
    TDemoServer a, b;
    std::string error;
    QVERIFY2(a.Start(&error), error.c_str());
    QVERIFY2(b.Start(&error), error.c_str());
    QVERIFY(a.Port() != 0 && b.Port() != 0);
    QVERIFY(a.Port() != b.Port());  // two demos side by side
    a.Stop();
    QCOMPARE(a.Port(), uint16_t(0));
  }

  void theProfileReachesTheDemo() {
    TDemoServer demo;
    std::string error;
    QVERIFY(demo.Start(&error));
    SERVERINFO base = DefaultProfile();
    base.Debug = true;
    base.CacheEnable = false;
    const SERVERINFO profile = demo.Profile(base);
    QCOMPARE(std::string(profile.Ip), std::string("127.0.0.1"));
    QCOMPARE(profile.Port, demo.Port());
    QVERIFY(profile.Debug);  // the dispatcher's switches stay
    QVERIFY(!profile.CacheEnable);
    QVERIFY(IsValidProfile(profile));
    QVERIFY(Cp1251ToUtf8(profile.Name).find("Демонстрационный") == 0);
  }

  void firstStartPlacesTheWindows() {
    TempFolder dir;
    TDemoServer demo;
    std::string error;
    QVERIFY(demo.Start(&error));
    QVERIFY(PrepareDemoSettings(dir.folder(), demo, {0, 0, 1280, 800}));
    TFastIni ini(dir.file("Vertamo.ini"));
    const SERVERINFO profile = LoadProfile(ini, "ServerInfo");
    QCOMPARE(profile.Port, demo.Port());
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
    TDemoServer demo;
    std::string error;
    QVERIFY(demo.Start(&error));
    QVERIFY(PrepareDemoSettings(dir.folder(), demo, {0, 0, 1920, 1080}));
    TFastIni ini(dir.file("Vertamo.ini"));
    QCOMPARE(ini.ReadInteger("FormVertamo", "Width", 0), 700);
    QCOMPARE(ini.ReadString("Other", "Key", ""), std::string("Value"));
    const SERVERINFO profile = LoadProfile(ini, "ServerInfo");
    QCOMPARE(profile.Port, demo.Port());
    QVERIFY(profile.Debug);
    // The journal had no place yet: it gets one.
    QCOMPARE(ini.ReadInteger("LogLast", "Top", 0), 880);
    // A screen too small to share, or unknown: no bounds at all.
    TempFolder other;
    QVERIFY(PrepareDemoSettings(other.folder(), demo, {}));
    QVERIFY(ReadWholeFile(other.file("Vertamo.ini")).find("[FormVertamo]") == std::string::npos);
  }

  void unwritableFolder() {
    TempFolder dir;
    QVERIFY(QDir().mkpath(QString::fromStdString(dir.file("Vertamo.ini/inside"))));
    TDemoServer demo;
    std::string error;
    QVERIFY(demo.Start(&error));
    QVERIFY(!PrepareDemoSettings(dir.folder(), demo, {0, 0, 1280, 800}));
  }
};

QTEST_MAIN(DemoServerTest)
#include "demo_server_test.moc"
