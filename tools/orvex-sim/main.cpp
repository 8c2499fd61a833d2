// orvex-sim: a dispatch server that serves a scenario.
//
//   orvex-sim [--bind ADDR] [--port N] [--scenario DIR | --demo | --synthetic LIST]
//             [--login L --password P] [--seed N] [--record FILE]
//             [--flood N] [--tick MS] [--fault FAULT]... [--quiet]

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/termination_signals.h"
#include "protocol/txtfunc.h"
#include "tools/orvex-sim/scenario.h"
#include "tools/orvex-sim/scenario_loader.h"
#include "tools/orvex-sim/server.h"
#include "tools/orvex-sim/synthetic.h"
#include "tools/orvex-sim/wire.h"

namespace {

using vertamo::ParseWholeNumber;

const char kUsage[] =
    "usage: orvex-sim [--bind ADDR] [--port N] [--scenario DIR | --demo | --synthetic LIST]\n"
    "                 [--login L --password P] [--seed N] [--record FILE]\n"
    "                 [--flood N] [--tick MS] [--fault FAULT]... [--quiet]\n"
    "\n"
    "  --bind ADDR       IPv4 address to listen on (127.0.0.1)\n"
    "  --port N          port to listen on (9900); 0 picks a free one and prints it\n"
    "  --scenario DIR    serve the scenario folder DIR (DIR/scenario.json and its PNG files)\n"
    "  --demo            serve the demo district\n"
    "  --synthetic LIST  serve a synthetic catalogue, e.g.\n"
    "                    maps=20,objects=5000,sets=300,pictures=8,background=1920x1080,texts=500\n"
    "  --login L --password P   accept only this account\n"
    "  --seed N          seed of the live feed (1)\n"
    "  --record FILE     write every request line as JSON lines to FILE\n"
    "  --flood N         send N UPDATE lines in every answer to GETCHANGES\n"
    "  --tick MS         one second of the live feed lasts MS milliseconds (1000)\n"
    "  --fault FAULT      misbehave on purpose: "
    "kind@step[,connection=N][,occurrence=N][,delay=MS][,value=N]\n"
    "                    e.g. drop@getmap,connection=0 or refuse_login\n"
    "  --quiet           do not log connections\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "orvex-sim: %s\n", message.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  orvexsim::ServerOptions options;
  options.port = 9900;
  std::string scenarioDir, synthetic;
  bool demo = false, quiet = false;
  int sources = 0;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) return nullptr;
      (void)name;
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--demo") {
      demo = true;
      ++sources;
    } else if (arg == "--quiet") {
      quiet = true;
    } else if (arg == "--bind" || arg == "--port" || arg == "--scenario" || arg == "--synthetic" ||
               arg == "--login" || arg == "--password" || arg == "--seed" || arg == "--record" ||
               arg == "--flood" || arg == "--tick" || arg == "--fault") {
      const char* v = value(argv[i]);
      if (!v) return Fail(std::string(arg) + " needs a value\n" + kUsage);
      std::string_view text = v;
      if (arg == "--bind") {
        options.bind = v;
      } else if (arg == "--port") {
        if (!ParseWholeNumber(text, options.port))
          return Fail("--port: \"" + std::string(text) + "\" is not a port");
      } else if (arg == "--scenario") {
        scenarioDir = v;
        ++sources;
      } else if (arg == "--synthetic") {
        synthetic = v;
        ++sources;
      } else if (arg == "--login") {
        options.login = v;
      } else if (arg == "--password") {
        options.password = v;
      } else if (arg == "--seed") {
        if (!ParseWholeNumber(text, options.seed))
          return Fail("--seed: \"" + std::string(text) + "\" is not a number");
      } else if (arg == "--record") {
        options.recordFile = v;
      } else if (arg == "--flood") {
        int flood = 0;
        if (!ParseWholeNumber(text, flood) || flood < 0)
          return Fail("--flood: \"" + std::string(text) + "\" is not a count");
        options.floodLinesPerPoll = flood;
      } else if (arg == "--tick") {
        if (!ParseWholeNumber(text, options.liveTickMs) || options.liveTickMs < 0)
          return Fail("--tick: \"" + std::string(text) + "\" is not a number of milliseconds");
      } else if (arg == "--fault") {
        std::string error;
        auto fault = orvexsim::ParseFault(text, &error);
        if (!fault) return Fail(error);
        options.faults.push_back(*fault);
      }
    } else {
      return Fail("unknown argument \"" + std::string(arg) + "\"\n" + kUsage);
    }
  }
  if (sources != 1)
    return Fail(std::string("give exactly one of --scenario DIR, --demo, --synthetic LIST\n") + kUsage);
  if (options.login.has_value() != options.password.has_value())
    return Fail("--login and --password go together");

  auto scenario = std::make_shared<orvexsim::Scenario>();
  std::string error;
  if (demo) {
    *scenario = orvexsim::BuildDemoScenario();
  } else if (!synthetic.empty()) {
    orvexsim::SyntheticParams params;
    if (!orvexsim::ParseSyntheticParams(synthetic, &params, &error)) return Fail(error);
    *scenario = orvexsim::BuildSyntheticScenario(params);
  } else if (!orvexsim::LoadScenario(scenarioDir, scenario.get(), &error)) {
    return Fail(error);
  }

  std::mutex logMutex;
  if (!quiet)
    options.log = [&logMutex](const std::string& line) {
      std::lock_guard lock(logMutex);
      std::fprintf(stderr, "orvex-sim: %s\n", line.c_str());
    };

  // Before the server's threads start: they inherit the blocked signals.
  vertamo::BlockTerminationSignals();

  orvexsim::Server server;
  if (!server.Start(scenario, options, &error)) return Fail(error);
  std::printf("orvex-sim: serving \"%s\" on %s:%u\n", scenario->name.c_str(), options.bind.c_str(),
              static_cast<unsigned>(server.Port()));
  std::fflush(stdout);

  const int received = vertamo::WaitForTerminationSignal();
  if (!quiet) std::fprintf(stderr, "orvex-sim: %s, stopping\n", strsignal(received));
  server.Stop();
  return 0;
}
