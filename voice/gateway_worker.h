// TGatewayWorker: the gateway client of one conversation on a thread of its
// own, so that the window that drives it never waits on the gateway.
//
// The window posts commands and returns at once; the worker runs them one
// after the other in the order they were posted, each exactly as the client
// does it (a command may wait up to 2 s for its reply), and hands each result
// to IGatewayResults as soon as it is known. The first command opens the
// client (connect bounded to about 2 s, then the greeting); a client that did
// not become ready answers every later command at once with a failure and
// puts nothing on the wire.
//
// The level poll runs ten times a second while the gateway may take up to
// 2 s per reply, so a poll is never queued behind one still waiting: while a
// poll is queued or under way, PollLevel drops the new one. Direction
// switches and settings reads are never dropped.
//
// Stop (and the destructor) ends the thread within about a millisecond at any
// point: commands not yet begun are dropped, a wait under way is cut, and
// "quit" goes out when the connection is up. No result is handed over after
// Stop has returned. The worker is never stopped or destroyed from inside
// its own results callback.
#pragma once

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
  // Opened: the greeting arrived; Settings and Direction: the reply was
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
  // Called on the worker thread, in order: once for the opening (whichever
  // command brought it about) and once for every command other than Open.
  // Must not wait for the thread that posts commands.
  virtual void GatewayResult(const TGatewayResult& result) = 0;
};

class TGatewayWorker {
 public:
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
  // "setatx N" / "setarx N".
  void SetDirection(int line, bool talk);

  void Stop();

 private:
  struct TCommand {
    TGatewayResult::TKind kind;
    int line = 0;
    bool talk = false;
  };

  void Post(const TCommand& command);
  void Run();
  void Execute(const TCommand& command);

  IGatewayResults& results_;
  const std::string host_;
  const int port_;
  const int connectMs_;
  TStopSignal stop_;
  TKelmoClient client_{&stop_};  // worker thread only
  bool opened_ = false;          // worker thread only

  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<TCommand> queue_;
  bool pollPending_ = false;
  std::thread thread_;
};

}  // namespace vertamo
