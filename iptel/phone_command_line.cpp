#include "iptel/phone_command_line.h"

#include "platform/folders.h"
#include "settings/func.h"

namespace vertamo {

namespace {

class TLineBuilder {
 public:
  explicit TLineBuilder(const std::string& path) : result_{path.substr(0, TPhoneCommandLine::kMaxLength), {}} {
    full_ = path.size() >= TPhoneCommandLine::kMaxLength;
  }

  void Add(const std::string& arg) {
    if (full_) return;
    const size_t room = TPhoneCommandLine::kMaxLength - result_.line.size();
    const std::string piece = " " + arg;
    if (piece.size() > room) {
      full_ = true;
      if (room > 1) result_.args.push_back(arg.substr(0, room - 1));
      result_.line += piece.substr(0, room);
      return;
    }
    result_.line += piece;
    result_.args.push_back(arg);
  }

  TPhoneCommandLine Take() { return std::move(result_); }

 private:
  TPhoneCommandLine result_;
  bool full_ = false;
};

}  // namespace

std::string PhoneAlias(const std::string& hostName) {
  if (hostName.empty()) return "Orvex";
  return Transliterate(hostName.substr(0, 63));
}

TPhoneCommandLine BuildPhoneCommandLine(const PhoneSettings& s, const std::string& programPath,
                                        const std::string& alias, const std::string& workFolder) {
  TLineBuilder b(programPath);
  b.Add("-lne");
  b.Add("--g711-ulaw");
  b.Add("-u");
  b.Add(alias);
  if (s.SoundBuffers >= 4 && s.SoundBuffers <= 99) {
    b.Add("--sound-buffers");
    b.Add(std::to_string(s.SoundBuffers));
  }
  if (s.G711Frames >= 10 && s.G711Frames <= 240 && s.G711Frames != 30) {
    b.Add("--g711frames");
    b.Add(std::to_string(s.G711Frames));
  }
  if (s.DisableFastStart) b.Add("--fast-disable");
  if (s.DisableTunnel) b.Add("--h245tunneldisable");
  if (s.DisableH245) b.Add("--disable-h245-in-setup");
  if (s.JitterMin != 25 || s.JitterMax != 25) {
    b.Add("--jitter");
    b.Add(s.JitterMin != s.JitterMax ? std::to_string(s.JitterMin) + "-" + std::to_string(s.JitterMax)
                                     : std::to_string(s.JitterMax));
  }
  if (s.H323LogLevel >= 1 && s.H323LogLevel <= 6) {
    b.Add("-o");
    b.Add(WithTrailingSlash(workFolder) + "H323.log");
    for (int i = 0; i < s.H323LogLevel; ++i) b.Add("-t");
  }
  return b.Take();
}

}  // namespace vertamo
