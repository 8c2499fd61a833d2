// vertamo-demo: the demo district's servers, in a process of their own beside
// the workstation that starts it (`vertamo --demo`): the dispatch server, the
// voice gateway and the phone the workstation drives, with the far ends of its
// calls. It speaks to the workstation over its standard input and output
// (protocol/demo_link.h) and ends when the workstation has gone, however it
// went: its standard input ends, and the kernel sends it SIGTERM besides.

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/folders.h"
#include "platform/termination_signals.h"
#include "protocol/demo_link.h"
#include "protocol/txtfunc.h"
#include "tools/demo/demo_district.h"
#include "tools/demo/demo_phone.h"

namespace {

using namespace vertamo;

const char kUsage[] =
    "usage: vertamo-demo [--phone-program PATH] [--gateway-port N] [--work-folder DIR]\n"
    "\n"
    "  --phone-program PATH  the workstation's phone program; without it, or without\n"
    "                        baresip, phone-sim plays the phone (no voice)\n"
    "  --gateway-port N      the voice gateway's port (4000); 0 picks a free one\n"
    "  --work-folder DIR     where the phone keeps its settings (the current folder)\n"
    "\n"
    "Started by `vertamo --demo`; it reports on standard output and takes requests\n"
    "on standard input, and ends when that input ends.\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "vertamo-demo: %s\n", message.c_str());
  return 2;
}

void Say(const std::vector<std::string>& fields) {
  const std::string line = demolink::JoinFields(fields) + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
}

// Answers one request line of the workstation.
void Answer(const std::string& line, demo::TDemoDistrict& district, demo::TDemoPhone& phone) {
  const std::vector<std::string> fields = demolink::SplitFields(line);
  if (fields[0] == demolink::kStart && fields.size() >= 2) {
    std::string why;
    if (phone.StartPhoneProgram(fields[1], std::vector<std::string>(fields.begin() + 2, fields.end()), &why))
      Say({std::string(demolink::kStarted)});
    else
      Say({std::string(demolink::kFailed), why});
  } else if (fields[0] == demolink::kRequests) {
    for (const std::string& request : district.Requests()) Say({std::string(demolink::kRequest), request});
    Say({std::string(demolink::kReady)});
  } else {
    Say({std::string(demolink::kFailed), "unknown request: " + fields[0]});
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string phoneProgram, workFolder;
  uint16_t gatewayPort = demo::TDemoDistrict::kGatewayPort;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (i + 1 >= args.size()) return Fail(args[i] + " needs a value\n" + kUsage);
    const std::string& value = args[++i];
    if (args[i - 1] == "--phone-program")
      phoneProgram = value;
    else if (args[i - 1] == "--gateway-port") {
      if (!ParseWholeNumber(value, gatewayPort)) return Fail("--gateway-port: \"" + value + "\" is not a port");
    } else if (args[i - 1] == "--work-folder")
      workFolder = value;
    else
      return Fail("unknown option " + args[i - 1] + "\n" + kUsage);
  }
  if (!workFolder.empty() && !SetCurrentFolder(workFolder)) return Fail("cannot enter " + workFolder);
  // A workstation that has gone leaves a closed pipe: the demo ends on the
  // end of its input, never on a write.
  ::signal(SIGPIPE, SIG_IGN);
  const int terminate = InstallTerminationPipe();

  demo::TDemoDistrict district;
  demo::TDemoPhone phone;
  std::string error;
  if (!district.Start(&error, gatewayPort)) return Fail("the demo district cannot be served: " + error);
  const bool phoneStarted = phoneProgram.empty() ? phone.Start(&error) : phone.Start(district, phoneProgram, &error);
  if (!phoneStarted) return Fail("the demo's phone cannot start: " + error);

  Say({std::string(demolink::kServer), std::to_string(district.Port())});
  if (district.GatewayHost().empty())
    Say({std::string(demolink::kNoGateway), district.GatewayProblem()});
  else
    Say({std::string(demolink::kGateway), district.GatewayHost(), std::to_string(district.GatewayPort())});
  Say({std::string(demolink::kPhone), std::to_string(phone.Port()), phone.Describe(),
       phone.Real() ? std::string(demolink::kRealPhone) : "sim"});
  for (const demo::TDemoSubscriber& s : demo::TDemoPhone::Subscribers())
    Say({std::string(demolink::kSubscriber), s.address, s.name});
  Say({std::string(demolink::kReady)});
  std::fflush(stdout);

  std::string pending;
  for (;;) {
    pollfd p[2] = {{0, POLLIN, 0}, {terminate, POLLIN, 0}};
    if (::poll(p, terminate >= 0 ? 2 : 1, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (p[1].revents != 0 && TakeTerminationSignal(terminate) != 0) break;
    if (p[0].revents == 0) continue;
    char buffer[4096];
    const ssize_t n = ::read(0, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // the workstation has gone
    pending.append(buffer, static_cast<size_t>(n));
    for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
      Answer(pending.substr(0, end), district, phone);
  }
  phone.Stop();
  district.Stop();
  return 0;
}
