// A client of the test's own loads the demo district with its pictures, as the
// workstation does, polls the feed and sees events; a second connection finds
// every checksum equal to the files the first one would have cached.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "codec/base64.h"
#include "codec/picture_checksum.h"
#include "sim/raw_client.h"
#include "sim/test_scenario.h"
#include "tools/orvex-sim/wire.h"

namespace {

using simtest::RawClient;

struct Loaded {
  std::vector<std::string> maps;         // map lines
  std::vector<std::string> objects;      // object lines
  std::map<int, uint32_t> mapSums;       // per map with a picture: byte sum of its cache file
  std::map<std::string, int> setObject;  // set name -> first object drawn from it
  std::map<std::string, uint32_t> setSums;
  int texts = 0;
};

// The data of a line `PREFIX"..."`, decoded and re-encoded as the cache would hold it.
std::string CacheFile(const std::string& line) {
  const size_t quote = line.find('"');
  std::string png, file;
  EXPECT_NE(quote, std::string::npos);
  EXPECT_TRUE(vertamo::Base64Decode(line.substr(quote + 1, line.size() - quote - 2), png));
  EXPECT_TRUE(vertamo::CacheFileBytes(png, file));
  return file;
}

Loaded Load(RawClient& client) {
  Loaded d;
  client.Send("GETMAP");
  auto maps = client.ListUntilEnd();
  EXPECT_TRUE(maps.has_value());
  if (!maps) return d;
  const int mapCount = *orvexsim::FindIntKey(maps->front(), "MAPCOUNT=");
  d.maps.assign(maps->begin() + 1, maps->begin() + 1 + mapCount);
  client.Send("GETMAPOBJ");
  const int objectCount = *orvexsim::FindIntKey(*client.Line(), "OBJCOUNT=");
  for (int i = 0; i < objectCount; ++i) d.objects.push_back(*client.Line());
  for (int m = 0; m < mapCount; ++m) {
    if (orvexsim::FindIntKey(d.maps[m], " PICT=") == 0) continue;
    auto lines = client.Request("GETPICTMAP MAP=" + std::to_string(m), 2);
    EXPECT_EQ(lines.size(), 2u);
    if (lines.size() == 2) d.mapSums[m] = vertamo::PictureChecksum(CacheFile(lines[1]));
  }
  for (int i = 0; i < objectCount; ++i) {
    const std::string iml = *orvexsim::FindQuotedKey(d.objects[i], " IML=");
    if (iml.empty() || d.setObject.count(iml)) continue;
    d.setObject[iml] = i;
    const int pcount = *orvexsim::FindIntKey(d.objects[i], " PCOUNT=");
    auto lines = client.Request("GETPICTIML OBJ=" + std::to_string(i), pcount + 1);
    EXPECT_EQ(lines.size(), static_cast<size_t>(pcount + 1)) << iml;
    uint32_t sum = 0;
    for (size_t j = 1; j < lines.size(); ++j) sum = vertamo::AddToPictureChecksum(sum, CacheFile(lines[j]));
    d.setSums[iml] = sum;
  }
  client.Send("GETTEXT");
  d.texts = *orvexsim::FindIntKey(*client.Line(), "TEXTCOUNT=");
  for (int i = 0; i < d.texts; ++i) EXPECT_TRUE(client.Line().has_value());
  return d;
}

TEST(SimDemoOverTheWire, LoadPollSeeEventsAndReconnectFromTheCache) {
  static const auto demo = std::make_shared<orvexsim::Scenario>(orvexsim::BuildDemoScenario());
  auto options = simtest::QuietOptions();
  options.seed = 5;
  simtest::SimServer sim(demo, options);
  ASSERT_TRUE(sim.started) << sim.error;

  RawClient first;
  simtest::LogIn(first, sim.server);
  const Loaded d = Load(first);
  EXPECT_GE(d.maps.size(), 3u);
  EXPECT_GE(d.objects.size(), 30u);
  EXPECT_EQ(d.mapSums.size(), d.maps.size());
  EXPECT_GT(d.texts, 0);

  std::set<std::string> kinds;
  for (int second = 0; second < 600 && kinds.size() < 3; ++second) {
    sim.server.StepLive(1);
    first.Send("GETCHANGES");
    auto lines = first.ListUntilEnd();
    ASSERT_TRUE(lines.has_value());
    for (const auto& line : *lines) kinds.insert(line.substr(0, line.find(' ')));
  }
  EXPECT_TRUE(kinds.count("UPDATE"));
  EXPECT_TRUE(kinds.count("LOG"));

  // The second connection asks only for checksums: each equals the byte sum
  // of what the first connection would have written to its cache.
  RawClient second;
  simtest::LogIn(second, sim.server);
  for (const auto& [map, sum] : d.mapSums) {
    auto cs = second.Request("GETPICTMAPCS MAP=" + std::to_string(map), 1);
    ASSERT_EQ(cs.size(), 1u);
    EXPECT_EQ(vertamo::ParsePictureChecksum(*orvexsim::FindQuotedKey(cs[0], " CS=")), sum) << cs[0];
  }
  for (const auto& [iml, obj] : d.setObject) {
    auto cs = second.Request("GETPICTIMLCS OBJ=" + std::to_string(obj), 1);
    ASSERT_EQ(cs.size(), 1u);
    EXPECT_EQ(vertamo::ParsePictureChecksum(*orvexsim::FindQuotedKey(cs[0], " CS=")), d.setSums.at(iml))
        << cs[0];
  }
}

}  // namespace
