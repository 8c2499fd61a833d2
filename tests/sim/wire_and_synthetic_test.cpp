// The server's request parser, its key readers, fault texts, and the
// synthetic catalogue.
#include <gtest/gtest.h>

#include "sim/raw_client.h"
#include "sim/test_scenario.h"
#include "tools/orvex-sim/synthetic.h"
#include "tools/orvex-sim/wire.h"

namespace {

using orvexsim::ReportKind;
using orvexsim::Request;
using orvexsim::RequestKind;

TEST(SimWire, RequestLinesAreRecognised) {
  struct Case {
    const char* line;
    RequestKind kind;
    std::optional<int> map, obj, pu;
  };
  const Case cases[] = {
      {"", RequestKind::Empty, {}, {}, {}},
      {"   ", RequestKind::Empty, {}, {}, {}},
      {"REMOTE", RequestKind::Remote, {}, {}, {}},
      {"getmap", RequestKind::GetMap, {}, {}, {}},
      {"GETMAPOBJ", RequestKind::GetMapObj, {}, {}, {}},
      {"GETTEXT", RequestKind::GetText, {}, {}, {}},
      {"GETCHANGES", RequestKind::GetChanges, {}, {}, {}},
      {"GETPICTMAP MAP=3", RequestKind::GetPictMap, 3, {}, {}},
      {"GETPICTMAPCS MAP=-1", RequestKind::GetPictMapCs, -1, {}, {}},
      {"GETPICTMAP", RequestKind::Unknown, {}, {}, {}},
      {"GETPICTIML OBJ=12", RequestKind::GetPictIml, {}, 12, {}},
      {"GETPICTIMLCS  OBJ=7", RequestKind::GetPictImlCs, {}, 7, {}},
      {"MOUSEDOWN OBJ=4", RequestKind::MouseDownObj, {}, 4, {}},
      {"MOUSEDOWN", RequestKind::Unknown, {}, {}, {}},
      {"STARTSPEAK OBJ=4 PU=2", RequestKind::StartSpeak, {}, 4, 2},
      {"ENDSPEAK OBJ=4 PU=-1", RequestKind::EndSpeak, {}, 4, -1},
      {"STARTSPEAK PU=2", RequestKind::Unknown, {}, {}, 2},
      {"GETMAPX", RequestKind::Unknown, {}, {}, {}},
      {"GETPICTIML XOBJ=3", RequestKind::Unknown, {}, {}, {}},
      {"GETPICTIML OBJ=99999999999", RequestKind::GetPictIml, {}, 2147483647, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Request r = orvexsim::ParseRequest(c.line);
    EXPECT_EQ(r.kind, c.kind);
    EXPECT_EQ(r.map, c.map);
    EXPECT_EQ(r.obj, c.obj);
    EXPECT_EQ(r.pu, c.pu);
  }
  const std::pair<const char*, ReportKind> reports[] = {{"MOUSEDOWN LIFTBREAK", ReportKind::LiftBreak},
                                                        {"mousedown ohralr", ReportKind::OhrAlr},
                                                        {"MOUSEDOWN PUERR", ReportKind::PuErr}};
  for (const auto& [line, kind] : reports) {
    Request r = orvexsim::ParseRequest(line);
    EXPECT_EQ(r.kind, RequestKind::Report) << line;
    EXPECT_EQ(r.report, kind) << line;
  }
}

TEST(SimWire, KeyReadersFollowTheClientsRules) {
  EXPECT_EQ(orvexsim::FindIntKey("OBJ=12 MAP=-3", " MAP="), -3);
  EXPECT_EQ(orvexsim::FindIntKey("OBJ=12 MAP=-3", " X="), std::nullopt);
  EXPECT_EQ(orvexsim::FindIntKey("UPDATE OBJ=5 IDX=", " IDX="), 0);
  EXPECT_EQ(orvexsim::FindIntKey("A CX=1 X=2", " X="), 2);
  EXPECT_EQ(orvexsim::FindQuotedKey("A T1=\"x y\" T2=\"z", " T1="), "x y");
  EXPECT_EQ(orvexsim::FindQuotedKey("A T1=\"x y\" T2=\"z", " T2="), "z");
  EXPECT_EQ(orvexsim::FindQuotedKey("A T1=x", " T1="), std::nullopt);
  EXPECT_EQ(orvexsim::IntItem("X", -5), " X=-5");
  EXPECT_EQ(orvexsim::TextItem("NAME", "Лифт"), " NAME=\"\xCB\xE8\xF4\xF2\"");
}

TEST(SimWire, FaultTexts) {
  std::string error;
  auto f = orvexsim::ParseFault("drip@getpictiml,connection=1,occurrence=2,delay=5,value=9", &error);
  ASSERT_TRUE(f.has_value()) << error;
  EXPECT_EQ(f->kind, orvexsim::FaultKind::Drip);
  EXPECT_EQ(f->step, orvexsim::Step::GetPictIml);
  EXPECT_EQ(f->connection, 1);
  EXPECT_EQ(f->occurrence, 2);
  EXPECT_EQ(f->delayMs, 5);
  EXPECT_EQ(f->value, 9);
  f = orvexsim::ParseFault("refuse_login", &error);
  ASSERT_TRUE(f.has_value()) << error;
  EXPECT_EQ(f->step, orvexsim::Step::Login);
  const std::pair<const char*, const char*> bad[] = {
      {"explode@getmap", "fault \"explode@getmap\": unknown kind \"explode\""},
      {"drop@nowhere", "fault \"drop@nowhere\": unknown step \"nowhere\""},
      {"drop", "fault \"drop\": a step is needed (kind@step)"},
      {"drop@getmap,delay", "fault \"drop@getmap,delay\": \"delay\" is not key=number"},
      {"drop@getmap,delay=x", "fault \"drop@getmap,delay=x\": \"delay=x\" is not key=number"},
      {"drop@getmap,speed=1", "fault \"drop@getmap,speed=1\": unknown item \"speed\""},
  };
  for (const auto& [params, message] : bad) {
    EXPECT_FALSE(orvexsim::ParseFault(params, &error).has_value()) << params;
    EXPECT_EQ(error, message);
  }
}

TEST(SimSynthetic, SpecTexts) {
  orvexsim::SyntheticParams params;
  std::string error;
  ASSERT_TRUE(orvexsim::ParseSyntheticParams(
      "maps=3,objects=50,sets=4,pictures=6,background=320x200,texts=7,flood=11,picture=16x16", &params, &error))
      << error;
  EXPECT_EQ(params.maps, 3);
  EXPECT_EQ(params.objects, 50);
  EXPECT_EQ(params.sets, 4);
  EXPECT_EQ(params.pictures, 6);
  EXPECT_EQ(params.backgroundWidth, 320);
  EXPECT_EQ(params.backgroundHeight, 200);
  EXPECT_EQ(params.texts, 7);
  EXPECT_EQ(params.flood, 11);
  EXPECT_EQ(params.pictureSize, 16);
  const std::pair<const char*, const char*> bad[] = {
      {"maps=0", "synthetic catalogue: maps must be at least 1"},
      {"planets=3", "synthetic catalogue: unknown item \"planets\""},
      {"maps=x", "synthetic catalogue: \"maps=x\" is not a valid item"},
      {"maps", "synthetic catalogue: \"maps\" is not a valid item"},
      {"background=12", "synthetic catalogue: \"background=12\" is not a valid item"},
      {"background=9000x10",
       "synthetic catalogue: background sides must lie in 0..8192 (0x0: no backgrounds)"},
      {"pictures=0", "synthetic catalogue: pictures per set must lie in 1..64"},
      {"objects=5,sets=0", "synthetic catalogue: objects need at least one picture set"},
  };
  for (const auto& [text, message] : bad) {
    orvexsim::SyntheticParams s;
    EXPECT_FALSE(orvexsim::ParseSyntheticParams(text, &s, &error)) << text;
    EXPECT_EQ(error, message);
  }
}

TEST(SimSynthetic, TheCatalogueIsValidCompleteRepeatableAndServed) {
  orvexsim::SyntheticParams params;
  std::string error;
  ASSERT_TRUE(orvexsim::ParseSyntheticParams(
      "maps=3,objects=40,sets=5,pictures=7,background=64x48,texts=9,flood=5", &params, &error));
  auto scenario = std::make_shared<orvexsim::Scenario>(orvexsim::BuildSyntheticScenario(params));
  ASSERT_TRUE(orvexsim::ValidateScenario(*scenario, &error)) << error;
  EXPECT_EQ(scenario->maps.size(), 3u);
  EXPECT_EQ(scenario->objects.size(), 40u);
  EXPECT_EQ(scenario->pictureSets.size(), 5u);
  EXPECT_EQ(scenario->pictureSets[4].pictures.size(), 7u);
  EXPECT_EQ(scenario->texts.size(), 9u);
  const auto again = orvexsim::BuildSyntheticScenario(params);
  EXPECT_EQ(again.maps[1].background.argb, scenario->maps[1].background.argb);
  EXPECT_EQ(again.pictureSets[3].pictures[2].image.argb, scenario->pictureSets[3].pictures[2].image.argb);
  EXPECT_NE(scenario->maps[0].background.argb, scenario->maps[1].background.argb);

  simtest::SimServer sim(scenario);
  ASSERT_TRUE(sim.started) << sim.error;
  simtest::RawClient client;
  simtest::LogIn(client, sim.server);
  client.Send("GETMAP");
  auto map = client.ListUntilEnd();
  ASSERT_TRUE(map.has_value());
  EXPECT_EQ(map->front(), "MAPCOUNT=3");
  auto objects = client.Request("GETMAPOBJ", 41);
  ASSERT_EQ(objects.size(), 41u);
  EXPECT_EQ(objects.front(), "OBJCOUNT=40");
  auto set = client.Request("GETPICTIML OBJ=6", 8);
  ASSERT_EQ(set.size(), 8u);
  EXPECT_EQ(set[0], "OBJ=6 PCOUNT=7 W=32 H=32 TRANSPARENT=1");
  client.Send("GETCHANGES");
  auto feed = client.ListUntilEnd();
  ASSERT_TRUE(feed.has_value());
  ASSERT_GE(feed->size(), 5u);
  EXPECT_EQ((*feed)[0], "UPDATE OBJ=0 IDX=1");
  EXPECT_EQ((*feed)[4], "UPDATE OBJ=4 IDX=1");
}

}  // namespace
