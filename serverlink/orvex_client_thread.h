// TOrvexClientThread: the one worker thread that owns the connection to the
// dispatch server.
//
// It connects, logs in, loads the whole catalogue into the map model (maps,
// objects, backgrounds, picture sets, texts), then polls the change feed once
// a second and, between polls, carries the request lines the main window
// hands it. Whenever a step fails it tells the main window why (LinkDown),
// drops the connection and starts over; it ends when the main window stops
// it, after a login refusal, or when the server address cannot be used at all.
//
// The main window (main thread):
//   construct with the profile (copied), the work folder, the model and its
//   own IClientEvents / IMainThreadExecutor / ISoundOutput; Start();
//   read Stage() every 500 ms; SendCommand / SendListCommand for requests;
//   Stop() (or destroy) to end it: never hangs, even while the thread waits in
//   a hand-over for the main thread.
//
// The thread writes the model directly only between the ClearMaps and the
// BuildMaps hand-overs, while no widget exists; every later change reaches
// the model and the screen through IClientEvents on the main thread.
#pragma once

#include <atomic>
#include <chrono>
#include <optional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/stop_signal.h"
#include "serverlink/client_events.h"
#include "serverlink/client_log.h"
#include "serverlink/line_channel.h"
#include "serverlink/load_limits.h"
#include "serverlink/request_slot.h"
#include "settings/server_profile.h"

namespace vertamo {

class TMapModel;
class TChangeFeed;
class TCacheWriter;

// The waits of the connection. The defaults are the system's own; tests
// shorten some of them.
struct TClientTimings {
  int pauseMs = 3000;              // before every cycle after the first greeting
  int connectAttempts = 20;        // connect waits per cycle ...
  int connectWaitMs = 100;         // ... of this length each
  unsigned readTimeoutMs = 10000;  // one read of the line channel
  int pollPeriodMs = 1000;         // between two change-feed exchanges
  int commandWaitMs = 1000;        // SendCommand gives up after this
  int listCommandWaitMs = 2000;    // SendListCommand gives up after this
};

// Stages of the connection (Stage()).
enum : int {
  kStageCycle = 0,
  kStageBadServer = 1,
  kStageConnecting = 2,
  kStageLogin = 3,
  kStagePassword = 4,
  kStageAuthorising = 5,
  kStageRefused = 6,
  kStageMaps = 8,
  kStageObjects = 9,
  kStageBackgrounds = 10,
  kStagePictures = 11,
  kStageTexts = 12,
  kStagePolling = 13,
  kStageStopped = 14,
};

class TOrvexClientThread {
 public:
  // events, mainThread and model must outlive the thread; sound may be null.
  // workFolder holds "Client.log" and the picture cache folder "Cache".
  TOrvexClientThread(const SERVERINFO& profile, std::string workFolder, TMapModel& model,
                     IClientEvents& events, IMainThreadExecutor& mainThread, ISoundOutput* sound);
  // Stops the thread and waits for it.
  ~TOrvexClientThread();
  TOrvexClientThread(const TOrvexClientThread&) = delete;
  TOrvexClientThread& operator=(const TOrvexClientThread&) = delete;

  // Before Start only.
  void SetLoadLimits(const TLoadLimits& limits) { limits_ = limits; }
  void SetTimings(const TClientTimings& timings) {
    timings_ = timings;
    commandWaitMs_ = timings.commandWaitMs;
    listCommandWaitMs_ = timings.listCommandWaitMs;
  }
  // The waits of SendCommand and SendListCommand; main thread, at any time.
  void SetRequestWaits(int commandWaitMs, int listCommandWaitMs) {
    commandWaitMs_ = commandWaitMs;
    listCommandWaitMs_ = listCommandWaitMs;
  }
  const TClientTimings& Timings() const { return timings_; }

  // Starts the worker (once).
  void Start();
  // Asks the worker to end; returns at once. Every wait of the worker (socket,
  // pause, hand-over) ends within about a millisecond.
  void Terminate();
  // Waits until the worker has ended (at once when it never started).
  void WaitFor();
  // Terminate, then WaitFor.
  void Stop();
  bool Finished() const { return finished_.load(std::memory_order_acquire); }

  // Progress 0..14, see StageText. Any thread.
  int Stage() const { return stage_.load(std::memory_order_acquire); }
  // Text of a stage for the first status-bar panel, code page 1251; empty for
  // a value outside the table.
  static std::string StageText(int stage);
  // Text of the second status-bar panel, code page 1251. Any thread.
  std::string StatusText() const;
  // Connections that got as far as sending the greeting.
  int Attempts() const { return attempts_.load(std::memory_order_acquire); }
  const SERVERINFO& Profile() const { return profile_; }
  const std::string& WorkFolder() const { return workFolder_; }

  // Request slots, main-window side (one caller thread: the main thread).
  //
  // A one-line request: true when a non-empty reply line arrived within about
  // a second (then Reply() holds it). Requests are served only while the
  // thread polls the change feed; otherwise they time out and are withdrawn.
  // While they wait, both run on the calling thread every hand-over the
  // thread waits in (it serves the request only after it): call them on the
  // main thread only.
  bool SendCommand(std::string_view request);
  // A list request, answered by lines up to one beginning with "END": true
  // when the list arrived within about two seconds and holds at least one
  // line (then ReplyList() holds them until ClearReplyList).
  bool SendListCommand(std::string_view request);
  std::string Reply() const;
  std::vector<std::string> ReplyList() const;
  void ClearReplyList();
  bool RequestPending() const { return requests_.RequestPending(); }
  bool ListRequestPending() const { return requests_.ListRequestPending(); }

  // A list reply never grows beyond this many lines; a longer one ends like a
  // failed read (the server is then out of step and the feed resynchronises).
  static constexpr size_t kMaxReplyLines = kMaxListReplyLines;

 private:
  void Execute();
  // One connection cycle; false when the thread must end.
  bool Cycle();
  bool Login();
  bool LoadCatalogue();
  bool PollChanges();
  // Sends the slot's request, if any, and puts the server's answer back.
  void ServeRequest();
  // Stores the status text and hands it to the main thread.
  bool ShowStatusText(const std::string& text);
  // Tells the main thread why the cycle failed; `error` is the Winsock number
  // behind the fault, if any. False when the thread must end.
  bool LinkLost(TLinkFault fault, int error = 0);
  // The same for a failed exchange, by how the channel's last read ended;
  // in the change feed, the current line may be the server's RELOAD.
  bool ExchangeFailed(bool inFeed = false);
  bool Stopping() const { return stop_.IsRequested(); }

  SERVERINFO profile_;
  std::string workFolder_;
  TMapModel& model_;
  IMainThreadExecutor& mainThread_;
  ISoundOutput* sound_;
  TClientTimings timings_;
  TLoadLimits limits_;

  TStopSignal stop_;
  THandOver handOver_;
  TClientNotifier notifier_;
  TClientLog log_;
  TLineChannel channel_;
  std::unique_ptr<TChangeFeed> feed_;
  // Writes received pictures to the cache on a thread of its own (only with
  // CacheEnable), so that encoding them again does not hold up the load.
  std::unique_ptr<TCacheWriter> cacheWriter_;

  std::atomic<int> stage_{kStageCycle};
  std::atomic<int> attempts_{0};
  std::atomic<bool> finished_{false};
  // When the link was lost: set by the first failure after a login.
  std::optional<std::chrono::system_clock::time_point> lostSince_;
  // Set when a hand-over came back unrun without a stop (the main thread's
  // executor dropped it): the thread ends as if stopped.
  bool orphaned_ = false;

  mutable std::mutex statusMutex_;
  std::string statusText_;

  // The main window's requests, served between two polls.
  TRequestSlot requests_;
  int commandWaitMs_ = TClientTimings{}.commandWaitMs;          // main thread only
  int listCommandWaitMs_ = TClientTimings{}.listCommandWaitMs;  // main thread only

  std::thread thread_;
  bool started_ = false;
};

}  // namespace vertamo
