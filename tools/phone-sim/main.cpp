// phone-sim: a stand-in for the phone program.
//
// Started by the workstation as its phone program it gets the phone's own
// command line (-lne --g711-ulaw -u ALIAS ...), which it records. Its own
// options begin with "--sim-" and may also come from the environment variable
// PHONE_SIM_OPTIONS (blank-separated), so that the workstation can start it
// with them.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/cp1251.h"
#include "platform/termination_signals.h"
#include "protocol/txtfunc.h"
#include "tools/phone-sim/phone_sim.h"

namespace {

using vertamo::ParseWholeNumber;

const char kUsage[] =
    "usage: phone-sim [PHONE OPTIONS...] [--sim-port N] [--sim-bind ADDR] [--sim-greet]\n"
    "                 [--sim-outcome answer|busy|error:N|forward|silent] [--sim-delay MS]\n"
    "                 [--sim-stat MS] [--sim-app TEXT] [--sim-ring MS:CALLER]... [--sim-ring-repeat MS]\n"
    "                 [--sim-fault FAULT]... [--sim-record FILE] [--sim-quiet]\n"
    "\n"
    "  PHONE OPTIONS       the phone program's command line; recorded, not interpreted\n"
    "  --sim-port N        control port (3001); 0 picks a free one and prints it\n"
    "  --sim-bind ADDR     address to listen on (127.0.0.1)\n"
    "  --sim-greet         say \"OK\" to every new control connection\n"
    "  --sim-outcome O     what a call placed with \"c ADDRESS\" gets (answer)\n"
    "  --sim-delay MS      how long the outcome takes (1000)\n"
    "  --sim-stat MS       a STAT line every MS while talking (none)\n"
    "  --sim-app TEXT      an APP line to every new connection\n"
    "  --sim-ring MS:CALLER  RING CALLER (\"name [address]\", UTF-8) MS after a connection\n"
    "  --sim-ring-repeat MS  each --sim-ring comes again MS after it fell due (once)\n"
    "  --sim-fault FAULT   silent, close_mid_call, die_mid_call, no_zero, one_byte, overlong, unknown\n"
    "  --sim-record FILE   every message received and sent as JSON lines\n"
    "  --sim-quiet         log nothing\n"
    "\n"
    "Lines on standard input: \"ring CALLER\", \"hangup\" (the remote party hangs up),\n"
    "\"send TEXT\" (any message), \"flood MS TEXT\" (TEXT as fast as the link takes it, for MS),\n"
    "\"pause MS\" (read nothing for MS). \"q\" on the control link ends the program.\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "phone-sim: %s\n", message.c_str());
  return 2;
}

std::string Cp(const std::string& utf8) { return vertamo::Utf8ToCp1251(utf8); }

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (const char* extra = std::getenv("PHONE_SIM_OPTIONS")) {
    std::istringstream words(extra);
    for (std::string word; words >> word;) args.push_back(word);
  }
  phonesim::Options options;
  bool quiet = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--sim-help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg.rfind("--sim-", 0) != 0) {
      options.commandLine.push_back(arg);
      continue;
    }
    if (arg == "--sim-greet") {
      options.greet = true;
      continue;
    }
    if (arg == "--sim-quiet") {
      quiet = true;
      continue;
    }
    if (i + 1 >= args.size()) return Fail(arg + " needs a value\n" + kUsage);
    const std::string value = args[++i];
    if (arg == "--sim-port") {
      if (!ParseWholeNumber(value, options.port)) return Fail("--sim-port: \"" + value + "\" is not a port");
    } else if (arg == "--sim-bind") {
      options.bind = value;
    } else if (arg == "--sim-outcome") {
      auto outcome = phonesim::ParseOutcome(value, &options.errorCode);
      if (!outcome)
        return Fail("--sim-outcome: \"" + value + "\" is not answer, busy, error:N, forward, silent");
      options.outcome = *outcome;
    } else if (arg == "--sim-delay") {
      if (!ParseWholeNumber(value, options.answerDelayMs)) return Fail("--sim-delay: not a number: " + value);
    } else if (arg == "--sim-stat") {
      if (!ParseWholeNumber(value, options.statEveryMs)) return Fail("--sim-stat: not a number: " + value);
    } else if (arg == "--sim-app") {
      options.app = Cp(value);
    } else if (arg == "--sim-ring") {
      const size_t colon = value.find(':');
      phonesim::ScriptedRing ring;
      if (colon == std::string::npos ||
          !ParseWholeNumber(std::string_view(value).substr(0, colon), ring.atMs))
        return Fail("--sim-ring: \"" + value + "\" is not MS:CALLER");
      ring.caller = Cp(value.substr(colon + 1));
      options.rings.push_back(ring);
    } else if (arg == "--sim-ring-repeat") {
      if (!ParseWholeNumber(value, options.ringRepeatMs) || options.ringRepeatMs < 0)
        return Fail("--sim-ring-repeat: not a number: " + value);
    } else if (arg == "--sim-fault") {
      auto fault = phonesim::ParseFault(value);
      if (!fault) return Fail("--sim-fault: unknown fault \"" + value + "\"");
      options.faults.push_back(*fault);
    } else if (arg == "--sim-record") {
      options.recordFile = value;
    } else {
      return Fail("unknown option \"" + arg + "\"\n" + kUsage);
    }
  }
  std::mutex logMutex;
  if (!quiet)
    options.log = [&logMutex](const std::string& line) {
      std::lock_guard lock(logMutex);
      std::fprintf(stderr, "phone-sim: %s\n", line.c_str());
    };

  vertamo::BlockTerminationSignals();

  phonesim::Server sim;
  std::string error;
  if (!sim.Start(options, &error)) return Fail(error);
  std::printf("phone-sim: control port %s:%u\n", options.bind.c_str(), static_cast<unsigned>(sim.Port()));
  std::fflush(stdout);

  // Orders on standard input; none when it is /dev/null.
  std::thread([&sim] {
    for (std::string line; std::getline(std::cin, line);) {
      if (line.rfind("ring ", 0) == 0)
        sim.Ring(Cp(line.substr(5)));
      else if (line == "hangup")
        sim.RemoteHangUp();
      else if (line.rfind("send ", 0) == 0)
        sim.Send(Cp(line.substr(5)));
      else if (line.rfind("flood ", 0) == 0 && line.find(' ', 6) != std::string::npos)
        sim.Flood(Cp(line.substr(line.find(' ', 6) + 1)), std::atoi(line.c_str() + 6));
      else if (line.rfind("pause ", 0) == 0)
        sim.StopReading(std::atoi(line.c_str() + 6));
    }
  }).detach();

  while (sim.Running()) {
    const int received = vertamo::WaitForTerminationSignal(100);
    if (received > 0) {
      if (!quiet) std::fprintf(stderr, "phone-sim: %s, stopping\n", strsignal(received));
      break;
    }
  }
  sim.Stop();
  std::fflush(stdout);
  std::_Exit(0);  // the reader of standard input may still be blocked
}
