// Event lines of the change feed: the input is split at CR (LF dropped), as the
// line channel would, and each line is parsed and applied through a post that
// runs at once.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "serverlink/change_feed.h"
#include "serverlink/client_events.h"

namespace {

using namespace vertamo;

// Checks the values it receives the way a window would use them.
class TSink final : public IClientEvents {
 public:
  void ClearMaps() override {}
  void BuildMaps(TMapModel&) override {}
  void ShowStatusText(const std::string& text) override { sum_ += text.size(); }
  void SetCounterLayout(TCounterKind, const TCounterLayout& l) override { sum_ += l.fontName.size(); }
  void SetCounterValue(TCounterKind, int value) override { sum_ += static_cast<unsigned>(value); }
  void SetClockLayout(const TClockLayout& l) override { sum_ += l.fontName.size(); }
  void SetSpeakerLayout(const TSpeakerLayout& l) override { sum_ += static_cast<unsigned>(l.call); }
  void SetSpeakerCall(int call) override { sum_ += static_cast<unsigned>(call); }
  void SetObjectState(int object, int index) override {
    sum_ += static_cast<unsigned>(object) + static_cast<unsigned>(index);
  }
  void SetObjectHint(int, const std::string& hint) override { Check(hint, 255); }
  void SetObjectCaption(int, const std::string& caption) override { Check(caption, 255); }
  void SetObjectCapColor(int, int color) override {
    if (color == -1) __builtin_trap();  // -1 is never passed on
  }
  void AddLogEntry(const TLogEntry& e) override {
    static constexpr size_t kMax[6] = {31, 31, 63, 63, 255, 63};
    for (size_t i = 0; i < 6; ++i) Check(e.texts[i], kMax[i]);
  }

 private:
  static void Check(const std::string& text, size_t max) {
    if (text.size() > max || text.find('"') != std::string::npos) __builtin_trap();
  }
  unsigned sum_ = 0;
};

class TSound final : public ISoundOutput {
 public:
  void Play(const std::string& wave) override {
    if (wave.size() > 255) __builtin_trap();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TSink sink;
  TSound sound;
  TInlineExecutor executor;
  TClientNotifier notifier(executor, sink);
  std::string line;
  auto apply = [&]() {
    const TChangeEvent event = ParseChangeLine(line);
    for (std::string_view key : event.missingKeys) (void)MissingKeyLogLine(key, line);
    const TFeedStep step = FeedStepOf(event);
    if (event.kind == TChangeEvent::Kind::Play && event.wave) sound.Play(*event.wave);
    notifier.Post([&event](IClientEvents& events) { ApplyChangeEvent(event, events); });
    line.clear();
    return step == TFeedStep::Continue;
  };
  for (size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    if (c == '\n') continue;
    if (c == '\r') {
      if (!apply()) return 0;  // END, RELOAD, UPDATE without OBJ end the exchange
      continue;
    }
    if (line.size() < 2047) line += c;
  }
  if (!line.empty()) apply();
  return 0;
}
