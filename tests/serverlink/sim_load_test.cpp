// The catalogue and picture steps against the simulated dispatch server
// (orvex-sim) started in-process: a full load, the cache on a second
// connection, and the server's faults on purpose.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "map/map_model.h"
#include "platform/cp1251.h"
#include "platform/stop_signal.h"
#include "serverlink/catalogue.h"
#include "serverlink/client_events.h"
#include "serverlink/client_log.h"
#include "serverlink/line_channel.h"
#include "serverlink/picture_cache.h"
#include "serverlink/pictures.h"
#include "support/null_client_events.h"
#include "support/temp_folder.h"
#include "tools/orvex-sim/server.h"
#include "tools/orvex-sim/synthetic.h"

namespace vertamo::testing {
namespace {

// Counts the overlay layouts and drops everything else.
class NullEvents : public TNullClientEvents {
 public:
  void SetCounterLayout(TCounterKind, const TCounterLayout&) override { ++layouts; }
  void SetClockLayout(const TClockLayout&) override { ++layouts; }
  void SetSpeakerLayout(const TSpeakerLayout&) override { ++layouts; }
  int layouts = 0;
};

// One connection of the workstation: login, then the load steps in the
// connection thread's order.
class Session {
 public:
  Session(const std::string& workFolder, bool cacheEnable, unsigned readTimeoutMs = 3000)
      : log_(workFolder, true),
        channel_(
            stop_, [this](std::string_view m) { log_.WriteLine(m); }, true),
        notifier_(executor_, events_),
        ctx_{channel_, model, notifier_, log_, {}, cacheEnable, CacheFolderIn(workFolder)} {
    channel_.SetReadTimeout(readTimeoutMs);
  }

  bool Login(int port) {
    if (!channel_.Link().ConnectAsync("127.0.0.1", port) || !channel_.Link().WaitConnected(5000))
      return false;
    channel_.SendLine("REMOTE");
    if (!channel_.ExpectPrompt("Login:")) return false;
    channel_.SendLine("user");
    if (!channel_.ExpectPrompt("Password:")) return false;
    channel_.SendLine("secret");
    return channel_.ReadLine() && channel_.Line().rfind("OK", 0) == 0;
  }

  // The load sequence; the number of the step that failed (1..5), 0 when all succeeded.
  int Load() {
    if (!LoadMaps(ctx_)) return 1;
    if (!LoadMapObjects(ctx_)) return 2;
    if (!LoadMapPictures(ctx_)) return 3;
    if (!LoadPictureSets(ctx_)) return 4;
    channel_.DiscardInput();
    if (!LoadTexts(ctx_)) return 5;
    return 0;
  }

  TMapModel model;
  NullEvents events_;

 private:
  TStopSignal stop_;
  TClientLog log_;
  TLineChannel channel_;
  TInlineExecutor executor_;
  TClientNotifier notifier_;
  TLoadContext ctx_;
};

class SimLoad : public ::testing::Test {
 protected:
  static std::shared_ptr<const orvexsim::Scenario> Scenario() {
    static const auto scenario = [] {
      orvexsim::SyntheticParams params;
      params.maps = 3;
      params.objects = 40;
      params.sets = 4;
      params.pictures = 3;
      params.backgroundWidth = 64;
      params.backgroundHeight = 48;
      params.pictureSize = 16;
      params.texts = 6;
      return std::make_shared<const orvexsim::Scenario>(orvexsim::BuildSyntheticScenario(params));
    }();
    return scenario;
  }

  void StartServer(std::vector<orvexsim::Fault> faults = {}) {
    server = std::make_unique<orvexsim::Server>();
    orvexsim::ServerOptions options;
    options.login = "user";
    options.password = "secret";
    options.liveTickMs = 0;
    options.faults = std::move(faults);
    std::string error;
    ASSERT_TRUE(server->Start(Scenario(), options, &error)) << error;
  }

  // Request lines of one connection.
  std::vector<std::string> Requests(int connection) const {
    std::vector<std::string> lines;
    for (const orvexsim::RecordEntry& e : server->Record())
      if (e.connection == connection) lines.push_back(e.line);
    return lines;
  }
  static int Count(const std::vector<std::string>& lines, const std::string& prefix) {
    int n = 0;
    for (const std::string& l : lines) n += l.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }

  TempFolder work;
  std::unique_ptr<orvexsim::Server> server;
};

TEST_F(SimLoad, TheWholeCatalogueLoads) {
  StartServer();
  Session session(work.path(), false);
  ASSERT_TRUE(session.Login(server->Port()));
  ASSERT_EQ(session.Load(), 0);

  const orvexsim::Scenario& scenario = *Scenario();
  const TMapModel& model = session.model;
  ASSERT_EQ(model.MapList.Count(), static_cast<int>(scenario.maps.size()));
  for (int i = 0; i < model.MapList.Count(); ++i) {
    SCOPED_TRACE(i);
    const MAP& map = *model.MapList.Get(i);
    const orvexsim::MapDef& def = scenario.maps[static_cast<size_t>(i)];
    EXPECT_EQ(Cp1251ToUtf8(map.Name.str()), def.name);
    ASSERT_EQ(map.Picture != nullptr, def.HasPicture());
    if (map.Picture) EXPECT_EQ(map.Picture->Pixels.argb, def.background.argb);
  }
  ASSERT_EQ(model.ObjectList.Count(), static_cast<int>(scenario.objects.size()));
  for (int i = 0; i < model.ObjectList.Count(); ++i) {
    SCOPED_TRACE(i);
    const MAPOBJECT& o = *model.ObjectList.Get(i);
    EXPECT_EQ(o.ImlName.str(), scenario.objects[static_cast<size_t>(i)].iml);
    ASSERT_NE(o.Pictures, nullptr);
    EXPECT_EQ(o.Pictures->Count(), o.PCount);
  }
  EXPECT_EQ(model.PictureSets.Count(), static_cast<int>(scenario.pictureSets.size()));
  EXPECT_EQ(model.TextList.Count(), static_cast<int>(scenario.texts.size()));
  EXPECT_GT(session.events_.layouts, 0);

  const auto requests = Requests(0);
  EXPECT_EQ(Count(requests, "GETPICTIML "), static_cast<int>(scenario.pictureSets.size()));
  EXPECT_EQ(Count(requests, "GETPICTMAPCS"), 0);
  EXPECT_EQ(Count(requests, "GETPICTIMLCS"), 0);
}

TEST_F(SimLoad, ASecondConnectionIsServedFromTheCache) {
  StartServer();
  std::vector<Image> first;
  {
    Session session(work.path(), true);
    ASSERT_TRUE(session.Login(server->Port()));
    ASSERT_EQ(session.Load(), 0);
    for (int i = 0; i < session.model.PictureSets.Count(); ++i)
      for (int j = 0; j < session.model.PictureSets.Get(i)->Count(); ++j)
        first.push_back(session.model.PictureSets.Get(i)->Get(j)->Pixels);
  }
  Session second(work.path(), true);
  ASSERT_TRUE(second.Login(server->Port()));
  ASSERT_EQ(second.Load(), 0);

  const auto requests = Requests(1);
  EXPECT_EQ(Count(requests, "GETPICTMAP "), 0);
  EXPECT_EQ(Count(requests, "GETPICTIML "), 0);
  EXPECT_GT(Count(requests, "GETPICTMAPCS "), 0);
  EXPECT_EQ(Count(requests, "GETPICTIMLCS "), static_cast<int>(Scenario()->pictureSets.size()));
  std::vector<Image> again;
  for (int i = 0; i < second.model.PictureSets.Count(); ++i)
    for (int j = 0; j < second.model.PictureSets.Get(i)->Count(); ++j)
      again.push_back(second.model.PictureSets.Get(i)->Get(j)->Pixels);
  ASSERT_EQ(again.size(), first.size());
  for (size_t k = 0; k < first.size(); ++k) EXPECT_EQ(again[k].argb, first[k].argb);
}

TEST_F(SimLoad, AWrongChecksumFallsBackToTheDownload) {
  StartServer({{orvexsim::FaultKind::BadChecksum, orvexsim::Step::GetPictImlCs, 1, 1},
               {orvexsim::FaultKind::BadChecksum, orvexsim::Step::GetPictMapCs, 1, 0}});
  {
    Session session(work.path(), true);
    ASSERT_TRUE(session.Login(server->Port()));
    ASSERT_EQ(session.Load(), 0);
  }
  Session second(work.path(), true);
  ASSERT_TRUE(second.Login(server->Port()));
  ASSERT_EQ(second.Load(), 0);
  const auto requests = Requests(1);
  EXPECT_EQ(Count(requests, "GETPICTMAP "), 1);
  EXPECT_EQ(Count(requests, "GETPICTIML "), 1);
  // The download follows its checksum request at once.
  for (size_t k = 0; k + 1 < requests.size(); ++k)
    if (requests[k + 1].rfind("GETPICTIML ", 0) == 0) EXPECT_EQ(requests[k].substr(0, 13), "GETPICTIMLCS ");
}

struct FaultCase {
  const char* name;
  orvexsim::FaultKind kind;
  orvexsim::Step step;
  int failedStep;  // 0: the load still succeeds
};

TEST_F(SimLoad, FaultsOfTheServer) {
  using K = orvexsim::FaultKind;
  using S = orvexsim::Step;
  const std::vector<FaultCase> cases = {
      {"map list dropped", K::Drop, S::GetMap, 1},
      {"map list wrong number", K::WrongRecordNumber, S::GetMap, 1},
      {"map list missing key", K::MissingKey, S::GetMap, 1},
      {"map list wrong prefix", K::WrongPrefix, S::GetMap, 1},
      {"map list over-long line", K::OverlongLine, S::GetMap, 1},
      {"map list stalls", K::Stall, S::GetMap, 1},
      {"map list in lower case", K::LowerCase, S::GetMap, 0},
      {"map list LF CR", K::LfBeforeCr, S::GetMap, 0},
      {"map list extra lines", K::ExtraLines, S::GetMap, 0},
      {"map list dripped", K::Drip, S::GetMap, 0},
      {"objects dropped", K::Drop, S::GetMapObj, 2},
      {"objects dropped half-way", K::DropMidReply, S::GetMapObj, 2},
      {"objects wrong number", K::WrongRecordNumber, S::GetMapObj, 2},
      {"objects missing key", K::MissingKey, S::GetMapObj, 2},
      {"objects extra lines", K::ExtraLines, S::GetMapObj, 0},
      {"background dropped", K::Drop, S::GetPictMap, 3},
      {"background dropped in its data", K::DropMidData, S::GetPictMap, 3},
      {"background wrong number", K::WrongRecordNumber, S::GetPictMap, 3},
      {"background Base64 length", K::Base64WrongLength, S::GetPictMap, 3},
      {"background not PNG", K::NotPng, S::GetPictMap, 3},
      {"background extra lines", K::ExtraLines, S::GetPictMap, 0},
      {"picture set dropped in its data", K::DropMidData, S::GetPictIml, 4},
      {"picture set wrong number", K::WrongRecordNumber, S::GetPictIml, 4},
      {"picture set missing key", K::MissingKey, S::GetPictIml, 4},
      {"picture set Base64 length", K::Base64WrongLength, S::GetPictIml, 4},
      {"picture set not PNG", K::NotPng, S::GetPictIml, 4},
      {"picture set LF CR", K::LfBeforeCr, S::GetPictIml, 0},
      {"texts dropped", K::Drop, S::GetText, 5},
      {"texts wrong number", K::WrongRecordNumber, S::GetText, 5},
      {"texts missing key", K::MissingKey, S::GetText, 5},
      {"texts over-long line", K::OverlongLine, S::GetText, 5},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    orvexsim::Fault fault;
    fault.kind = c.kind;
    fault.step = c.step;
    fault.occurrence = 0;
    if (c.kind == K::Drip) fault.delayMs = 0;
    StartServer({fault});
    Session session(work.path(), false, /*readTimeoutMs=*/400);
    ASSERT_TRUE(session.Login(server->Port()));
    EXPECT_EQ(session.Load(), c.failedStep);
    server->Stop();
  }
}

}  // namespace
}  // namespace vertamo::testing
