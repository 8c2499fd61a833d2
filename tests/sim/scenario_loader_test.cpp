// Scenario folders: the sample loads; broken files are refused with the file,
// the place and what is wrong.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "codec/png_codec.h"
#include "sim/raw_client.h"
#include "sim/test_scenario.h"
#include "tools/orvex-sim/scenario_loader.h"

namespace {

using orvexsim::Scenario;
using orvexsim::StateRole;

const std::string kSample = std::string(VERTAMO_SOURCE_DIR) + "/tools/orvex-sim/scenarios/sample";

TEST(SimScenarioFolder, TheSampleLoadsWithEverySection) {
  Scenario s;
  std::string error;
  ASSERT_TRUE(orvexsim::LoadScenario(kSample, &s, &error)) << error;
  EXPECT_EQ(s.name, "Пример");
  ASSERT_EQ(s.accounts.size(), 2u);
  EXPECT_EQ(s.accounts[1].login, "Диспетчер");
  ASSERT_EQ(s.maps.size(), 3u);
  EXPECT_EQ(s.maps[0].name, "Район");
  EXPECT_EQ(s.maps[0].background.width, 64);
  EXPECT_EQ(s.maps[0].background.height, 48);
  EXPECT_FALSE(s.maps[2].HasPicture());
  EXPECT_TRUE(s.layout.liftBreak.present);
  EXPECT_TRUE(s.layout.clock.present);
  EXPECT_EQ(s.layout.clock.fontColor, 0x00FFFF);  // "#FFFF00" (yellow) as 0x00BBGGRR
  EXPECT_EQ(s.layout.clock.bold, 1);
  ASSERT_EQ(s.pictureSets.size(), 3u);
  ASSERT_EQ(s.pictureSets[0].pictures.size(), 3u);
  EXPECT_EQ(s.pictureSets[0].pictures[1].role, StateRole::LiftFault);
  EXPECT_EQ(s.pictureSets[0].pictures[1].state, "Неисправен");
  EXPECT_EQ(s.pictureSets[0].pictures[0].image.argb[0] >> 24, 0u);  // a transparent corner
  ASSERT_EQ(s.objects.size(), 5u);
  EXPECT_EQ(s.objects[1].map, 0);  // given by the map's name
  EXPECT_EQ(s.objects[0].capColor, -1);
  ASSERT_TRUE(s.objects[0].call.has_value());
  EXPECT_EQ(s.objects[0].call->h323, 1720);
  EXPECT_EQ(s.objects[0].call->pulText, "Начать разговор с кабиной");
  EXPECT_FALSE(s.objects[0].call->puText.has_value());
  EXPECT_FALSE(s.objects[2].call.has_value());
  ASSERT_EQ(s.texts.size(), 2u);
  EXPECT_EQ(s.texts[0].action, 1);
  EXPECT_EQ(s.texts[0].color, 0xFFFFFF);
  EXPECT_EQ(s.texts[0].fontColor, 0xFF0000);  // "#0000FF" (blue)
  EXPECT_EQ(s.texts[1].videoTag, "cam1");
  EXPECT_FALSE(s.texts[1].action.has_value());
  EXPECT_EQ(s.reports.liftBreak.header[1], "Адрес");
  ASSERT_EQ(s.feed.timeline.size(), 2u);
  EXPECT_EQ(s.feed.timeline[1].poll, 2);
  EXPECT_FALSE(s.feed.live.enabled);
  ASSERT_EQ(s.feed.live.kinds.size(), 1u);
  EXPECT_EQ(s.feed.live.kinds[0].color, 0x0000FF);
  EXPECT_EQ(s.feed.live.kinds[0].objectTypes, std::vector<int>{1});
}

TEST(SimScenarioFolder, TheSampleIsServed) {
  auto s = std::make_shared<Scenario>();
  std::string error;
  ASSERT_TRUE(orvexsim::LoadScenario(kSample + "/scenario.json", s.get(), &error)) << error;
  simtest::SimServer sim(s);
  ASSERT_TRUE(sim.started) << sim.error;
  simtest::RawClient client;
  ASSERT_TRUE(client.Connect(sim.server.Port()));
  ASSERT_EQ(client.Login("Диспетчер", "пароль"), "OK Full");
  auto lines = client.Request("GETMAPOBJ", 6);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[5],
            "OBJ=4 MAP=1 X=30 Y=30 NAME=\"Лифт 3\" TYPE=1 IML=\"lift\" PCOUNT=3 IDX=1 HINT=\"Лифт 3\"");
  ASSERT_TRUE(client.Send("GETCHANGES"));
  auto feed = client.ListUntilEnd();
  ASSERT_TRUE(feed.has_value());
  ASSERT_EQ(feed->size(), 1u);
  EXPECT_EQ(feed->front().rfind("LOG OBJ=0 COLOR=65280", 0), 0u);
}

// In-memory picture files for ParseScenario.
orvexsim::FileReader Files() {
  static const std::map<std::string, std::string> files = [] {
    std::map<std::string, std::string> f;
    f["ok.png"] = vertamo::EncodePng(simtest::Solid(4, 4, 0xFF112233u));
    f["bad.png"] = "GIF89a not a png";
    return f;
  }();
  return [](const std::string& name, std::string* bytes, std::string* error) {
    auto it = files.find(name);
    if (it == files.end()) {
      *error = "No such file or directory";
      return false;
    }
    *bytes = it->second;
    return true;
  };
}

// A scenario with one map, one set and one object, with `patch` spliced in.
std::string Minimal(const std::string& objectExtra = "", const std::string& rootExtra = "") {
  return R"({"maps": [{"name": "A", "background": "ok.png"}],
             "picturesets": [{"name": "lift", "pictures": [{"file": "ok.png"}, {"file": "ok.png", "role": "lift_fault"}]}],
             "objects": [{"map": 0, "x": 1, "y": 2, "name": "L", "iml": "lift")" +
         objectExtra + "}]" + rootExtra + "}";
}

TEST(SimScenarioFolder, BrokenFilesAreRefusedWithFilePlaceAndReason) {
  struct Case {
    std::string json;
    std::string error;  // the whole message
  };
  const Case cases[] = {
      {"",
       "s.json: line 1, column 1: syntax error while parsing value - unexpected end of input; expected '[', "
       "'{', or a literal"},
      {"{\n  \"maps\": [\n    {\"name\": \"A\",}\n  ]\n}", ""},  // checked by prefix below
      {"[]", "s.json: expected an object {...}, found an array"},
      {R"({"mapz": []})", "s.json: unknown key \"mapz\""},
      {R"({"maps": 5})", "s.json: maps: expected an array [...], found a number"},
      {R"({"maps": [{"background": "ok.png"}]})", "s.json: maps[0]: missing key \"name\""},
      {R"({"maps": [{"name": "A", "background": "missing.png"}]})",
       "s.json: maps[0].background: cannot read \"missing.png\": No such file or directory"},
      {R"({"maps": [{"name": "A", "background": "bad.png"}]})", ""},  // not a PNG: prefix below
      {R"({"maps": [{"name": "A", "background": "../secret.png"}]})",
       "s.json: maps[0].background: \"../secret.png\" must be a name inside the scenario's folder"},
      {R"({"maps": [{"name": "A", "background": "/etc/passwd"}]})",
       "s.json: maps[0].background: \"/etc/passwd\" must be a name inside the scenario's folder"},
      {R"({"maps": [{"name": "A\"B"}]})", "s.json: maps[0].name: a text value cannot hold a double quote"},
      {R"({"maps": [{"name": "日本"}]})",
       "s.json: maps[0].name: text \"日本\" holds characters code page 1251 cannot carry"},
      {Minimal(R"(, "x": "1")"), "s.json: objects[0].x: expected an integer, found a text"},
      {Minimal(R"(, "y": 3000000000)"), "s.json: objects[0].y: number out of range"},
      {Minimal(R"(, "hint": "a\nb")"), "s.json: objects[0].hint: a text value cannot hold a line break"},
      {Minimal(R"(, "idx": 2)"), "s.json: objects[0].idx: 2 is outside 0..1"},
      {Minimal(R"(, "pcount": 3)"),
       "s.json: objects[0].pcount: 3 is outside 1..2 (pictures of set \"lift\")"},
      {Minimal(R"(, "capcolor": "#12345")"),
       "s.json: objects[0].capcolor: expected a colour as an integer 0x00BBGGRR or \"#RRGGBB\", found "
       "\"#12345\""},
      {Minimal(R"(, "call": {"com": 1})"), "s.json: objects[0].call: missing key \"adr\""},
      {R"({"maps": [{"name": "A"}], "objects": [{"map": "B", "x": 1, "y": 1, "name": "L"}]})",
       "s.json: objects[0].map: no map named \"B\""},
      {R"({"maps": [{"name": "A"}], "objects": [{"map": 1, "x": 1, "y": 1, "name": "L"}]})",
       "s.json: objects[0].map: no map 1 (the scenario has 1)"},
      {R"({"maps": [{"name": "A"}], "objects": [{"map": 0, "x": 1, "y": 1, "name": "L", "iml": "lift"}]})",
       "s.json: objects[0].iml: no picture set \"lift\""},
      {R"({"picturesets": [{"name": "1abc", "pictures": [{"file": "ok.png"}]}]})",
       "s.json: picturesets[0].name: \"1abc\" is not an identifier (a letter or _, then letters, digits, _)"},
      {R"({"picturesets": [{"name": "a", "pictures": []}]})", "s.json: picturesets[0].pictures: no pictures"},
      {R"({"picturesets": [{"name": "a", "pictures": [{"file": "ok.png", "role": "broken"}]}]})",
       "s.json: picturesets[0].pictures[0].role: unknown role \"broken\" (normal, lift_fault, "
       "loop_triggered, "
       "intercom_fault, cabin_call, no_link)"},
      {R"({"picturesets": [{"name": "a", "pictures": [{"state": "x"}]}]})",
       "s.json: picturesets[0].pictures[0]: missing key \"file\""},
      {R"({"texts": [{"map": 0, "x": 0, "y": 0, "w": 1, "h": 1, "caption": "c"}]})",
       "s.json: texts[0].map: no map 0 (the scenario has 0)"},
      {R"({"layout": {"clock": {"x": 1, "y": 1, "w": 1}}})", "s.json: layout.clock: missing key \"h\""},
      {R"({"reports": {"liftbreak": {"header": ["a", "b"]}}})",
       "s.json: reports.liftbreak.header: expected three texts [\"..\", \"..\", \"..\"]"},
      {R"({"feed": {"timeline": [{"poll": 1, "second": 2, "lines": []}]}})",
       "s.json: feed.timeline[0]: give exactly one of \"poll\" and \"second\""},
      {R"({"feed": {"timeline": [{"poll": 0, "lines": []}]}})",
       "s.json: feed.timeline[0].poll: polls are counted from 1"},
      {R"({"feed": {"timeline": [{"poll": 1}]}})", "s.json: feed.timeline[0]: missing key \"lines\""},
      {R"({"feed": {"live": {"kinds": [{"role": "normal"}]}}})",
       "s.json: feed.live.kinds[0].role: an event cannot lead to the normal state"},
      {R"({"feed": {"live": {"pause_chance": 2}}})",
       "s.json: feed.live.pause_chance: must lie between 0 and 1"},
      {R"({"faults": [{"kind": "explode", "step": "getmap"}]})",
       "s.json: faults[0].kind: unknown fault \"explode\""},
      {R"({"faults": [{"kind": "drop"}]})", "s.json: faults[0]: missing key \"step\""},
      {R"({"faults": [{"kind": "drop", "step": "lunch"}]})",
       "s.json: faults[0].step: unknown step \"lunch\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    Scenario s;
    std::string error;
    EXPECT_FALSE(orvexsim::ParseScenario(c.json, "s.json", Files(), &s, &error));
    if (!c.error.empty()) {
      EXPECT_EQ(error, c.error);
    }
  }
  // Syntax errors name the line and column; a broken PNG says why.
  Scenario s;
  std::string error;
  EXPECT_FALSE(orvexsim::ParseScenario(cases[1].json, "s.json", Files(), &s, &error));
  EXPECT_EQ(error.rfind("s.json: line 3, column 18: syntax error", 0), 0u) << error;
  EXPECT_FALSE(orvexsim::ParseScenario(cases[7].json, "s.json", Files(), &s, &error));
  EXPECT_EQ(error.rfind("s.json: maps[0].background: \"bad.png\" is not a PNG picture: ", 0), 0u) << error;
}

TEST(SimScenarioFolder, AMinimalScenarioIsAccepted) {
  Scenario s;
  std::string error;
  ASSERT_TRUE(
      orvexsim::ParseScenario(Minimal(R"(, "idx": 1, "capcolor": "#FF0000")"), "s.json", Files(), &s, &error))
      << error;
  EXPECT_EQ(s.objects[0].capColor, 0x0000FF);
  EXPECT_TRUE(orvexsim::ParseScenario("{}", "s.json", Files(), &s, &error)) << error;
}

TEST(SimScenarioFolder, MissingFoldersAndFilesAreNamed) {
  Scenario s;
  std::string error;
  EXPECT_FALSE(orvexsim::LoadScenario("/nonexistent/scenario", &s, &error));
  EXPECT_EQ(error, "/nonexistent/scenario: cannot read: No such file or directory");
  const auto dir = std::filesystem::path(::testing::TempDir()) / "orvex_sim_loader_test";
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "scenario.json") << R"({"maps": [{"name": "A", "background": "gone.png"}]})";
  EXPECT_FALSE(orvexsim::LoadScenario(dir.string(), &s, &error));
  EXPECT_EQ(error, (dir / "scenario.json").string() +
                       ": maps[0].background: cannot read \"gone.png\": No such file or directory");
  std::filesystem::remove_all(dir);
}

}  // namespace
