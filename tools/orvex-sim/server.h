// The simulated dispatch server.
//
// Serves a scenario over TCP to any number of clients at once, each
// connection its own session on its own thread: login, the catalogue, the
// pictures with their checksums, the change feed, the reports and the replies
// to clicks and calls. It can misbehave on purpose (faults), and it records
// every request line it is sent.
//
//   orvexsim::Server server;
//   std::string error;
//   if (!server.Start(scenario, {}, &error)) ...;
//   Connect to 127.0.0.1:server.Port() ...
//   server.Stop();
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/orvex-sim/scenario.h"
#include "tools/orvex-sim/world.h"

namespace orvexsim {

struct ServerOptions {
  std::string bind = "127.0.0.1";  // IPv4 address to listen on
  uint16_t port = 0;               // 0: any free port (see Server::Port)
  // When both are set, this one account replaces the scenario's accounts.
  std::optional<std::string> login, password;  // UTF-8
  uint64_t seed = 1;                           // seed of the live generator
  std::string recordFile;                      // JSON lines of every request; empty: none
  int liveTickMs = 1000;                 // how long one second of the live generator lasts; 0: only StepLive
  std::optional<int> floodLinesPerPoll;  // replaces the scenario's flood setting
  std::vector<Fault> faults;             // added to the scenario's faults
  Clock clock;                           // date and time of LOG lines; empty: the system clock
  // A line per connection event, called from the server's threads one at a
  // time; empty: silent.
  std::function<void(const std::string&)> log;
};

// One request line the server received.
struct RecordEntry {
  int connection = 0;  // 0-based number of the connection, in order of acceptance
  int64_t micros = 0;  // monotonic time since Start, in microseconds
  std::string line;    // UTF-8 (the password line reads "***")
};

class Server {
 public:
  Server();
  ~Server();  // Stop()
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Checks the scenario, opens the listening socket and starts serving. On
  // failure returns false with the reason in `error`.
  bool Start(std::shared_ptr<const Scenario> scenario, const ServerOptions& options, std::string* error);
  // The port it listens on (the one it got when asked for port 0).
  uint16_t Port() const;
  // Ends every connection and every thread; returns when all have ended.
  // Further calls do nothing.
  void Stop();
  bool Running() const;

  // Faults may be changed while the server runs; they apply from the next step.
  void AddFault(const Fault& fault);
  void ClearFaults();

  // Runs the live generator for `seconds` of its time at once.
  void StepLive(int seconds = 1);
  // Lines (UTF-8) sent to every connection at its next GETCHANGES; UPDATE
  // lines change the district as well.
  void Broadcast(const std::vector<std::string>& lines);
  // Counters and speaker of the district now.
  Counts CountsNow() const;
  // The district now (what a connection logging in now would be shown); as
  // it was at the stop once stopped; a district without objects before the
  // first start.
  View Snapshot() const;

  std::vector<RecordEntry> Record() const;
  int ConnectionsAccepted() const;
  int ConnectionsOpen() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvexsim
