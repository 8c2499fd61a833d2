#include "phone/phone_options.h"

#include <string_view>

#include "protocol/txtfunc.h"

namespace vertamo::phone {

namespace {

// H.323 options of the workstation's command line; SIP has nothing like them.
constexpr std::string_view kNoEffect[] = {"-lne", "--fast-disable", "--h245tunneldisable",
                                          "--disable-h245-in-setup", "-l", "-n", "-e"};
// Options with a value that has no effect here.
constexpr std::string_view kNoEffectWithValue[] = {"--sound-buffers", "--g711frames"};

bool Among(std::string_view arg, const auto& list) {
  for (std::string_view s : list)
    if (arg == s) return true;
  return false;
}

bool ParseJitter(std::string_view text, int& low, int& high) {
  const size_t dash = text.find('-');
  if (dash == std::string_view::npos) {
    if (!ParseWholeNumber(text, low) || low <= 0) return false;
    high = low;
    return true;
  }
  return ParseWholeNumber(text.substr(0, dash), low) && ParseWholeNumber(text.substr(dash + 1), high) && low > 0 &&
         high >= low;
}

}  // namespace

std::vector<std::string> SplitOptionWords(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\n') {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

TPhoneOptions ParsePhoneOptions(const std::vector<std::string>& args) {
  TPhoneOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (Among(arg, kNoEffect)) {
      options.notes.push_back(arg + ": no effect on a SIP phone");
    } else if (Among(arg, kNoEffectWithValue) && hasValue) {
      options.notes.push_back(arg + " " + args[++i] + ": no effect on a SIP phone");
    } else if (arg == "--g711-ulaw") {
      options.ulawFirst = true;
    } else if (arg == "-u" && hasValue) {
      options.alias = args[++i];
    } else if (arg == "--jitter" && hasValue) {
      const std::string& value = args[++i];
      if (!ParseJitter(value, options.jitterMinMs, options.jitterMaxMs)) {
        options.jitterMinMs = options.jitterMaxMs = 0;
        options.notes.push_back("--jitter " + value + ": not MIN or MIN-MAX milliseconds, ignored");
      }
    } else if (arg == "-o" && hasValue) {
      options.traceFile = args[++i];
    } else if (arg == "-t" || arg == "-tt" || arg == "-ttt" || arg == "-tttt" || arg == "-ttttt" ||
               arg == "-tttttt") {
      options.traceLevel += static_cast<int>(arg.size()) - 1;
    } else if (arg == "--control-port" && hasValue) {
      int port = 0;
      if (ParseWholeNumber(std::string_view(args[i + 1]), port) && port >= 0 && port < 65536)
        options.controlPort = port;
      else
        options.notes.push_back("--control-port " + args[i + 1] + ": not a port, ignored");
      ++i;
    } else if (arg == "--workdir" && hasValue) {
      options.workFolder = args[++i];
    } else if (arg == "--settings" && hasValue) {
      options.settingsFile = args[++i];
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else {
      options.notes.push_back(arg + ": unknown option, ignored");
    }
  }
  return options;
}

}  // namespace vertamo::phone
