// What the steps of the catalogue load work with.
//
// After the login the connection thread loads the catalogue step by step, on
// its own thread: the map list (GETMAP), the map objects (GETMAPOBJ), the map
// backgrounds, the picture sets, the texts (GETTEXT). Each step is a function
// that takes this context and returns false when the connection must start a
// new cycle. The thread sets its stage before each step; the steps set the
// status texts themselves.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "map/map_model.h"
#include "serverlink/client_events.h"
#include "serverlink/client_log.h"
#include "serverlink/decode_pool.h"
#include "serverlink/line_channel.h"
#include "serverlink/load_limits.h"
#include "serverlink/picture_cache.h"

namespace vertamo {

// Cache files whose checksum matched but that did not decode on the pool:
// by then the load has read on, so they are downloaded once the pool is done
// rather than failing the load. The byte sum is weak; without this, one bad
// cache file would fail every reconnection until the cache were removed.
class TUndecodedCacheFiles {
 public:
  enum class Kind { Background, PictureSet };
  using Key = std::pair<Kind, int>;  // map or object number
  // What the file's cache path took from the load's budget.
  struct Taken {
    int64_t pixels = 0;
    int pictures = 0;
  };
  // Map `index`'s background or object `index`'s set; kept once, however
  // many of its files failed.
  void Add(Kind kind, int index, Taken taken) {
    std::lock_guard lock(mutex_);
    entries_.try_emplace(Key{kind, index}, taken);
  }
  // Everything added so far, backgrounds first, each kind in number order;
  // the list is empty after.
  std::map<Key, Taken> Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(entries_, {});
  }

 private:
  std::mutex mutex_;
  std::map<Key, Taken> entries_;
};

struct TLoadContext {
  TLineChannel& channel;
  // Filled directly: during the load no widget exists yet.
  TMapModel& model;
  // Posts the map list's layout lines (counters, clock, speaker) to the main
  // thread, and the status texts when showStatus is empty.
  TClientNotifier& notifier;
  // "Client.log": Debug lines, and the few lines written whatever Debug says.
  TClientLog& log;
  // Stores `text` as StatusText, then posts it to the main thread. False once
  // the thread was stopped (the step then gives up). Empty: the text goes to
  // notifier.ShowStatusText.
  std::function<bool(const std::string& text)> showStatus;
  // The profile's CacheEnable, and the cache folder (work folder + "Cache/").
  bool cacheEnable = false;
  std::string cacheFolder;
  // When given, received pictures are written to the cache on the writer's
  // own thread instead of on the connection thread, which then no longer
  // waits for each picture to be encoded again. It must outlive the load.
  TCacheWriter* cacheWriter = nullptr;
  // The bounds of the load, and what it has taken so far.
  TLoadLimits limits{};
  TLoadBudget budget{};
  // The bar position last posted.
  mutable int progressShown = -1;
  // When given, the pictures are decoded on its threads while the load reads
  // on, each into its place in the model; the picture sets' step waits for
  // them all before it ends. Without it they are decoded as they arrive.
  TDecodePool* decodePool = nullptr;
  // Filled by the pool's threads (hence shared, and a copy of the context
  // shares it); the picture sets' step downloads what it holds.
  std::shared_ptr<TUndecodedCacheFiles> undecodedCacheFiles = std::make_shared<TUndecodedCacheFiles>();

  // No decode outlives the load that posted it, whatever way the load ends.
  ~TLoadContext() {
    if (decodePool) {
      decodePool->Drop();
      decodePool->Wait();
    }
  }

  // Runs `decode` (which puts one picture in its place and gives false when
  // it cannot) on the pool, or here and now; `bytes` is the data it holds.
  // False when it ran here and failed.
  bool Decode(std::function<bool()> decode, std::size_t bytes) const {
    if (!decodePool) return decode();
    decodePool->Post(std::move(decode), bytes);
    return true;
  }
  // Waits for every decode posted; false when one failed.
  bool DecodesDone() const { return !decodePool || decodePool->Wait(); }

  // Text in code page 1251.
  bool ShowStatus(const std::string& text) const {
    return showStatus ? showStatus(text) : notifier.Call<&IClientEvents::ShowStatusText>(text);
  }
  // Moves the load progress bar: `done` of the step's `total` records. Posted
  // at a step's first and last record and whenever the bar's position (a
  // 200th of the total) moves, so a step of thousands of records costs at
  // most a couple of hundred posts. False once the thread was stopped.
  bool ShowProgress(int done, int total) const {
    constexpr int64_t kPositions = 200;
    const int position = total > 0 ? static_cast<int>(int64_t{done} * kPositions / total) : 0;
    if (done > 1 && done < total && position == progressShown) return true;
    progressShown = position;
    return notifier.Call<&IClientEvents::ShowProgress>(done, total);
  }
  // Writes (or has the writer write) one received picture to the cache:
  // `picture`, decoded from `png`.
  void CachePicture(const std::string& path, const Image& picture, std::string png) const {
    if (cacheWriter)
      cacheWriter->PostPng(cacheFolder, path, std::move(png));
    else
      WriteCacheFile(cacheFolder, path, picture);  // a failure only costs a download next time
  }
};

}  // namespace vertamo
