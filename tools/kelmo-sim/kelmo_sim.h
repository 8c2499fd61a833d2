// kelmo-sim: a stand-in for the command port of the Kelmo voice gateway.
//
// It greets every connection with "220", answers "getsdp", "getad N",
// "setatx N" and "setarx N", takes "quit", keeps the direction of every line,
// makes the levels of a line in a conversation move like speech (listening:
// the cabin's voice; talking: the dispatcher's), switches its settings on a
// schedule, can misbehave on purpose, and records what it receives and sends.
//
//   kelmosim::Server sim;
//   kelmosim::Options options;
//   options.port = 0;               // any free port
//   if (!sim.Start(options, &error)) ...;
//   ... connect to 127.0.0.1:sim.Port() ...
//   sim.Stop();
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelmosim {

enum class Fault {
  Silent,         // accepts and says nothing at all: no greeting, no replies
  Greeting221,    // greets with "221" instead of "220"
  GreetingShort,  // greets with the two characters "22"
  Split,          // every reply goes out in two segments, splitGapMs apart
  Overlong,       // every reply carries 300 bytes before its line feed
  Slow,           // every reply goes out slowMs after its command (the greeting at once)
  UnknownCode,    // "getad" is answered with code 250
  CloseAfter,     // closes the connection after answering closeAfter commands
  CloseOnce,      // the same, for the first connection only: later ones are served
  Stall,          // after stallAfter commands, holds every reply and greeting for stallMs
  Stream,         // after streamAfter commands, that connection sends "220" lines without end
};

// Switching settings in force from `atMs` after the start on.
struct SettingsStep {
  int atMs = 0;
  int threshold = 20, signal = 300, silence = 1500;
};

struct Options {
  std::string bind = "127.0.0.1";
  uint16_t port = 4000;  // 0: any free port (see Server::Port)
  std::vector<SettingsStep> settings = {SettingsStep{}};
  std::vector<Fault> faults;
  int closeAfter = 1;     // Fault::CloseAfter
  int slowMs = 2500;      // Fault::Slow
  int stallAfter = 0;     // Fault::Stall: commands answered (over all connections) before it
  int stallMs = 3000;     // Fault::Stall: how long it lasts
  int streamAfter = 1;    // Fault::Stream: commands answered (over all connections) before it
  int splitGapMs = 100;   // Fault::Split
  uint32_t seed = 1;      // of the speech-like levels
  std::string recordFile; // JSON lines of every entry; empty: none
  std::function<void(const std::string&)> log;  // a line per event; empty: silent
};

// One entry of the record.
struct RecordEntry {
  int64_t micros = 0;   // since Start
  int connection = -1;  // 0-based, in order of acceptance
  std::string kind;     // "accept", "in" (a command line), "out" (a reply), "close"
  std::string text;     // the line without CR LF; "close": why
};

std::string RecordJson(const RecordEntry& entry);
std::optional<Fault> ParseFault(std::string_view name);
// "MS:T,S,L" or "T,S,L" (from the start).
std::optional<SettingsStep> ParseSettingsStep(std::string_view text);

// The speech-like level of a line `ms` into its conversation; `talking`
// picks the dispatcher's voice, else the cabin's. 0 … 32767.
int SpeechLevel(uint32_t seed, int line, bool talking, int64_t ms);

class Server {
 public:
  Server();
  ~Server();  // Stop()
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  bool Start(const Options& options, std::string* error);
  uint16_t Port() const;
  void Stop();

  std::vector<RecordEntry> Record() const;
  // Command lines received so far, in order, over every connection.
  std::vector<std::string> Received() const;
  // Waits until `done` holds for the record; false after `milliseconds`.
  bool WaitFor(const std::function<bool(const std::vector<RecordEntry>&)>& done, int milliseconds) const;
  // 0 none, 1 talking ("setatx"), 2 listening (a line in a conversation).
  int LineMode(int line) const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace kelmosim
