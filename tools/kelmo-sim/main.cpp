// kelmo-sim: a stand-in for the voice gateway's command port.

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/termination_signals.h"
#include "protocol/txtfunc.h"
#include "tools/kelmo-sim/kelmo_sim.h"

namespace {

using vertamo::ParseWholeNumber;

const char kUsage[] =
    "usage: kelmo-sim [--bind ADDR] [--port N] [--settings [MS:]T,S,L]... [--fault FAULT]...\n"
    "                 [--close-after N] [--slow MS] [--split-gap MS] [--stall-after N] [--stall MS]\n"
    "                 [--stream-after N] [--seed N]\n"
    "                 [--record FILE] [--quiet]\n"
    "\n"
    "  --bind ADDR          address to listen on (127.0.0.1)\n"
    "  --port N             command port (4000); 0 picks a free one and prints it\n"
    "  --settings [MS:]T,S,L  switching settings (threshold, signal, silence) in force\n"
    "                       from MS after the start on (repeatable; 20,300,1500 until then)\n"
    "  --fault FAULT        silent, greeting_221, greeting_short, split, overlong, slow,\n"
    "                       unknown_code, close_after, close_once, stall, stream (repeatable)\n"
    "  --close-after N      close_after, close_once: commands answered before the close (1)\n"
    "  --slow MS            slow: delay of every reply (2500)\n"
    "  --split-gap MS       split: time between a reply's two segments (100)\n"
    "  --stall-after N      stall: commands answered before the stall (0)\n"
    "  --stall MS           stall: how long it lasts (3000)\n"
    "  --stream-after N     stream: commands answered before the stream (1)\n"
    "  --seed N             of the speech-like levels (1)\n"
    "  --record FILE        every command and reply as JSON lines\n"
    "  --quiet              log nothing\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "kelmo-sim: %s\n", message.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  kelmosim::Options options;
  bool quiet = false;
  bool settingsGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--quiet") {
      quiet = true;
      continue;
    }
    if (i + 1 >= args.size()) return Fail(arg + " needs a value\n" + kUsage);
    const std::string value = args[++i];
    if (arg == "--port") {
      if (!ParseWholeNumber(value, options.port)) return Fail("--port: \"" + value + "\" is not a port");
    } else if (arg == "--bind") {
      options.bind = value;
    } else if (arg == "--settings") {
      auto step = kelmosim::ParseSettingsStep(value);
      if (!step) return Fail("--settings: \"" + value + "\" is not [MS:]T,S,L");
      if (!settingsGiven) options.settings.clear();
      settingsGiven = true;
      options.settings.push_back(*step);
    } else if (arg == "--fault") {
      auto fault = kelmosim::ParseFault(value);
      if (!fault) return Fail("--fault: unknown fault \"" + value + "\"");
      options.faults.push_back(*fault);
    } else if (arg == "--close-after") {
      if (!ParseWholeNumber(value, options.closeAfter)) return Fail("--close-after: not a number: " + value);
    } else if (arg == "--stream-after") {
      if (!ParseWholeNumber(value, options.streamAfter)) return Fail("--stream-after: not a number: " + value);
    } else if (arg == "--stall-after") {
      if (!ParseWholeNumber(value, options.stallAfter)) return Fail("--stall-after: not a number: " + value);
    } else if (arg == "--stall") {
      if (!ParseWholeNumber(value, options.stallMs)) return Fail("--stall: not a number: " + value);
    } else if (arg == "--slow") {
      if (!ParseWholeNumber(value, options.slowMs)) return Fail("--slow: not a number: " + value);
    } else if (arg == "--split-gap") {
      if (!ParseWholeNumber(value, options.splitGapMs)) return Fail("--split-gap: not a number: " + value);
    } else if (arg == "--seed") {
      if (!ParseWholeNumber(value, options.seed)) return Fail("--seed: not a number: " + value);
    } else if (arg == "--record") {
      options.recordFile = value;
    } else {
      return Fail("unknown option \"" + arg + "\"\n" + kUsage);
    }
  }
  std::mutex logMutex;
  if (!quiet)
    options.log = [&logMutex](const std::string& line) {
      std::lock_guard lock(logMutex);
      std::fprintf(stderr, "kelmo-sim: %s\n", line.c_str());
    };

  vertamo::BlockTerminationSignals();

  kelmosim::Server sim;
  std::string error;
  if (!sim.Start(options, &error)) return Fail(error);
  std::printf("kelmo-sim: command port %s:%u\n", options.bind.c_str(), static_cast<unsigned>(sim.Port()));
  std::fflush(stdout);
  const int received = vertamo::WaitForTerminationSignal();
  if (!quiet) std::fprintf(stderr, "kelmo-sim: %s, stopping\n", strsignal(received));
  sim.Stop();
  return 0;
}
