#include "settings/server_profile.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/cp1251.h"
#include "support/temp_folder.h"

namespace vertamo {
namespace {

using testing::ReadWholeFile;
using testing::TempFolder;
using testing::WriteWholeFile;

SERVERINFO Make(const char* name, const char* ip, const char* login, const char* password, uint16_t port,
                bool debug, bool cache) {
  SERVERINFO p{};
  SetProfileText(p.Name, name);
  SetProfileText(p.Ip, ip);
  SetProfileText(p.Login, login);
  SetProfileText(p.Password, password);
  p.Port = port;
  p.Debug = debug;
  p.CacheEnable = cache;
  return p;
}

void ExpectSame(const SERVERINFO& a, const SERVERINFO& b) {
  EXPECT_STREQ(a.Name, b.Name);
  EXPECT_STREQ(a.Ip, b.Ip);
  EXPECT_STREQ(a.Login, b.Login);
  EXPECT_STREQ(a.Password, b.Password);
  EXPECT_EQ(a.Port, b.Port);
  EXPECT_EQ(a.Debug, b.Debug);
  EXPECT_EQ(a.CacheEnable, b.CacheEnable);
}

TEST(ServerProfile, TextFieldsAreCutToTheirCapacity) {
  SERVERINFO p{};
  SetProfileText(p.Name, std::string(100, 'n'));
  SetProfileText(p.Login, std::string(100, 'l'));
  EXPECT_EQ(std::strlen(p.Name), 63u);
  EXPECT_EQ(std::strlen(p.Login), 31u);
  SetProfileText(p.Ip, std::string("ab\0cd", 5));
  EXPECT_STREQ(p.Ip, "ab");
  const SERVERINFO cleared{};
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&cleared);
  for (size_t i = 0; i < sizeof cleared; ++i) ASSERT_EQ(bytes[i], 0) << "byte " << i;
}

TEST(ServerProfile, LoadWithoutTheSectionGivesTheDefaults) {
  TempFolder dir;
  TFastIni ini(dir.file("Vertamo.ini"));
  const SERVERINFO p = LoadProfile(ini, "ServerInfo");
  ExpectSame(p, Make("localhost", "localhost", "user", "kvqz", 9900, false, true));
  EXPECT_FALSE(p.Modified);
  EXPECT_FALSE(ini.Modified());
}

TEST(ServerProfile, LoadAndSave) {
  TempFolder dir;
  WriteWholeFile(dir.file("Vertamo.ini"),
                 Utf8ToCp1251("[serverinfo]\r\nName = Центральная\r\nIp=10.0.0.5\r\nPort=75536\r\n"
                              "Debug=yes\r\nCacheEnable=0\r\nLogin=\r\n"));
  TFastIni ini(dir.file("Vertamo.ini"));
  const SERVERINFO p = LoadProfile(ini, "ServerInfo");
  EXPECT_EQ(std::string(p.Name), Utf8ToCp1251(" Центральная"));
  EXPECT_STREQ(p.Ip, "10.0.0.5");
  EXPECT_STREQ(p.Login, "") << "a present empty value is not the default";
  EXPECT_STREQ(p.Password, "kvqz");
  EXPECT_EQ(p.Port, 75536 - 65536) << "the low 16 bits";
  EXPECT_FALSE(p.Debug) << "a word reads as 0";
  EXPECT_FALSE(p.CacheEnable);

  SaveProfile(ini, "ServerInfo", Make("B", "host", "op", "pw", 9901, true, false));
  EXPECT_TRUE(ini.Save());
  EXPECT_EQ(ReadWholeFile(dir.file("Vertamo.ini")),
            "[serverinfo]\r\nName=B\r\nIp=host\r\nPort=9901\r\nDebug=1\r\nCacheEnable=0\r\nLogin=op\r\n"
            "Password=pw\r\n");
  TFastIni again(dir.file("Vertamo.ini"));
  ExpectSame(LoadProfile(again, "ServerInfo"), Make("B", "host", "op", "pw", 9901, true, false));
}

TEST(ServerProfile, ApplyCopiesWhatDiffers) {
  const SERVERINFO base = Make("A", "1.2.3.4", "user", "pw", 9900, false, true);
  struct Case {
    const char* name;
    SERVERINFO source;
    bool modified;
  };
  SERVERINFO flagged = base;
  flagged.Modified = true;
  const std::vector<Case> cases = {
      {"identical", base, false},
      {"only Modified differs", flagged, false},
      {"name", Make("B", "1.2.3.4", "user", "pw", 9900, false, true), true},
      {"ip", Make("A", "1.2.3.5", "user", "pw", 9900, false, true), true},
      {"login case", Make("A", "1.2.3.4", "User", "pw", 9900, false, true), true},
      {"password", Make("A", "1.2.3.4", "user", "pw2", 9900, false, true), true},
      {"port alone", Make("A", "1.2.3.4", "user", "pw", 9901, false, true), true},
      {"debug alone", Make("A", "1.2.3.4", "user", "pw", 9900, true, true), true},
      {"cache alone", Make("A", "1.2.3.4", "user", "pw", 9900, false, false), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SERVERINFO target = base;
    ApplyProfile(target, c.source);
    EXPECT_EQ(target.Modified, c.modified);
    ExpectSame(target, c.source);
  }
  SERVERINFO target = base;
  target.Modified = true;
  ApplyProfile(target, base);
  EXPECT_TRUE(target.Modified) << "Apply never clears the flag";
}

TEST(ServerProfile, TextForm) {
  EXPECT_EQ(ProfileToText(DefaultProfile()), "localhost;localhost;user;kvqz;9900;0;1;");
  EXPECT_EQ(ProfileToText(Make("", "", "", "", 0, true, false)), ";;;;0;1;0;");

  struct Case {
    const char* text;
    SERVERINFO profile;
  };
  const std::vector<Case> cases = {
      {"localhost;localhost;user;kvqz;9900;0;1;", DefaultProfile()},
      {"a;b", Make("a", "", "", "", 0, false, false)},
      {"a;b;", Make("a", "b", "", "", 0, false, false)},
      {"", Make("", "", "", "", 0, false, false)},
      {"n;h;l;p; 1234x;2;1", Make("n", "h", "l", "p", 1234, true, true)},
      {"n;h;l;p;70000;0;", Make("n", "h", "l", "p", 70000 - 65536, false, false)},
      {"n;h;l;p;9900;1", Make("n", "h", "l", "p", 9900, false, false)},
      {"n;h;l;p;9900;1;1;extra;", Make("n", "h", "l", "p", 9900, true, true)},
      {"n;h;l;p;-1;-1;-1;", Make("n", "h", "l", "p", 65535, true, true)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const SERVERINFO p = ProfileFromText(c.text);
    ExpectSame(p, c.profile);
    EXPECT_FALSE(p.Modified);
  }
  // Only the first 255 characters are looked at, and fields are cut to size.
  const std::string longName(300, 'x');
  const SERVERINFO cut = ProfileFromText(longName + ";b;");
  EXPECT_STREQ(cut.Name, "") << "the ';' lies beyond 255 characters";
  const SERVERINFO sized =
      ProfileFromText(std::string(100, 'x') + ";" + std::string(100, 'y') + ";l;p;1;0;0;");
  EXPECT_EQ(std::strlen(sized.Name), 63u);
  EXPECT_EQ(std::strlen(sized.Ip), 63u);
  EXPECT_STREQ(sized.Login, "l");

  const std::string cyrillic = Utf8ToCp1251("Диспетчерская");
  const SERVERINFO round = Make(cyrillic.c_str(), "10.1.1.1", "op", "secret", 12345, true, false);
  ExpectSame(ProfileFromText(ProfileToText(round)), round);
}

TEST(ServerProfile, Validity) {
  struct Case {
    uint16_t port;
    const char* ip;
    bool valid;
  };
  const std::vector<Case> cases = {
      {1023, "localhost", false}, {1024, "localhost", true}, {65535, "h", true},  {0, "h", false},
      {9900, "   ", false},       {9900, "", false},         {9900, " x ", true},
  };
  for (const Case& c : cases) {
    SERVERINFO p = DefaultProfile();
    p.Port = c.port;
    SetProfileText(p.Ip, c.ip);
    EXPECT_EQ(IsValidProfile(p), c.valid) << c.port << " '" << c.ip << "'";
  }
}

TEST(ServerProfile, NamesAServerOnlyWithAnAddress) {
  struct Case {
    const char* file;
    bool names;
  };
  const std::vector<Case> cases = {
      {nullptr, false},
      {"[FormVertamo]\r\nLeft=0\r\n", false},
      {"[ServerInfo]\r\nName=x\r\nPort=9900\r\n", false},
      {"[ServerInfo]\r\nIp=\r\n", false},
      {"[ServerInfo]\r\nIp= \t \r\n", false},
      {"[Other]\r\nIp=10.0.0.1\r\n", false},
      {"[serverinfo]\r\nIp=10.0.0.1\r\n", true},
      {"[ServerInfo]\r\nIp=localhost\r\n", true},
  };
  for (const Case& c : cases) {
    TempFolder dir;
    if (c.file) WriteWholeFile(dir.file("Vertamo.ini"), c.file);
    const TFastIni ini(dir.file("Vertamo.ini"));
    EXPECT_EQ(ProfileNamesServer(ini, "ServerInfo"), c.names) << (c.file ? c.file : "no file");
  }
}

TEST(ServerProfile, ServerList) {
  TempFolder dir;
  WriteWholeFile(
      dir.file("Vertamo.ini"),
      "[Servers]\r\nSrv0=a;h;l;p;9900;0;1;\r\nSrv1=\r\nSrv2=;h;l;p;9900;0;1;\r\nSrv3=b;g;l;p;1;1;0;\r\n"
      "Srv5=lost;h;l;p;9900;0;1;\r\n[Other]\r\nk=1\r\n");
  TFastIni ini(dir.file("Vertamo.ini"));
  std::vector<SERVERINFO> list = ReadServerList(ini);
  ASSERT_EQ(list.size(), 2u) << "empty value and empty name skipped; Srv5 is past the gap";
  ExpectSame(list[0], Make("a", "h", "l", "p", 9900, false, true));
  ExpectSame(list[1], Make("b", "g", "l", "p", 1, true, false));

  list.push_back(Make("c", "i", "l", "p", 2000, false, true));
  WriteServerList(ini, list);
  ASSERT_TRUE(ini.Save());
  EXPECT_EQ(ReadWholeFile(dir.file("Vertamo.ini")),
            "[Other]\r\nk=1\r\n[Servers]\r\nSrv0=a;h;l;p;9900;0;1;\r\nSrv1=b;g;l;p;1;1;0;\r\nSrv2=c;i;l;p;"
            "2000;0;1;\r\n");

  WriteServerList(ini, {});
  EXPECT_FALSE(ini.SectionExists("Servers"));
  EXPECT_TRUE(ReadServerList(ini).empty());
}

}  // namespace
}  // namespace vertamo
