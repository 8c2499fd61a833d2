// The command line the workstation starts its phone program with, taken
// whole: what has a meaning for a SIP call is kept, the H.323 options are
// noted as having no effect, and an unknown option is noted, never fatal.
//
// The phone's own options (the control port, the settings file) may also
// come from the environment variable VERTAMO_PHONE_OPTIONS, blank-separated,
// because the workstation starts the program with its fixed command line.
#pragma once

#include <string>
#include <vector>

namespace vertamo::phone {

struct TPhoneOptions {
  static constexpr int kDefaultControlPort = 3001;
  int controlPort = kDefaultControlPort;
  std::string alias;                 // -u: SIP user and display name
  bool ulawFirst = false;            // --g711-ulaw
  int jitterMinMs = 0, jitterMaxMs = 0;  // --jitter MIN[-MAX]; 0: baresip's own
  std::string traceFile;             // -o FILE: the log goes there too
  int traceLevel = 0;                // how many -t
  std::string settingsFile = "Vertamo.ini";  // --settings FILE
  std::string workFolder;            // --workdir DIR: the current folder (settings, logs)
  bool help = false;
  // Lines for the log: each option without effect, each unknown one.
  std::vector<std::string> notes;
};

TPhoneOptions ParsePhoneOptions(const std::vector<std::string>& args);

// Blank-separated words of an environment value.
std::vector<std::string> SplitOptionWords(const std::string& text);

}  // namespace vertamo::phone
