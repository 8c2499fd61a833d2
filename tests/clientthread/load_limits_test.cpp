// The bounds of what a server can make the workstation hold, each one just
// under (the catalogue loads and the feed runs) and just over (the step fails
// with its Client.log line, written whatever Debug says, and a new cycle
// starts), against a scripted server with small bounds.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "clientthread/client_fixture.h"
#include "serverlink/picture_cache.h"

namespace vertamo {
namespace {

using testing::ClientFixture;
using testing::PictureData;
using testing::TServerScript;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string MapLine(int i) { return "MAP=" + std::to_string(i) + " NAME=\"m" + std::to_string(i) + "\" PICT=1"; }

std::string ObjectLine(int i, const std::string& set, int pictures) {
  return "OBJ=" + std::to_string(i) + " MAP=0 X=1 Y=2 NAME=\"o\" TYPE=1 IML=\"" + set +
         "\" PCOUNT=" + std::to_string(pictures) + " IDX=0 HINT=\"h\"";
}

// One map with a background of w × h, and per set (named s0, s1, …) one
// object whose pictures have the sizes given.
struct Catalogue {
  int mapWidth = 1, mapHeight = 1;
  std::vector<std::vector<std::pair<int, int>>> sets;

  void Script(TServerScript& s) const {
    s.getmap = {"MAPCOUNT=1", MapLine(0), "END"};
    s.getmapobj = {"OBJCOUNT=" + std::to_string(sets.size())};
    s.SetReply("GETPICTMAP MAP=0", {"MAP=0 W=1 H=1", "DATA=" + Quoted(PictureData(mapWidth, mapHeight))});
    for (size_t i = 0; i < sets.size(); ++i) {
      const int n = static_cast<int>(sets[i].size());
      s.getmapobj.push_back(ObjectLine(static_cast<int>(i), "s" + std::to_string(i), n));
      std::vector<std::string> reply{"OBJ=" + std::to_string(i) + " PCOUNT=" + std::to_string(n) +
                                     " W=1 H=1 TRANSPARENT=0"};
      for (int j = 0; j < n; ++j) {
        const auto [w, h] = sets[i][static_cast<size_t>(j)];
        reply.push_back("DATA" + std::to_string(j) + "=" + Quoted(PictureData(w, h)));
      }
      s.SetReply("GETPICTIML OBJ=" + std::to_string(i), reply);
    }
  }
};

// Small bounds, so that each case stays a few lines.
TLoadLimits SmallLimits() {
  TLoadLimits l;
  l.maxMaps = 2;
  l.maxLayoutLines = 2;
  l.maxObjects = 3;
  l.maxTexts = 2;
  l.maxPicturesPerSet = 2;
  l.maxPictures = 3;
  l.maxPictureSide = 4;
  l.maxPicturePixels = 12;
  l.maxCataloguePixels = 30;
  l.maxChangeLines = 3;
  return l;
}

using Scripter = std::function<void(TServerScript&)>;

Scripter Maps(int n) {
  return [n](TServerScript& s) {
    s.getmap = {"MAPCOUNT=" + std::to_string(n)};
    for (int i = 0; i < n; ++i) s.getmap.push_back("MAP=" + std::to_string(i) + " NAME=\"m\" PICT=0");
    s.getmap.push_back("END");
  };
}
Scripter LayoutLines(int n) {
  return [n](TServerScript& s) {
    s.getmap = {"MAPCOUNT=1", "MAP=0 NAME=\"m\" PICT=0"};
    for (int i = 0; i < n; ++i) s.getmap.push_back("SPEAKER X=1 Y=1 W=9 H=9 CALL=0");
    s.getmap.push_back("END");
  };
}
Scripter Objects(int n) {
  return [n](TServerScript& s) {
    s.getmap = {"MAPCOUNT=1", "MAP=0 NAME=\"m\" PICT=0", "END"};
    s.getmapobj = {"OBJCOUNT=" + std::to_string(n)};
    for (int i = 0; i < n; ++i) s.getmapobj.push_back(ObjectLine(i, "", 0));
  };
}
Scripter Texts(int n) {
  return [n](TServerScript& s) {
    s.getmap = {"MAPCOUNT=1", "MAP=0 NAME=\"m\" PICT=0", "END"};
    s.gettext = {"TEXTCOUNT=" + std::to_string(n)};
    for (int i = 0; i < n; ++i)
      s.gettext.push_back("IDX=" + std::to_string(i) + " MAP=0 X=0 Y=0 W=9 H=9 CAPTION=\"t\"");
  };
}
Scripter Pictures(Catalogue c) {
  return [c](TServerScript& s) { c.Script(s); };
}
Scripter ChangeLines(int n) {
  return [n](TServerScript& s) {
    s.getmap = {"MAPCOUNT=1", "MAP=0 NAME=\"m\" PICT=0", "END"};
    s.PushChanges(std::vector<std::string>(static_cast<size_t>(n), "LIFTBREAK VALUE=1"));
  };
}

struct BoundCase {
  const char* name;
  Scripter under, over;
  const char* line;  // the log line of "over"
  bool feed;         // a bound of the change feed (the load itself succeeds)
};

void PrintTo(const BoundCase& c, std::ostream* os) { *os << c.name; }

class Bounds : public ClientFixture {};

class LoadLimits : public ClientFixture, public ::testing::WithParamInterface<BoundCase> {};

TEST_P(LoadLimits, JustUnderLoadsAndJustOverFailsTheStepAndStartsAgain) {
  const BoundCase& c = GetParam();
  debug = false;
  timings.pollPeriodMs = 50;
  for (const bool over : {false, true}) {
    SCOPED_TRACE(over ? "just over" : "just under");
    script.replies.clear();
    script.changes.clear();
    (over ? c.over : c.under)(script);
    recorder.Reset();
    StartServer();
    client = std::make_unique<TOrvexClientThread>(Profile(server->port()), folder.folder(), recorder, main,
                                                  &sound);
    client->SetTimings(timings);
    client->SetLoadLimits(SmallLimits());
    client->Start();
    if (!over) {
      ASSERT_TRUE(recorder.WaitFor("Status Обновление: 2")) << ClientLogText();
      EXPECT_EQ(recorder.Count("ClearMaps"), 1);
      EXPECT_EQ(ClientLogText().find("Превышен предел"), std::string::npos) << ClientLogText();
    } else {
      ASSERT_TRUE(recorder.WaitCount("ClearMaps", 2)) << ClientLogText();
      EXPECT_EQ(recorder.Count("BuildMaps"), c.feed ? 1 : 0);
      EXPECT_NE(ClientLogText().find(std::string("  Превышен предел: ") + c.line + "\r\n"), std::string::npos)
          << ClientLogText();
    }
    StopClient();
    client.reset();
    server.reset();
  }
}

INSTANTIATE_TEST_SUITE_P(
    EachBound, LoadLimits,
    ::testing::Values(
        BoundCase{"maps", Maps(2), Maps(3), "MAPCOUNT = 3, допустимо не более 2", false},
        BoundCase{"layoutLines", LayoutLines(2), LayoutLines(3), "строк после списка карт = 3, допустимо не более 2",
                  false},
        BoundCase{"objects", Objects(3), Objects(4), "OBJCOUNT = 4, допустимо не более 3", false},
        BoundCase{"texts", Texts(2), Texts(3), "TEXTCOUNT = 3, допустимо не более 2", false},
        BoundCase{"picturesInASet", Pictures({1, 1, {{{1, 1}, {1, 1}}}}),
                  Pictures({1, 1, {{{1, 1}, {1, 1}, {1, 1}}}}), "PCOUNT = 3, допустимо не более 2", false},
        BoundCase{"picturesInAll", Pictures({1, 1, {{{1, 1}, {1, 1}}, {{1, 1}}}}),
                  Pictures({1, 1, {{{1, 1}, {1, 1}}, {{1, 1}, {1, 1}}}}),
                  "картинок в каталоге = 4, допустимо не более 3", false},
        BoundCase{"width", Pictures({4, 1, {}}), Pictures({5, 1, {}}), "ширина картинки = 5, допустимо не более 4",
                  false},
        BoundCase{"height", Pictures({1, 1, {{{1, 4}}}}), Pictures({1, 1, {{{1, 5}}}}),
                  "высота картинки = 5, допустимо не более 4", false},
        BoundCase{"pixelsOfAPicture", Pictures({4, 3, {}}), Pictures({4, 4, {}}),
                  "пикселей в картинке = 16, допустимо не более 12", false},
        BoundCase{"pixelsOfTheCatalogue", Pictures({3, 2, {{{4, 3}, {4, 3}}}}),
                  Pictures({4, 2, {{{4, 3}, {4, 3}}}}), "пикселей в каталоге = 32, допустимо не более 30", false},
        BoundCase{"changeLines", ChangeLines(3), ChangeLines(4), "строк в ответе GETCHANGES = 4, допустимо не более 3",
                  true}),
    [](const auto& info) { return std::string(info.param.name); });

// A reply that trickles its lines and never ends is cut off by its duration.
TEST_F(Bounds, AChangeReplyThatNeverEndsIsCutOffByItsDuration) {
  debug = false;
  script.hook = [this](testing::TFakeConnection& c, const std::string& line) {
    if (line != "GETCHANGES" || script.ChangesServed() > 0) return false;
    {
      std::lock_guard<std::mutex> lock(script.mutex);
      ++script.changesServed;
    }
    // Never END: a line every 50 ms until the client goes.
    for (std::string ignored; !c.Ended();) {
      c.SendLine("LIFTBREAK VALUE=1");
      c.ReadLine(ignored, 50);
    }
    return true;
  };
  StartServer();
  client = std::make_unique<TOrvexClientThread>(Profile(server->port()), folder.folder(), recorder, main,
                                                &sound);
  client->SetTimings(timings);
  TLoadLimits limits;
  limits.maxChangeMs = 300;
  client->SetLoadLimits(limits);
  client->Start();
  ASSERT_TRUE(recorder.WaitCount("BuildMaps", 2)) << ClientLogText();
  EXPECT_GE(recorder.Count("CounterValue LiftB 1"), 1);
  EXPECT_NE(ClientLogText().find("  Превышен предел: мс ответа GETCHANGES = "), std::string::npos)
      << ClientLogText();
}

// The synthetic catalogue's figures against the real bounds.
TEST(LoadLimitDefaults, HoldTheSyntheticCatalogueAndAHundredThousandObjects) {
  const TLoadLimits l;
  EXPECT_GE(l.maxMaps, 20);
  EXPECT_GE(l.maxObjects, 100000);
  EXPECT_GE(l.maxTexts, 500);
  EXPECT_GE(l.maxPicturesPerSet, 8);
  EXPECT_GE(l.maxPictures, 300 * 8);
  EXPECT_GE(l.maxPictureSide, 1920);
  EXPECT_GE(l.maxCataloguePixels, 20LL * 1920 * 1080 + 300 * 8 * 64 * 64);
  EXPECT_GE(int64_t{kMaxCacheFileBytes}, MaxEncodedPngBytes(4096, 4096));
  EXPECT_GE(int64_t{kMaxQuotedValueBytes}, (MaxEncodedPngBytes(4096, 4096) + 2) / 3 * 4);
}

// A cache write cut short leaves "<file>.<hex>-<hex>.tmp"; the next start
// removes it and nothing else.
TEST_F(Bounds, StaleCacheTemporariesAreRemovedAtStart) {
  const std::string cacheFolder = CacheFolderIn(folder.folder());
  std::filesystem::create_directories(cacheFolder);
  const std::vector<std::pair<std::string, bool>> files = {
      {"lift_0.png.7f3a9c1e-2a.tmp", false}, {"m%20.png.0-0.tmp", false}, {"lift_0.png", true},
      {"lift_0.png.tmp", true},             {"notes.tmp", true},         {"lift_0.png.7F-2.tmp", true},
  };
  for (const auto& [name, kept] : files) testing::WriteWholeFile(cacheFolder + name, "x");
  StartServer();
  StartClient();
  ASSERT_TRUE(recorder.WaitFor("Status Обновление: 1"));
  for (const auto& [name, kept] : files) EXPECT_EQ(std::filesystem::exists(cacheFolder + name), kept) << name;
}

}  // namespace
}  // namespace vertamo
