// The server's replies as built, without a socket: what the faults change in
// the lines, and what the feed carries from one poll to the next.
#include <gtest/gtest.h>

#include <functional>

#include "platform/cp1251.h"
#include "sim/test_scenario.h"
#include "tools/orvex-sim/replies.h"

namespace orvexsim {
namespace {

// The test district (sim/test_scenario.h) as the server holds it.
struct District {
  std::shared_ptr<const Scenario> scenario = simtest::MakeTestScenario();
  Catalog catalog{scenario};
  PictureCache pictures{scenario};
  View view{&catalog};
};

ActiveFaults With(FaultKind kind, int value = 0) {
  Fault fault;
  fault.kind = kind;
  fault.value = value;
  return ActiveFaults({fault});
}

std::vector<std::string> Utf8(const std::vector<std::string>& cp1251) {
  std::vector<std::string> out;
  for (const std::string& line : cp1251) out.push_back(vertamo::Cp1251ToUtf8(line));
  return out;
}

TEST(SimReplies, FaultsChangeTheLinesTheyName) {
  using Build = std::function<std::vector<std::string>(District&, const ActiveFaults&)>;
  const Build getMap = [](District& d, const ActiveFaults& f) { return GetMapReply(*d.scenario, {}, f); };
  const Build mouseDown0 = [](District& d, const ActiveFaults& f) {
    return MouseDownReply(*d.scenario, 0, f);
  };
  const Build liftReport = [](District& d, const ActiveFaults& f) {
    return ReportReply(d.catalog, d.view, ReportKind::LiftBreak, f);
  };
  struct Case {
    const char* what;
    Build build;
    ActiveFaults faults;
    int line;  // -1: the last one
    const char* expected;
  };
  const Case cases[] = {
      {"GETMAP", getMap, {}, 1, "MAP=0 NAME=\"Район\" PICT=1"},
      {"GETMAP, the second record numbered wrong", getMap, With(FaultKind::WrongRecordNumber, 1), 2,
       "MAP=2 NAME=\"Холл\" PICT=0"},
      {"GETMAP, a key missing", getMap, With(FaultKind::MissingKey), 1, "MAP=0 NAME=\"Район\""},
      {"GETMAP, lower case", getMap, With(FaultKind::LowerCase), -1, "end"},
      {"MOUSEDOWN OBJ=0, the gateway missing", mouseDown0, With(FaultKind::MissingKey), 0,
       "OBJ=0 TYPE=1 H323=1720 COM=2 ADR=5 PUL=1 PULTEXT=\"Начать разговор с кабиной\" PU=2"},
      {"MOUSEDOWN OBJ=-1",
       [](District& d, const ActiveFaults& f) { return MouseDownReply(*d.scenario, -1, f); },
       {},
       0,
       "ERROR No object -1"},
      {"report, its first row numbered wrong", liftReport, With(FaultKind::WrongRecordNumber), 1,
       "VIEW T1=\"Лифт 2\" T2=\"ул. Ленина, 7\" T3=\"Неисправен\" OBJ=2"},
      {"GETPICTMAPCS of a map without picture",
       [](District& d, const ActiveFaults& f) {
         return GetPictMapReply(*d.scenario, d.pictures, 1, true, f);
       },
       {},
       0,
       "ERROR No picture for map 1"},
      {"GETPICTIMLCS OBJ=5",
       [](District& d, const ActiveFaults& f) { return GetPictImlReply(d.catalog, d.pictures, 5, true, f); },
       {},
       0,
       "ERROR No picture set for object 5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    District district;
    const std::vector<std::string> lines = Utf8(c.build(district, c.faults));
    ASSERT_LT(c.line, static_cast<int>(lines.size()));
    EXPECT_EQ(c.line < 0 ? lines.back() : lines[c.line], c.expected);
  }
}

TEST(SimReplies, ObjectsAndReportsShowWhatTheConnectionWasSent) {
  District district;
  ASSERT_TRUE(district.view.ApplyLine("UPDATE OBJ=1 IDX=0"));  // Лифт 2 repaired
  EXPECT_EQ(Utf8(GetMapObjReply(district.catalog, district.view, {}))[2],
            "OBJ=1 MAP=0 X=30 Y=20 NAME=\"Лифт 2\" TYPE=1 IML=\"lift\" PCOUNT=4 IDX=0 HINT=\"Лифт 2\"");
  EXPECT_EQ(Utf8(ReportReply(district.catalog, district.view, ReportKind::LiftBreak, {})),
            (std::vector<std::string>{"VIEWHEADER T1=\"Лифт\" T2=\"Адрес\" T3=\"Состояние\"", "END"}));
}

TEST(SimReplies, TheFeedTellsEachChangeOnce) {
  District district;
  FeedState feed(&district.catalog);
  feed.told = LayoutCounts(*district.scenario, feed.view);
  feed.timelineDone.assign(district.scenario->feed.timeline.size(), false);
  EXPECT_EQ(feed.told.liftBreak, 1);  // Лифт 2 is faulty from the start

  EXPECT_EQ(GetChangesReply(district.catalog, 0, {"UPDATE OBJ=1 IDX=0"}, 0, feed, {}),
            (std::vector<std::string>{"UPDATE OBJ=1 IDX=0", "LIFTBREAK VALUE=0", "END"}));
  EXPECT_EQ(feed.view.Object(1).idx, 0);
  EXPECT_EQ(GetChangesReply(district.catalog, 0, {}, 1, feed, {}), std::vector<std::string>{"END"});
  EXPECT_EQ(GetChangesReply(district.catalog, 0, {"RELOAD"}, 2, feed, With(FaultKind::LowerCase)),
            (std::vector<std::string>{"RELOAD", "end"}));
}

TEST(SimServe, SnapshotOfAServerNotRunningDoesNotCrash) {
  Server server;
  EXPECT_EQ(server.Snapshot().ObjectCount(), 0);
  std::string error;
  ASSERT_TRUE(server.Start(simtest::MakeTestScenario(), simtest::QuietOptions(), &error)) << error;
  server.Stop();
  EXPECT_EQ(server.Snapshot().ObjectCount(), 5);
  EXPECT_EQ(server.CountsNow().liftBreak, 1);
}

}  // namespace
}  // namespace orvexsim
