// phone-sim: a stand-in for the phone program the workstation commands.
//
// It listens for one control connection at a time, exchanges zero-terminated
// messages, answers the commands "c ADDRESS", "h", "y", "n" and "q" with the
// event lines a phone sends, rings by script or on demand, can misbehave on
// purpose, and records everything it receives and sends.
//
//   phonesim::Server sim;
//   phonesim::Options options;
//   options.port = 0;               // any free port
//   if (!sim.Start(options, &error)) ...;
//   ... connect to 127.0.0.1:sim.Port() ...
//   sim.Stop();
//
// Texts are code page 1251 bytes, as on the real link.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace phonesim {

// What happens to a call the workstation places ("c ADDRESS").
enum class Outcome { Answer, Busy, Error, Forward, Silent };

// Misbehaviour on purpose.
enum class Fault {
  Silent,        // says nothing at all: no greeting, no answers, not even "OK" to "q"
  CloseMidCall,  // closes the connection as soon as a call is connected
  NoZero,        // messages go out without their zero byte
  OneByte,       // every message goes out one byte at a time, 1 ms apart
  Overlong,      // every event line is preceded by an "APP" line of 400 bytes
  Unknown,       // every event line is preceded by a line of no known kind
  DieMidCall,    // as soon as a call is connected, closes everything and ends, like a killed program
};

struct ScriptedRing {
  int atMs = 0;        // after the control connection was accepted
  std::string caller;  // "name [address]"
};

struct Options {
  std::string bind = "127.0.0.1";
  uint16_t port = 3001;  // 0: any free port (see Server::Port)
  bool greet = false;    // "OK" to every new control connection
  Outcome outcome = Outcome::Answer;
  int errorCode = 12;      // for Outcome::Error
  int answerDelayMs = 1000;
  int statEveryMs = 0;     // "STAT ..." lines while talking; 0: none
  std::string app;         // an "APP" line sent to every new connection; empty: none
  std::vector<ScriptedRing> rings;
  // Each scripted ring comes again this long after it fell due; 0: once. A
  // ring that falls due while a call is being placed, held or rung is left
  // out (recorded as "missed").
  int ringRepeatMs = 0;
  std::vector<Fault> faults;
  // Connections are accepted only after Resume (the socket listens at once).
  bool paused = false;
  std::vector<std::string> commandLine;  // recorded as the "start" entry
  std::string recordFile;                // JSON lines of every entry; empty: none
  std::function<void(const std::string&)> log;  // a line per event; empty: silent
};

// One entry of the record.
struct RecordEntry {
  int64_t micros = 0;      // since Start
  int connection = -1;     // 0-based, in order of acceptance; -1: none
  std::string kind;        // "start", "accept", "in", "out", "close", "dial", "call", "missed", "quit"
  std::string text;        // the message (code page 1251), the address of a call
  std::vector<std::string> args;  // "start": the command line; "call": line, address, unit, host, port
};

// A map call's address: line*address*unit@host[:port].
struct MapAddress {
  std::string line, address, unit, host, port;
};
std::optional<MapAddress> ParseMapAddress(std::string_view text);

// The JSON line of a record entry (texts as UTF-8).
std::string RecordJson(const RecordEntry& entry);

std::optional<Fault> ParseFault(std::string_view name);
std::optional<Outcome> ParseOutcome(std::string_view text, int* errorCode);

class Server {
 public:
  Server();
  ~Server();  // Stop()
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  bool Start(const Options& options, std::string* error);
  uint16_t Port() const;
  // Ends the connection and the thread. Further calls do nothing.
  void Stop();
  // False once stopped, or once "q" was answered.
  bool Running() const;
  // Starts accepting connections of a paused server; `commandLine` is
  // recorded as a "start" entry.
  void Resume(const std::vector<std::string>& commandLine);

  // An incoming call now: "RING caller".
  void Ring(const std::string& caller);
  // The remote party hangs up ("ERROR 1").
  void RemoteHangUp();
  // Any message, as it stands.
  void Send(const std::string& message);
  // Sends `line` again and again, as fast as the connection takes it, for
  // `ms` (other messages still go out between two lines). The record gets
  // one "flood" entry at the end, its text the number of lines sent.
  void Flood(const std::string& line, int ms);
  // Reads nothing from the control connection for `ms`: what the
  // workstation sends meanwhile waits in the socket.
  void StopReading(int ms);

  std::vector<RecordEntry> Record() const;
  // Waits until `done` holds for the record; false after `milliseconds`.
  bool WaitFor(const std::function<bool(const std::vector<RecordEntry>&)>& done, int milliseconds) const;
  // Messages received so far, in order, over every connection.
  std::vector<std::string> Received() const;
  int ConnectionsAccepted() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace phonesim
