// Every request of the dispatch protocol, answered in its exact format.
#include <gtest/gtest.h>

#include "platform/cp1251.h"
#include "codec/base64.h"
#include "codec/picture_checksum.h"
#include "codec/png_codec.h"
#include "sim/raw_client.h"
#include "sim/test_scenario.h"
#include "tools/orvex-sim/wire.h"

namespace {

using simtest::LogIn;
using simtest::RawClient;
using simtest::SimServer;

TEST(SimLogin, AcceptsKnownAccountsAndRefusesOthers) {
  SimServer sim;
  ASSERT_TRUE(sim.started) << sim.error;
  struct Case {
    const char* login;
    const char* password;
    const char* verdict;
  };
  const Case cases[] = {
      {"disp", "123", "OK Full"},      {"Диспетчер", "пароль", "OK Full"},  // code page 1251 both ways
      {"disp", "1234", "Wrong login"}, {"DISP", "123", "Wrong login"},     {"", "", "Wrong login"},
  };
  for (const Case& c : cases) {
    RawClient client;
    ASSERT_TRUE(client.Connect(sim.server.Port()));
    EXPECT_EQ(client.Login(c.login, c.password), c.verdict) << c.login << " / " << c.password;
    if (std::string(c.verdict) == "Wrong login") {
      EXPECT_TRUE(client.ClosedByPeer()) << c.login;
    }
  }
}

TEST(SimLogin, PromptsComeWithoutLineEndAfterRemoteOnly) {
  SimServer sim;
  ASSERT_TRUE(sim.started) << sim.error;
  RawClient client;
  ASSERT_TRUE(client.Connect(sim.server.Port()));
  EXPECT_TRUE(client.Silent(200)) << "nothing before the greeting";
  client.Send("GETMAP");  // not a greeting: ignored
  EXPECT_TRUE(client.Silent(200));
  client.Send("remote");
  EXPECT_EQ(client.Bytes(6), "Login:");
  EXPECT_TRUE(client.Silent(100));
  client.Send("disp");
  EXPECT_EQ(client.Bytes(9), "Password:");
  client.Send("123");
  EXPECT_EQ(client.Line(), "OK Full");
}

TEST(SimLogin, OptionsReplaceTheScenarioAccounts) {
  auto options = simtest::QuietOptions();
  options.login = "оператор";
  options.password = "x";
  SimServer sim(simtest::MakeTestScenario(), options);
  ASSERT_TRUE(sim.started) << sim.error;
  RawClient a, b;
  ASSERT_TRUE(a.Connect(sim.server.Port()));
  EXPECT_EQ(a.Login("disp", "123"), "Wrong login");
  ASSERT_TRUE(b.Connect(sim.server.Port()));
  EXPECT_EQ(b.Login("оператор", "x"), "OK Full");
}

TEST(SimLogin, NoAccountsAcceptsAnyone) {
  auto scenario = simtest::MakeTestScenario();
  scenario->accounts.clear();
  SimServer sim(scenario);
  ASSERT_TRUE(sim.started) << sim.error;
  RawClient client;
  ASSERT_TRUE(client.Connect(sim.server.Port()));
  EXPECT_EQ(client.Login("whoever", ""), "OK Full");
}

TEST(SimCatalogue, GetMapListsMapsAndLayoutWithDerivedCounters) {
  SimServer sim;
  ASSERT_TRUE(sim.started) << sim.error;
  RawClient client;
  LogIn(client, sim.server);
  ASSERT_TRUE(client.Send("GETMAP"));
  auto lines = client.ListUntilEnd();
  ASSERT_TRUE(lines.has_value());
  const std::vector<std::string> expected = {
      "MAPCOUNT=2",
      "MAP=0 NAME=\"Район\" PICT=1",
      "MAP=1 NAME=\"Холл\" PICT=0",
      "LIFTBREAK X=10 Y=11 W=60 H=24 FONTNAME=\"Tahoma\" VALUE=1",  // Лифт 2 is faulty from the start
      "OHRALR X=80 Y=11 W=60 H=24 FONTNAME=\"Tahoma\" VALUE=0",
      "PUERR X=150 Y=11 W=60 H=24 FONTNAME=\"Arial\" VALUE=0",
      "CLOCK X=220 Y=11 W=100 H=24 FONTNAME=\"Arial\" COLOR=0 FONTCOLOR=16777215 FONTSIZE=14 TRANSPARENT=0 "
      "BOLD=1 "
      "ITALIC=0",
      "SPEAKER X=330 Y=11 W=32 H=32 CALL=0",
  };
  EXPECT_EQ(*lines, expected);
}

TEST(SimCatalogue, GetMapObjAndGetTextGiveEveryKeyInRecordOrder) {
  SimServer sim;
  ASSERT_TRUE(sim.started) << sim.error;
  RawClient client;
  LogIn(client, sim.server);
  const std::vector<std::string> objects = {
      "OBJCOUNT=5",
      "OBJ=0 MAP=0 X=10 Y=20 NAME=\"Лифт 1\" TYPE=1 IML=\"lift\" PCOUNT=4 IDX=0 HINT=\"Лифт 1$ул. Ленина, "
      "5\" "
      "CAPVISIBLE=1 CX=0 CY=2 CAPTION=\"Л1\" CAPCOLOR=-1",
      "OBJ=1 MAP=0 X=30 Y=20 NAME=\"Лифт 2\" TYPE=1 IML=\"lift\" PCOUNT=4 IDX=1 HINT=\"Лифт 2\"",
      "OBJ=2 MAP=0 X=50 Y=20 NAME=\"Датчик 1\" TYPE=2 IML=\"sensor\" PCOUNT=2 IDX=0 HINT=\"Шлейф\"",
      "OBJ=3 MAP=1 X=10 Y=30 NAME=\"ПУ 1\" TYPE=3 IML=\"pu\" PCOUNT=2 IDX=0 HINT=\"ПУ\" CAPTION=\"ПУ\" "
      "CAPCOLOR=255",
      "OBJ=4 MAP=1 X=30 Y=20 NAME=\"Лифт 3\" TYPE=1 IML=\"lift\" PCOUNT=2 IDX=0 HINT=\"Лифт 2\"",
  };
  EXPECT_EQ(client.Request("GETMAPOBJ", 6), objects);
  EXPECT_TRUE(client.Silent(100)) << "no END after the counted object lines";
  const std::vector<std::string> texts = {
      "TEXTCOUNT=2",
      "IDX=0 MAP=0 X=5 Y=40 W=50 H=14 CAPTION=\"В холл\" FONTNAME=\"Tahoma\" BOLD=1 ACTION=1 APARAM=1",
      "IDX=1 MAP=1 X=1 Y=2 W=3 H=4 CAPTION=\"Холл\"",
  };
  EXPECT_EQ(client.Request("GETTEXT", 3), texts);
}

TEST(SimCatalogue, QuotedValuesTravelInCodePage1251) {
  SimServer sim;
  ASSERT_TRUE(sim.started) << sim.error;
  RawClient client;
  LogIn(client, sim.server);
  ASSERT_TRUE(client.Send("GETMAP"));
  ASSERT_EQ(client.RawLine(), "MAPCOUNT=2");
  auto raw = client.RawLine();
  ASSERT_TRUE(raw.has_value());
  EXPECT_EQ(*raw, "MAP=0 NAME=\"\xD0\xE0\xE9\xEE\xED\" PICT=1");  // Район in code page 1251
}

TEST(SimCatalogue, TextsWithQuotesOrLineBreaksNeverBreakTheLine) {
  EXPECT_EQ(orvexsim::Quoted("a\"b\r\nc"), "\"a'b  c\"");
}

// Decodes a DATA line's Base64 into PNG bytes.
std::string PngOf(const std::string& line, const std::string& prefix) {
  EXPECT_EQ(line.compare(0, prefix.size() + 1, prefix + "\""), 0) << line.substr(0, 40);
  EXPECT_EQ(line.back(), '"');
  std::string png;
  EXPECT_TRUE(vertamo::Base64Decode(line.substr(prefix.size() + 1, line.size() - prefix.size() - 2), png));
  return png;
}

TEST(SimPictures, MapBackgroundAndItsChecksumMatchTheCacheFile) {
  auto scenario = simtest::MakeTestScenario();
  SimServer sim(scenario);
  ASSERT_TRUE(sim.started) << sim.error;
  RawClient client;
  LogIn(client, sim.server);
  auto lines = client.Request("GETPICTMAP MAP=0", 2);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "MAP=0 W=40 H=30");
  std::string png = PngOf(lines[1], "DATA=");
  vertamo::Image image;
  ASSERT_TRUE(vertamo::DecodePng(png, image));
  EXPECT_EQ(image.argb, scenario->maps[0].background.argb);
  // The workstation keeps the picture re-encoded: the same bytes, so the same sum.
  std::string cacheFile;
  ASSERT_TRUE(vertamo::CacheFileBytes(png, cacheFile));
  EXPECT_EQ(cacheFile, png);
  auto cs = client.Request("GETPICTMAPCS MAP=0", 1);
  ASSERT_EQ(cs.size(), 1u);
  EXPECT_EQ(cs[0], "MAP=0 TRANSPARENT=0 CS=\"" +
                       vertamo::FormatPictureChecksum(vertamo::PictureChecksum(cacheFile)) + "\"");
  EXPECT_EQ(client.Request("GETPICTMAP MAP=1", 1), std::vector<std::string>{"ERROR No picture for map 1"});
  EXPECT_EQ(client.Request("GETPICTMAPCS MAP=7", 1), std::vector<std::string>{"ERROR No picture for map 7"});
}

TEST(SimPictures, PictureSetsAndTheirChecksumsMatchTheCacheFiles) {
  auto scenario = simtest::MakeTestScenario();
  SimServer sim(scenario);
  ASSERT_TRUE(sim.started) << sim.error;
  RawClient client;
  LogIn(client, sim.server);
  struct Case {
    int obj;
    int pcount;
    const char* head;
    int set;
  };
  const Case cases[] = {
      {0, 4, "OBJ=0 PCOUNT=4 W=8 H=8 TRANSPARENT=1", 0},
      {2, 2, "OBJ=2 PCOUNT=2 W=6 H=6 TRANSPARENT=1", 1},
      {3, 2, "OBJ=3 PCOUNT=2 W=10 H=10 TRANSPARENT=0", 2},
      {4, 2, "OBJ=4 PCOUNT=2 W=8 H=8 TRANSPARENT=1", 0},  // PCOUNT of the object, not of its set
  };
  for (const Case& c : cases) {
    auto lines = client.Request("GETPICTIML OBJ=" + std::to_string(c.obj), c.pcount + 1);
    ASSERT_EQ(lines.size(), static_cast<size_t>(c.pcount + 1));
    EXPECT_EQ(lines[0], c.head);
    uint32_t sum = 0;
    for (int j = 0; j < c.pcount; ++j) {
      std::string png = PngOf(lines[j + 1], "DATA" + std::to_string(j) + "=");
      vertamo::Image image;
      ASSERT_TRUE(vertamo::DecodePng(png, image));
      EXPECT_EQ(image.argb, scenario->pictureSets[c.set].pictures[j].image.argb);
      std::string cacheFile;
      ASSERT_TRUE(vertamo::CacheFileBytes(png, cacheFile));
      EXPECT_EQ(cacheFile, png);
      sum = vertamo::AddToPictureChecksum(sum, cacheFile);
    }
    auto cs = client.Request("GETPICTIMLCS OBJ=" + std::to_string(c.obj), 1);
    ASSERT_EQ(cs.size(), 1u);
    const std::string head = c.head;
    EXPECT_EQ(cs[0], head.substr(0, head.find(" W=")) + head.substr(head.find(" TRANSPARENT=")) + " CS=\"" +
                         vertamo::FormatPictureChecksum(sum) + "\"");
  }
  EXPECT_EQ(client.Request("GETPICTIML OBJ=5", 1),
            std::vector<std::string>{"ERROR No picture set for object 5"});
  EXPECT_EQ(client.Request("GETPICTIMLCS OBJ=-1", 1),
            std::vector<std::string>{"ERROR No picture set for object -1"});
}

TEST(SimClicks, MouseDownObjRepliesWithTheCallOfTheObject) {
  SimServer sim;
  ASSERT_TRUE(sim.started) << sim.error;
  RawClient client;
  LogIn(client, sim.server);
  struct Case {
    const char* request;
    const char* reply;
  };
  const Case cases[] = {
      {"MOUSEDOWN OBJ=0",
       "OBJ=0 TYPE=1 KelmoGW=\"127.0.0.1\" H323=1720 COM=2 ADR=5 PUL=1 PULTEXT=\"Начать разговор с кабиной\" "
       "PU=2"},
      {"MOUSEDOWN OBJ=2", "OBJ=2 TYPE=2"},
      {"MOUSEDOWN OBJ=9", "ERROR No object 9"},
      {"STARTSPEAK OBJ=0 PU=1", "OK"},
      {"ENDSPEAK OBJ=0 PU=1", "OK"},
      {"HELLO", "ERROR Unknown request"},
      {"GETPICTMAP", "ERROR Unknown request"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(client.Request(c.request, 1), std::vector<std::string>{c.reply}) << c.request;
}

TEST(SimClicks, ReportsListTheObjectsInTheStateOfTheirCounter) {
  SimServer sim;
  ASSERT_TRUE(sim.started) << sim.error;
  RawClient client;
  LogIn(client, sim.server);
  ASSERT_TRUE(client.Send("MOUSEDOWN LIFTBREAK"));
  EXPECT_EQ(client.ListUntilEnd(), (std::vector<std::string>{
                                       "VIEWHEADER T1=\"Лифт\" T2=\"Адрес\" T3=\"Состояние\"",
                                       "VIEW T1=\"Лифт 2\" T2=\"ул. Ленина, 7\" T3=\"Неисправен\" OBJ=1",
                                   }));
  ASSERT_TRUE(client.Send("MOUSEDOWN OHRALR"));
  EXPECT_EQ(client.ListUntilEnd(),
            (std::vector<std::string>{"VIEWHEADER T1=\"Датчик\" T2=\"Адрес\" T3=\"Состояние\""}));
  ASSERT_TRUE(client.Send("mousedown puerr"));
  EXPECT_EQ(
      client.ListUntilEnd(),
      (std::vector<std::string>{"VIEWHEADER T1=\"Переговорное устройство\" T2=\"Адрес\" T3=\"Состояние\""}));
}

TEST(SimClicks, FixedReportRowsReplaceTheDerivedOnes) {
  auto scenario = simtest::MakeTestScenario();
  scenario->reports.puErr.rows = std::vector<orvexsim::ReportRow>{{"а", "б", "в", 3}, {"г", "д", "е", -1}};
  SimServer sim(scenario);
  ASSERT_TRUE(sim.started) << sim.error;
  RawClient client;
  LogIn(client, sim.server);
  ASSERT_TRUE(client.Send("MOUSEDOWN PUERR"));
  auto lines = client.ListUntilEnd();
  ASSERT_TRUE(lines.has_value());
  ASSERT_EQ(lines->size(), 3u);
  EXPECT_EQ((*lines)[1], "VIEW T1=\"а\" T2=\"б\" T3=\"в\" OBJ=3");
  EXPECT_EQ((*lines)[2], "VIEW T1=\"г\" T2=\"д\" T3=\"е\" OBJ=-1");
}

TEST(SimStart, RefusesAScenarioThatCannotBeServed) {
  auto scenario = simtest::MakeTestScenario();
  scenario->objects[2].iml = "nosuchset";
  orvexsim::Server server;
  std::string error;
  EXPECT_FALSE(server.Start(scenario, simtest::QuietOptions(), &error));
  EXPECT_EQ(error, "scenario \"test\": objects[2].iml: no picture set \"nosuchset\"");
  EXPECT_FALSE(server.Running());
}

TEST(SimStart, RefusesABadAddressAndAPortInUse) {
  SimServer first;
  ASSERT_TRUE(first.started) << first.error;
  orvexsim::Server second;
  auto options = simtest::QuietOptions();
  options.port = first.server.Port();
  std::string error;
  EXPECT_FALSE(second.Start(simtest::MakeTestScenario(), options, &error));
  EXPECT_NE(error.find("cannot listen on 127.0.0.1:" + std::to_string(first.server.Port())),
            std::string::npos)
      << error;
  options.port = 0;
  options.bind = "localhost";
  EXPECT_FALSE(second.Start(simtest::MakeTestScenario(), options, &error));
  EXPECT_EQ(error, "cannot listen on \"localhost\": not an IPv4 address");
}

}  // namespace
