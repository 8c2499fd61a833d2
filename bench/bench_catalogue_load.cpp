// Catalogue load against orvex-sim's synthetic district: seconds from the
// connect to the end of the texts, for a first connection (empty cache) and a
// cached reconnection, against the floor of merely reading the same replies and
// decoding the pictures (Base64 + PNG) with no model, no cache and no
// posts to a main thread. Also the peak memory after the load against the decoded pixels.
//
//   bench_catalogue_load [params]    params as orvex-sim --synthetic, default
//   maps=20,objects=5000,sets=300,pictures=8,background=1920x1080,texts=500
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "map/map_model.h"
#include "platform/stop_signal.h"
#include "protocol/txtfunc.h"
#include "serverlink/catalogue.h"
#include "serverlink/client_log.h"
#include "serverlink/decode_pool.h"
#include "serverlink/line_channel.h"
#include "serverlink/picture_cache.h"
#include "serverlink/pictures.h"
#include "support/null_client_events.h"
#include "tools/orvex-sim/server.h"
#include "tools/orvex-sim/synthetic.h"

namespace {

using namespace vertamo;
using Clock = std::chrono::steady_clock;

using NullEvents = vertamo::testing::TNullClientEvents;

bool Login(TLineChannel& channel, int port) {
  if (!channel.Link().ConnectAsync("127.0.0.1", port) || !channel.Link().WaitConnected(5000)) return false;
  channel.SendLine("REMOTE");
  if (!channel.ExpectPrompt("Login:")) return false;
  channel.SendLine("user");
  if (!channel.ExpectPrompt("Password:")) return false;
  channel.SendLine("secret");
  return channel.ReadLine();
}

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// The load steps as the connection thread runs them. Seconds, or -1.
double Load(int port, const std::string& work, bool cache, size_t* pixelBytes,
            TCacheWriter* writer = nullptr, TDecodePool* pool = nullptr) {
  TStopSignal stop;
  TClientLog log(work, false);
  TLineChannel channel(stop, {}, false);
  TMapModel model;
  NullEvents events;
  TInlineExecutor executor;
  TClientNotifier notifier(executor, events);
  TLoadContext ctx{channel, model, notifier, log, {}, cache, CacheFolderIn(work), writer};
  ctx.decodePool = pool;
  const auto start = Clock::now();
  if (!Login(channel, port)) return -1;
  if (!LoadMaps(ctx) || !LoadMapObjects(ctx) || !LoadMapPictures(ctx) || !LoadPictureSets(ctx)) return -1;
  channel.DiscardInput();
  if (!LoadTexts(ctx)) return -1;
  const double seconds = Seconds(start);
  if (pixelBytes) {
    *pixelBytes = 0;
    for (int i = 0; i < model.MapList.Count(); ++i)
      if (model.MapList.Get(i)->Picture) *pixelBytes += model.MapList.Get(i)->Picture->Pixels.argb.size() * 4;
    for (int i = 0; i < model.PictureSets.Count(); ++i)
      for (int j = 0; j < model.PictureSets.Get(i)->Count(); ++j)
        *pixelBytes += model.PictureSets.Get(i)->Get(j)->Pixels.argb.size() * 4;
  }
  return seconds;
}

// Reads a counted reply: the count line, then that many lines.
bool CountedLines(TLineChannel& ch, const char* request, const char* key, std::vector<std::string>* lines) {
  ch.SendLine(request);
  int n = 0;
  if (!ch.ReadLine() || !GetIntParam(ch.Line(), key, n)) return false;
  for (int i = 0; i < n; ++i) {
    if (!ch.ReadLine()) return false;
    if (lines) lines->emplace_back(ch.Line());
  }
  return true;
}

// The floor: the same exchanges, every byte read and every picture decoded,
// nothing else.
double Floor(int port, const std::string& work) {
  TStopSignal stop;
  TLineChannel ch(stop, {}, false);
  const auto start = Clock::now();
  if (!Login(ch, port)) return -1;
  std::vector<std::string> maps, objects;
  if (!CountedLines(ch, "GETMAP", "MAPCOUNT=", &maps)) return -1;
  while (ch.ReadLine() && !StartsWithText(ch.Line(), "END")) {
  }
  if (!CountedLines(ch, "GETMAPOBJ", "OBJCOUNT=", &objects)) return -1;
  std::string data;
  Image picture;
  for (size_t i = 0; i < maps.size(); ++i) {
    int pict = 0;
    if (!GetIntParam(maps[i], " PICT=", pict) || pict == 0) continue;
    ch.SendLine("GETPICTMAP MAP=" + std::to_string(i));
    if (!ch.ReadLine() || !ch.ReadQuotedData("DATA=", data) || !DecodePictureData(data, picture)) return -1;
  }
  std::set<std::string> sets;
  for (size_t i = 0; i < objects.size(); ++i) {
    std::string iml;
    int count = 0;
    if (!GetStrParam(objects[i], " IML=", 256, iml) || !GetIntParam(objects[i], " PCOUNT=", count)) return -1;
    if (iml.empty() || !sets.insert(iml).second) continue;
    ch.SendLine("GETPICTIML OBJ=" + std::to_string(i));
    if (!ch.ReadLine()) return -1;
    for (int j = 0; j < count; ++j)
      if (!ch.ReadQuotedData("DATA" + std::to_string(j) + "=", data) || !DecodePictureData(data, picture))
        return -1;
  }
  if (!CountedLines(ch, "GETTEXT", "TEXTCOUNT=", nullptr)) return -1;
  return Seconds(start);
}

long PeakRssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string paramText =
      argc > 1 ? argv[1] : "maps=20,objects=5000,sets=300,pictures=8,background=1920x1080,texts=500";
  orvexsim::SyntheticParams params;
  std::string error;
  if (!orvexsim::ParseSyntheticParams(paramText, &params, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  auto scenario = std::make_shared<const orvexsim::Scenario>(orvexsim::BuildSyntheticScenario(params));
  orvexsim::Server server;
  orvexsim::ServerOptions options;
  options.login = "user";
  options.password = "secret";
  options.liveTickMs = 0;
  if (!server.Start(scenario, options, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  std::string tmpl = (std::filesystem::temp_directory_path() / "bench-catalogue-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) return 2;
  const std::string work = tmpl;

  std::printf("params: %s\n", paramText.c_str());
  const long rssBefore = PeakRssKiB();
  Floor(server.Port(), work);  // warms the server up: it encodes each picture once
  const double floor = Floor(server.Port(), work);
  size_t pixels = 0;
  const double first = Load(server.Port(), work, true, &pixels);
  const long rssAfterLoad = PeakRssKiB();
  const double cached = Load(server.Port(), work, true, nullptr);
  std::filesystem::remove_all(work + "/Cache");
  double withWriter = 0, writerTail = 0;
  {
    TCacheWriter writer;
    withWriter = Load(server.Port(), work, true, nullptr, &writer);
    const auto start = Clock::now();
    writer.WaitIdle();
    writerTail = Seconds(start);
  }
  const double cachedAfterWriter = Load(server.Port(), work, true, nullptr);
  // As the connection thread loads: the writer, and the pictures decoded by
  // a pool while it reads on.
  std::filesystem::remove_all(work + "/Cache");
  double pooledFirst = 0, pooledTail = 0, pooledCached = 0;
  TDecodePool pool;
  {
    TCacheWriter writer;
    pooledFirst = Load(server.Port(), work, true, nullptr, &writer, &pool);
    const auto start = Clock::now();
    writer.WaitIdle();
    pooledTail = Seconds(start);
  }
  pooledCached = Load(server.Port(), work, true, nullptr, nullptr, &pool);
  const double uncached = Load(server.Port(), work + "/none", false, nullptr);
  std::printf("floor (read + Base64 + PNG decode):     %8.3f s\n", floor);
  std::printf("first connection, cache on, empty:      %8.3f s  (%.2f x floor)\n", first, first / floor);
  std::printf("connection with the cache off:          %8.3f s  (%.2f x floor)\n", uncached,
              uncached / floor);
  std::printf("cached reconnection:                    %8.3f s  (%.2f of the first)\n", cached,
              cached / first);
  std::printf(
      "first connection, cache writer thread:  %8.3f s  (%.2f x floor; the writer needed %.3f s more)\n",
      withWriter, withWriter / floor, writerTail);
  std::printf("cached reconnection after it:           %8.3f s  (%.2f of that first)\n", cachedAfterWriter,
              cachedAfterWriter / withWriter);
  std::printf("first connection, writer + pool of %d:   %8.3f s  (%.2f x floor; the writer needed %.3f s more)\n",
              pool.Threads(), pooledFirst, pooledFirst / floor, pooledTail);
  std::printf("cached reconnection, pool:              %8.3f s  (%.2f x floor)\n", pooledCached,
              pooledCached / floor);
  std::printf("decoded pixel bytes of one load:        %8.1f MiB\n", pixels / 1048576.0);
  std::printf("peak RSS before / after the first load: %8.1f / %.1f MiB\n", rssBefore / 1024.0,
              rssAfterLoad / 1024.0);
  server.Stop();
  std::filesystem::remove_all(work);
  return first < 0 || cached < 0 || floor < 0 ? 1 : 0;
}
