#include "serverlink/change_feed.h"

#include <chrono>
#include <utility>

#include "platform/cp1251.h"
#include "serverlink/line_channel.h"
#include "protocol/txtfunc.h"

namespace vertamo {
namespace {

constexpr std::string_view kLogTextKeys[6] = {" T0=", " T1=", " T2=", " T3=", " T4=", " T5="};

// An integer key: its value, or none (and the key noted when `logged`).
std::optional<int> IntKey(std::string_view line, std::string_view key, TChangeEvent& event, bool logged) {
  int value = 0;
  if (GetIntParam(line, key, value)) return value;
  if (logged) event.missingKeys.push_back(key);
  return std::nullopt;
}

std::optional<std::string> StrKey(std::string_view line, std::string_view key, size_t capacity) {
  std::string value;
  if (GetStrParam(line, key, capacity, value)) return value;
  return std::nullopt;
}

void ParseLog(std::string_view line, TChangeEvent& event) {
  const auto object = IntKey(line, " OBJ=", event, true);
  const auto color = IntKey(line, " COLOR=", event, false);
  const auto fontColor = IntKey(line, " FONTCOLOR=", event, false);
  TLogEntry entry;
  bool complete = object && color && fontColor;
  for (int i = 0; i < 6 && complete; ++i) {
    auto text = StrKey(line, kLogTextKeys[i], kLogTextCapacity[i]);
    if (!text)
      complete = false;
    else
      entry.texts[static_cast<size_t>(i)] = std::move(*text);
  }
  if (!complete) return;
  entry.object = *object;
  entry.color = *color;
  entry.fontColor = *fontColor;
  event.entry = std::move(entry);
}

void ParseUpdate(std::string_view line, TChangeEvent& event) {
  const auto object = IntKey(line, " OBJ=", event, true);
  if (!object) {
    event.kind = TChangeEvent::Kind::UpdateWithoutObject;
    return;
  }
  event.object = *object;
  event.idx = IntKey(line, " IDX=", event, false);
  event.hint = StrKey(line, " HINT=", kFeedHintCapacity);
  event.caption = StrKey(line, " CAPTION=", kFeedCaptionCapacity);
  event.capColor = IntKey(line, " CAPCOLOR=", event, false);
}

}  // namespace

TChangeEvent ParseChangeLine(std::string_view line) {
  using Kind = TChangeEvent::Kind;
  TChangeEvent event;
  auto counter = [&](TCounterKind which) {
    event.kind = Kind::Counter;
    event.counter = which;
    event.value = IntKey(line, " VALUE=", event, true);
  };
  if (StartsWithText(line, "END")) {
    event.kind = Kind::End;
  } else if (StartsWithText(line, "RELOAD")) {
    event.kind = Kind::Reload;
  } else if (StartsWithText(line, "PLAY")) {
    event.kind = Kind::Play;
    event.wave = StrKey(line, " WAVE=", kFeedWaveCapacity);
  } else if (StartsWithText(line, "LOG")) {
    event.kind = Kind::Log;
    ParseLog(line, event);
  } else if (StartsWithText(line, "UPDATE")) {
    event.kind = Kind::Update;
    ParseUpdate(line, event);
  } else if (StartsWithText(line, "LIFTBREAK")) {
    counter(TCounterKind::LiftBreak);
  } else if (StartsWithText(line, "OHRALR")) {
    counter(TCounterKind::OhrAlr);
  } else if (StartsWithText(line, "PUERR")) {
    counter(TCounterKind::PuErr);
  } else if (StartsWithText(line, "SPEAKER")) {
    event.kind = Kind::Speaker;
    event.value = IntKey(line, " CALL=", event, true);
  }
  return event;
}

TFeedStep FeedStepOf(const TChangeEvent& event) {
  using Kind = TChangeEvent::Kind;
  switch (event.kind) {
    case Kind::End:
      return TFeedStep::End;
    case Kind::Reload:
    case Kind::UpdateWithoutObject:
      return TFeedStep::Fail;
    default:
      return TFeedStep::Continue;
  }
}

void ApplyChangeEvent(const TChangeEvent& event, IClientEvents& events) {
  using Kind = TChangeEvent::Kind;
  switch (event.kind) {
    case Kind::Log:
      if (event.entry) events.AddLogEntry(*event.entry);
      return;
    case Kind::Update:
      if (event.idx) events.SetObjectState(event.object, *event.idx);
      if (event.hint) events.SetObjectHint(event.object, *event.hint);
      if (event.caption) events.SetObjectCaption(event.object, *event.caption);
      // -1 means "no colour" and is skipped altogether.
      if (event.capColor && *event.capColor != -1) events.SetObjectCapColor(event.object, *event.capColor);
      return;
    case Kind::Counter:
      if (event.value) events.SetCounterValue(event.counter, *event.value);
      return;
    case Kind::Speaker:
      if (event.value) events.SetSpeakerCall(*event.value);
      return;
    default:
      return;
  }
}

std::string MissingKeyLogLine(std::string_view key, std::string_view line) {
  static const std::string head = Utf8ToCp1251("Не получена строка ");
  static const std::string middle = Utf8ToCp1251("... Получено:");
  std::string text = head;
  text.append(key);
  text.append(middle);
  text.append(line);
  return text;
}

TChangeFeed::TChangeFeed(TLineChannel& channel, TClientNotifier& notifier, ISoundOutput* sound,
                         ShowStatus showStatus)
    : channel_(channel), notifier_(notifier), sound_(sound), showStatus_(std::move(showStatus)) {}

bool TChangeFeed::Exchange() {
  static const std::string label = Utf8ToCp1251("Обновление: ");
  channel_.SendLine("GETCHANGES");
  std::string status = label + std::to_string(updateCount_);
  ++updateCount_;
  if (showStatus_) showStatus_(status);
  // The batch: the status text first, then the changes in the order of the
  // reply. It goes to the main thread however the exchange ends.
  std::vector<TChangeEvent> changes;
  const auto post = [&](bool result) {
    notifier_.Post([status = std::move(status), changes = std::move(changes)](IClientEvents& events) {
      events.ShowStatusText(status);
      for (const TChangeEvent& event : changes) ApplyChangeEvent(event, events);
    });
    return result;
  };
  const auto start = std::chrono::steady_clock::now();
  for (int lines = 0;; ++lines) {
    if (!channel_.ReadLine()) return post(false);
    const std::string_view line = channel_.Line();
    TChangeEvent event = ParseChangeLine(line);
    if (event.kind != TChangeEvent::Kind::End) {
      const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::steady_clock::now() - start);
      if (!WithinLimit(log_, "строк в ответе GETCHANGES", lines + 1, limits_.maxChangeLines) ||
          !WithinLimit(log_, "мс ответа GETCHANGES", elapsed.count(), limits_.maxChangeMs))
        return post(false);
    }
    if (channel_.Logging())
      for (std::string_view key : event.missingKeys) channel_.Log(MissingKeyLogLine(key, line));
    switch (FeedStepOf(event)) {
      case TFeedStep::Continue:
        break;
      case TFeedStep::End:
        return post(true);
      case TFeedStep::Fail:
        return post(false);
    }
    // Sounds start here; the rest is for the main thread, where whatever
    // changes nothing (a line without its value, an unknown word) is skipped.
    if (event.kind == TChangeEvent::Kind::Play) {
      if (event.wave && sound_) sound_->Play(*event.wave);
    } else if (event.kind != TChangeEvent::Kind::Other) {
      event.missingKeys.clear();
      changes.push_back(std::move(event));
    }
  }
}

}  // namespace vertamo
