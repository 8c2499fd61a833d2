// Feeds scripted server replies through a socket into the catalogue load, the
// way the connection thread runs it: map list, map objects, backgrounds,
// picture sets, texts, each only while the one before succeeded.
//
// Input: one flag byte, then the server's replies separated by NUL bytes:
// reply k is what the server sends after the client's k-th request line. The
// reply is written into the socket at the moment the channel reports the
// request ("Послано: ..." through its log sink, after it has dropped the old
// input and before it sends), so one thread plays both sides and a read past
// the scripted bytes fails at once (read time-out 0) instead of waiting. After
// the last reply the server hangs up.
//
// Flag bits: 1 CacheEnable; 2 start with a few files already in the cache;
// 4 a small bound for quoted values.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "map/map_model.h"
#include "platform/cp1251.h"
#include "platform/stop_signal.h"
#include "serverlink/catalogue.h"
#include "serverlink/client_log.h"
#include "serverlink/line_channel.h"
#include "serverlink/picture_cache.h"
#include "serverlink/pictures.h"
#include "support/null_client_events.h"

namespace {

using namespace vertamo;
namespace fs = std::filesystem;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

class TSink final : public testing::TNullClientEvents {
 public:
  void ShowStatusText(const std::string& text) override { Check(text.size() < 200); }
  void SetCounterLayout(TCounterKind, const TCounterLayout& l) override { Check(l.fontName.size() <= 63); }
  void SetClockLayout(const TClockLayout& l) override { Check(l.fontName.size() <= 63); }
};

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// A folder of this process that holds nothing but the cache folder.
const std::string& Root() {
  static const std::string root = [] {
    std::string tmpl = (fs::temp_directory_path() / "fuzz-catalogue-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) std::abort();
    return tmpl;
  }();
  return root;
}

void CheckModel(const TMapModel& model) {
  for (int i = 0; i < model.MapList.Count(); ++i) {
    const MAP* map = model.MapList.Get(i);
    Check(map->Index == i && map->Name.size() <= 63);
    if (map->Picture && !map->Picture->Empty())
      Check(map->Picture->Pixels.argb.size() == static_cast<size_t>(map->Picture->Pixels.width) *
                                                    static_cast<size_t>(map->Picture->Pixels.height));
  }
  for (int i = 0; i < model.ObjectList.Count(); ++i) {
    const MAPOBJECT* o = model.ObjectList.Get(i);
    Check(o->Name.size() <= 63 && o->ImlName.size() <= 63 && o->Caption.size() <= 63 &&
          o->Hint.size() <= 255);
    Check(o->Hint.str().find('$') == std::string::npos);
    // The tool-tip keeps the server's hint whole, at its end.
    const std::string shown = o->HintText();
    Check(shown.size() >= o->Hint.size() &&
          shown.compare(shown.size() - o->Hint.size(), std::string::npos, o->Hint.str()) == 0);
    if (o->Pictures) {
      Check(model.PictureSets.IndexOf(o->Pictures) >= 0);
      Check(o->Pictures->Name() == o->ImlName.str());
    }
  }
  for (int i = 0; i < model.PictureSets.Count(); ++i) {
    const TPictureSet* set = model.PictureSets.Get(i);
    Check(IsPictureSetName(set->Name()));
    for (int j = 0; j < set->Count(); ++j) {
      const TSetPicture* p = set->Get(j);
      Check(p->Pixels.width == set->Width() && p->Pixels.height == set->Height());
      Check(p->Pixels.argb.size() == static_cast<size_t>(set->Width()) * static_cast<size_t>(set->Height()));
      Check(p->Masked ? p->Mask.size() == p->Pixels.argb.size() : p->Mask.empty());
    }
  }
  for (int i = 0; i < model.TextList.Count(); ++i) {
    const MAPTEXT* t = model.TextList.Get(i);
    Check(t->Caption.size() <= 255 && t->FontName.size() <= 31 && t->VideoTag.size() <= 127);
  }
}

// Nothing but the cache folder, and nothing but files in it.
void CheckFolders() {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(Root(), ec))
    Check(entry.path().filename() == "Cache" && entry.is_directory());
  for (const auto& entry : fs::directory_iterator(fs::path(Root()) / "Cache", ec))
    Check(entry.is_regular_file());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 100000) return 0;
  const uint8_t flags = data[0];
  std::vector<std::string> replies(1);
  for (size_t i = 1; i < size; ++i) {
    if (data[i] == 0)
      replies.emplace_back();
    else
      replies.back() += static_cast<char>(data[i]);
  }

  const std::string cache = CacheFolderIn(Root());
  std::error_code ec;
  fs::remove_all(cache, ec);
  if (flags & 2) {
    // A small picture under a few names a scripted catalogue may use.
    Image dot;
    dot.width = dot.height = 1;
    dot.argb = {0xFF102030};
    for (const char* name : {"a", "m", "lift"}) {
      WriteCacheFile(cache, MapCacheFile(cache, name), dot);
      for (int j = 0; j < 2; ++j) WriteCacheFile(cache, PictureSetCacheFile(cache, name, j), dot);
    }
  }

  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return 0;
  const int buffer = 1 << 20;
  ::setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);

  static TStopSignal stop;
  static const std::string sent = Utf8ToCp1251("Послано: ");
  size_t next = 0;
  bool hungUp = false;
  TLineChannel channel(
      stop,
      [&](std::string_view message) {
        if (message.rfind(sent, 0) != 0 || hungUp) return;
        if (next < replies.size()) WriteAll(fds[1], replies[next++]);
        if (next >= replies.size()) {
          ::shutdown(fds[1], SHUT_WR);
          hungUp = true;
        }
      },
      /*debug=*/true);
  channel.SetReadTimeout(0);
  if (flags & 4) channel.SetMaxQuotedValue(100);
  channel.Link().Adopt(fds[0]);

  TMapModel model;
  TSink sink;
  TInlineExecutor executor;
  TClientNotifier notifier(executor, sink);
  TClientLog log("/dev/null", false);  // the file cannot be opened: lines are formatted, then dropped
  TLoadContext ctx{channel, model, notifier, log, {}, (flags & 1) != 0, cache};

  if (LoadMaps(ctx) && LoadMapObjects(ctx) && LoadMapPictures(ctx) && LoadPictureSets(ctx)) {
    channel.DiscardInput();
    LoadTexts(ctx);
  }
  CheckModel(model);
  CheckFolders();
  channel.Link().Close();
  ::close(fds[1]);
  return 0;
}
