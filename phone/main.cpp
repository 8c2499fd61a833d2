// vertamo-phone: the workstation's SIP phone program (see phone_program.h).
//
// Started by the workstation as "ohphone" with the phone's command line; the
// control port is 3001 unless --control-port says otherwise (it may come
// from VERTAMO_PHONE_OPTIONS). With --control-port 0 a free port is taken and
// printed on standard output as "port N".
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "phone/phone_log.h"
#include "phone/phone_options.h"
#include "phone/phone_program.h"
#include "phone/sip_settings.h"
#include "platform/folders.h"
#include "platform/termination_signals.h"

namespace {

const char kUsage[] =
    "usage: vertamo-phone [the workstation's phone options] [--control-port N] [--workdir DIR]\n"
    "                     [--settings FILE]\n"
    "\n"
    "The workstation's SIP phone: listens on 127.0.0.1 at the control port (3001)\n"
    "and places calls through baresip. Options may also come from the environment\n"
    "variable VERTAMO_PHONE_OPTIONS. Settings: section \"SipPhone\" of Vertamo.ini in\n"
    "the current folder. Log: vertamo-phone.log there.\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace vertamo::phone;
  std::vector<std::string> args(argv + 1, argv + argc);
  const std::vector<std::string> extra = SplitOptionWords(vertamo::EnvironmentValue("VERTAMO_PHONE_OPTIONS"));
  args.insert(args.end(), extra.begin(), extra.end());
  const TPhoneOptions options = ParsePhoneOptions(args);
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!options.workFolder.empty() && !vertamo::SetCurrentFolder(options.workFolder)) {
    std::fprintf(stderr, "vertamo-phone: cannot enter %s\n", options.workFolder.c_str());
    return 1;
  }
  std::signal(SIGPIPE, SIG_IGN);
  TPhoneLog log;
  log.SetTraceFile(options.traceFile);
  std::string commandLine;
  for (const std::string& a : args) commandLine += " " + a;
  log.Line("vertamo-phone started:" + commandLine);
  for (const std::string& note : options.notes) log.Line(note);
  TPhoneProgram program(options, ReadSipSettings(options.settingsFile), log);
  std::string error;
  if (!program.Listen(&error)) {
    log.Line("cannot listen for the workstation: " + error);
    std::fprintf(stderr, "vertamo-phone: %s\n", error.c_str());
    return 1;
  }
  if (options.controlPort == 0) {
    std::printf("port %d\n", program.ControlPort());
    std::fflush(stdout);
  }
  const int status = program.Run(vertamo::InstallTerminationPipe());
  log.Line("vertamo-phone ended");
  return status;
}
