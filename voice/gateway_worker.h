// TGatewayWorker: the gateway client of one conversation on a thread of its
// own, so that the window that drives it never waits on the gateway.
//
// The window posts commands and returns at once; the worker runs them one
// after the other in the order they were posted, each exactly as the client
// does it (a command may wait up to 2 s for its reply), and hands each result
// to IGatewayResults as soon as it is known. The first command opens the
// client (connect bounded to about 2 s, then the greeting).
//
// The link comes back on its own. A gateway that cannot be reached, closes
// the connection, or leaves a command without its reply for 2 s (a stall)
// counts as lost: the connection is dropped, with whatever late replies it
// still owes, and the worker connects afresh after 0.5 s, then 1, 2 and 4 s
// between attempts until one succeeds, for as long as the conversation goes
// on. While the link is down, polls and settings reads fail at once without
// traffic. Every loss and every return is reported (an Opened result whose
// `ok` tells which), so the window can say that the gateway is unreachable.
//
// Replies belong to their command: a reply is read as one whole line, and a
// command whose reply did not come in time ends the connection, so no late
// reply can ever be read as the answer to a later command. A reply that never
// completes is a fault as well: bytes waiting before a command mean that the
// last reply (or the greeting) went on past its line, as from a gateway that
// streams "220" lines without end, and the connection is lost in the same way
// instead of each command taking one of those lines for its answer. The
// pauses before reconnecting start again from the shortest only once a
// command has been answered on the new connection, so a gateway that greets
// and then fails at once is tried less and less often.
//
// The level poll runs ten times a second while the gateway may take up to
// 2 s per reply, so a poll is never queued behind one still waiting: while a
// poll is queued or under way, PollLevel drops the new one. Direction
// switches coalesce: only the direction last asked for is sent, once the
// commands before it are done, so a flood of talk-key changes costs a switch
// per reply time and the line ends in the direction last asked for. That
// direction is sent again whenever the link comes back. Settings reads are
// never dropped.
//
// Stop (and the destructor) ends the thread within about a millisecond at any
// point: commands not yet begun are dropped, a wait under way is cut, and
// "quit" goes out when the connection is up. No result is handed over after
// Stop has returned. The worker is never stopped or destroyed from inside
// its own results callback.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "platform/stop_signal.h"
#include "voice/kelmo_client.h"

namespace vertamo {

struct TGatewayResult {
  enum class TKind { Opened, Settings, Level, Direction };
  TKind kind = TKind::Opened;
  // Opened: the link is up (after the first attempt to open it, and each
  // time it is lost or comes back); Settings and Direction: the reply was
  // "200"; Level: a reply arrived.
  bool ok = false;
  bool ready = false;  // the client's Ready() after the command
  int line = 0;        // Level, Direction
  bool talk = false;   // Direction: "setatx" (true) or "setarx"
  int mode = TKelmoClient::kModeUnknown;  // Level
  int level = 0;                          // Level
  std::string settingsText;               // Settings: the text after the code
};

// Implemented by the window (a queued call to its own thread) and by tests.
class IGatewayResults {
 public:
  virtual ~IGatewayResults() = default;
  // Called on the worker thread, in order: for the link's state (Opened) and
  // once for every command other than Open, except a direction switch that a
  // later one replaced or that waits for the link to come back.
  // Must not wait for the thread that posts commands.
  virtual void GatewayResult(const TGatewayResult& result) = 0;
};

class TGatewayWorker {
 public:
  // Pauses between attempts to bring a lost link back: the first, then
  // doubled up to the longest.
  static constexpr int kFirstRetryMs = 500;
  static constexpr int kLongestRetryMs = 4000;

  // Starts the thread. `results` outlives the worker.
  TGatewayWorker(IGatewayResults& results, std::string host, int port = TKelmoClient::kDefaultPort,
                 int connectMs = TKelmoClient::kConnectWaitMs);
  ~TGatewayWorker();
  TGatewayWorker(const TGatewayWorker&) = delete;
  TGatewayWorker& operator=(const TGatewayWorker&) = delete;

  // Opens the client now rather than with the first command.
  void Open();
  // "getsdp".
  void ReadSettings();
  // "getad N". False, and nothing queued, while an earlier poll is queued
  // or waiting for its reply.
  bool PollLevel(int line);
  // "setatx N" / "setarx N": the direction wanted from now on.
  void SetDirection(int line, bool talk);

  void Stop();

 private:
  using TClock = std::chrono::steady_clock;
  struct TCommand {
    TGatewayResult::TKind kind;
    int line = 0;
  };

  void Post(const TCommand& command);
  void Run();
  void Connect();
  void Lost();
  // A command was answered on the connection: the next loss is retried soon.
  void ResetRetries();
  void Execute(const TCommand& command);
  void SendDirection();
  void Deliver(TGatewayResult result);

  IGatewayResults& results_;
  const std::string host_;
  const int port_;
  const int connectMs_;
  TStopSignal stop_;
  // Worker thread only.
  TKelmoClient client_{&stop_};
  bool opened_ = false;  // the first attempt to open was made
  bool up_ = false;      // the link's state as last reported
  TClock::time_point retryAt_;
  int retryMs_ = kFirstRetryMs;

  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<TCommand> queue_;
  bool pollPending_ = false;
  bool directionQueued_ = false;  // a Direction command waits in the queue
  bool directionWanted_ = false;  // a direction was asked for
  int wantedLine_ = 0;
  bool wantedTalk_ = false;
  std::thread thread_;
};

}  // namespace vertamo
