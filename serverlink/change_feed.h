// The change feed: once the catalogue is loaded the connection thread asks
// the server "GETCHANGES" once a second and applies the event lines of the
// answer, in order, until END.
//
// ParseChangeLine is the pure part (one received line to one event, no side
// effects); ApplyChangeEvent hands the event to the main thread or the sound
// output; TChangeFeed runs one whole exchange over the line channel.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "journal/log_entry.h"
#include "serverlink/client_events.h"
#include "serverlink/load_limits.h"

namespace vertamo {

class TLineChannel;

// Capacities (bytes with the terminating zero) of the quoted values of the feed.
inline constexpr size_t kFeedWaveCapacity = 256;
inline constexpr size_t kFeedHintCapacity = 256;
inline constexpr size_t kFeedCaptionCapacity = 256;
inline constexpr size_t kLogTextCapacity[6] = {32, 32, 64, 64, 256, 64};

struct TChangeEvent {
  enum class Kind {
    End,                  // "END": the exchange ends with success
    Reload,               // "RELOAD": the exchange ends with failure, everything is loaded again
    Play,                 // "PLAY": wave to the sound output (nothing without WAVE)
    Log,                  // "LOG": a journal row, only when every key is present
    Update,               // "UPDATE" with OBJ: object changes
    UpdateWithoutObject,  // "UPDATE" without OBJ: the exchange fails
    Counter,              // "LIFTBREAK", "OHRALR", "PUERR": counter value (none without VALUE)
    Speaker,              // "SPEAKER": call state (none without CALL)
    Other,                // anything else: ignored
  };
  Kind kind = Kind::Other;

  std::optional<std::string> wave;  // Play
  std::optional<TLogEntry> entry;   // Log: set only when complete
  int object = -1;                  // Update
  std::optional<int> idx;           // Update
  std::optional<std::string> hint;
  std::optional<std::string> caption;
  std::optional<int> capColor;
  TCounterKind counter = TCounterKind::LiftBreak;  // Counter
  std::optional<int> value;                        // Counter: VALUE; Speaker: CALL

  // Keys whose absence the connection log notes (with Debug).
  std::vector<std::string_view> missingKeys;
};

// Classifies one line by its first word (ignoring case, prefix only, so
// "PLAYBACK" counts as PLAY) and reads its keys.
TChangeEvent ParseChangeLine(std::string_view line);

enum class TFeedStep {
  Continue,  // applied (or ignored); read the next line
  End,       // END: the exchange succeeded
  Fail,      // RELOAD or UPDATE without OBJ
};

// What the event means for the exchange.
TFeedStep FeedStepOf(const TChangeEvent& event);
// MAIN THREAD: applies one event to the main window: object updates, journal
// rows, counters and the speaker. PLAY is not the main thread's: the feed
// gives it to the sound output as it reads it.
void ApplyChangeEvent(const TChangeEvent& event, IClientEvents& events);

// The "Не получена строка ..." line of the connection log for a missing key.
std::string MissingKeyLogLine(std::string_view key, std::string_view line);

// One GETCHANGES exchange after another, with the "Обновление: " counter.
class TChangeFeed {
 public:
  // showStatus stores the status text as the thread's own (StatusText); the
  // text reaches the main window at the head of the exchange's batch.
  using ShowStatus = std::function<void(const std::string& text)>;

  TChangeFeed(TLineChannel& channel, TClientNotifier& notifier, ISoundOutput* sound, ShowStatus showStatus);

  // The bounds of one reply (maxChangeLines, maxChangeMs); a reply that goes
  // over fails like a read failure, with its line in `log` when given.
  void SetLimits(const TLoadLimits& limits, TClientLog* log) {
    limits_ = limits;
    log_ = log;
  }

  // The first exchange after a load shows "Обновление: 1".
  void Restart() { updateCount_ = 1; }
  int UpdateCount() const { return updateCount_; }

  // Sends GETCHANGES and reads the reply up to END: PLAY goes to the sound
  // output at once, the counter's status text and every other change go to
  // the main thread as one batch, applied in order in one go, when the reply
  // has ended (also when it failed part way: what came before the failure is
  // applied, as it always was). True on END; false on a read failure
  // (time-out, disconnect, over-long line), RELOAD, UPDATE without OBJ, or a
  // stop.
  bool Exchange();

 private:
  TLineChannel& channel_;
  TClientNotifier& notifier_;
  ISoundOutput* sound_;
  ShowStatus showStatus_;
  TLoadLimits limits_;
  TClientLog* log_ = nullptr;
  int updateCount_ = 1;
};

}  // namespace vertamo
