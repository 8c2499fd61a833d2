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
//   construct with the profile (copied), the work folder and its own
//   IClientEvents / IMainThreadExecutor / ISoundOutput; Start();
//   hear of every new stage (IClientEvents::StageChanged); SendCommand /
//   SendListCommand for requests, which return at once and answer later;
//   Stop() (or destroy) to end it.
//
// Neither thread ever waits for the other. The thread loads the catalogue
// into a model of its own and hands the whole model over once (BuildMaps);
// everything else reaches the screen through IClientEvents, posted to the
// main thread: alone, or the changes of one feed reply as one batch. Once
// stopped, nothing the thread posted runs any more.
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
#include "serverlink/decode_pool.h"
#include "serverlink/line_channel.h"
#include "serverlink/load_limits.h"
#include "serverlink/server_requests.h"
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
  // events and mainThread must outlive the thread; sound may be null.
  // workFolder holds "Client.log" and the picture cache folder "Cache".
  TOrvexClientThread(const SERVERINFO& profile, std::string workFolder, IClientEvents& events,
                     IMainThreadExecutor& mainThread, ISoundOutput* sound);
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
  // The waits of SendCommand and SendListCommand; main thread, at any time
  // (for the requests asked after it).
  void SetRequestWaits(int commandWaitMs, int listCommandWaitMs) {
    commandWaitMs_ = commandWaitMs;
    listCommandWaitMs_ = listCommandWaitMs;
  }
  const TClientTimings& Timings() const { return timings_; }

  // Starts the worker (once).
  void Start();
  // Asks the worker to end; returns at once. Every wait of the worker (socket,
  // pause) ends within about a millisecond. From here on nothing the worker
  // posted to the main thread runs (call it on the main thread for that to
  // hold for tasks already queued). The requests still queued go out before
  // the worker ends, unanswered, when it was polling the change feed.
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

  // Requests, main-window side (MAIN THREAD ONLY: the answers and time-outs
  // run there).
  //
  // A one-line request: returns at once with the request's number. `done`
  // runs later on the main thread with the answer: answered when a non-empty
  // reply line arrived within about a second, else (no answer, an empty
  // line) answered false once that second has passed. Requests go to the
  // server in the order asked, and only between polls of the change feed; one
  // whose time ran out before that is not sent. The answer is dropped when
  // `requester` has gone. Without `done` the request is only sent.
  unsigned long long SendCommand(std::string_view request, TRequesterToken requester = {},
                                 TAnswerHandler done = {});
  // A list request, answered by lines up to one beginning with "END":
  // answered when the list arrived within about two seconds and holds at
  // least one line.
  unsigned long long SendListCommand(std::string_view request, TRequesterToken requester = {},
                                     TAnswerHandler done = {});
  // A one-line request the server must hear whenever the thread comes to it
  // ("STARTSPEAK", "ENDSPEAK": the server keeps who talks to which lift):
  // as SendCommand, but a request whose second has passed is sent all the
  // same; only the answer is then given up on.
  unsigned long long TellServer(std::string_view request, TRequesterToken requester = {},
                                TAnswerHandler done = {});
  // Requests asked and not yet taken by the thread. Any thread.
  size_t QueuedRequests() const { return requests_.Queued(); }

  // A list reply never grows beyond this many lines; a longer one ends like a
  // failed read (the server is then out of step and the feed resynchronises).
  static constexpr size_t kMaxReplyLines = kMaxListReplyLines;

 private:
  void Execute();
  // One connection cycle; false when the thread must end.
  bool Cycle();
  bool Login();
  bool LoadCatalogue(TMapModel& model);
  bool PollChanges();
  // Sends the oldest request in time, if any, and posts the server's answer;
  // false when there was none.
  bool ServeRequest();
  // At a stop while polling: sends every request still in time, without
  // reading answers (the window that closes still tells the server).
  void SendQueuedRequests();
  // The stage, told to the main thread when it changes.
  void SetStage(int stage);
  // Stores the status text and posts it to the main thread.
  bool ShowStatusText(const std::string& text);
  // Stores the status text only (the feed posts it with its batch).
  void StoreStatusText(const std::string& text);
  // Tells the main thread why the cycle failed; `error` is the Winsock number
  // behind the fault, if any. False when the thread must end.
  bool LinkLost(TLinkFault fault, int error = 0);
  // The same for a failed exchange, by how the channel's last read ended;
  // in the change feed, the current line may be the server's RELOAD.
  bool ExchangeFailed(bool inFeed = false);
  bool Stopping() const { return stop_.IsRequested(); }

  SERVERINFO profile_;
  std::string workFolder_;
  IMainThreadExecutor& mainThread_;
  ISoundOutput* sound_;
  TClientTimings timings_;
  TLoadLimits limits_;

  TStopSignal stop_;
  TClientNotifier notifier_;
  TClientLog log_;
  TLineChannel channel_;
  std::unique_ptr<TChangeFeed> feed_;
  // Writes received pictures to the cache on a thread of its own (only with
  // CacheEnable), so that encoding them again does not hold up the load.
  std::unique_ptr<TCacheWriter> cacheWriter_;
  // Decodes the catalogue's pictures while the load reads on.
  TDecodePool decodePool_;

  std::atomic<int> stage_{kStageCycle};
  std::atomic<int> attempts_{0};
  std::atomic<bool> finished_{false};
  // When the link was lost: set by the first failure after a login.
  std::optional<std::chrono::system_clock::time_point> lostSince_;

  mutable std::mutex statusMutex_;
  std::string statusText_;

  // The main window's requests, served between two polls.
  TServerRequests requests_;
  int commandWaitMs_ = TClientTimings{}.commandWaitMs;          // main thread only
  int listCommandWaitMs_ = TClientTimings{}.listCommandWaitMs;  // main thread only

  std::thread thread_;
  bool started_ = false;
};

}  // namespace vertamo
