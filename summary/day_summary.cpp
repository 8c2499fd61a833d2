#include "summary/day_summary.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <string_view>
#include <unordered_map>

#include "platform/folders.h"
#include "platform/lines_from_end.h"
#include "protocol/log_limiter.h"

namespace vertamo {
namespace {

constexpr std::size_t kLongestHistoryLine = 4096;

// The hour of "dd.mm hh:mm:ss".
int HourOfArrival(const std::string& arrived) {
  const int hour = (arrived[6] - '0') * 10 + (arrived[7] - '0');
  return std::clamp(hour, 0, 23);
}

bool StartsWith(std::string_view text, std::string_view start) { return text.substr(0, start.size()) == start; }

// How many calls a history line stands for: one, or its repeats.
int CallsOfLine(std::string_view outcome) {
  static const std::string marker = [] {
    std::string text = TLogLimiter::RepeatLine("", 0);
    text.pop_back();  // " … повторов: " without its count
    return text;
  }();
  const size_t at = outcome.rfind(marker);
  if (at == std::string_view::npos) return 1;
  int repeats = 0;
  for (const char c : outcome.substr(at + marker.size())) {
    if (c < '0' || c > '9') return 1;
    repeats = std::min(repeats * 10 + (c - '0'), 1000000);
  }
  return std::max(repeats, 1);
}

int Median(std::vector<int> values) {
  if (values.empty()) return 0;
  const size_t middle = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle), values.end());
  return values[middle];
}

void Count(TCallCounts& counts, const TCallRecord& call, std::vector<int>& waits) {
  if (call.answered != 0) {
    ++counts.answered;
    const int wait = static_cast<int>(std::max<std::time_t>(call.answered - call.start, 0));
    waits.push_back(wait);
    counts.longestWait = std::max(counts.longestWait, wait);
    return;
  }
  const int n = CallsOfLine(call.outcome);
  if (StartsWith(call.outcome, CallOutcomeText(TCallOutcome::NotAnswered)) ||
      StartsWith(call.outcome, CallOutcomeText(TCallOutcome::Refused)))
    counts.missed += n;
  else if (StartsWith(call.outcome, CallOutcomeText(TCallOutcome::Busy)))
    counts.busy += n;
  else
    counts.failed += n;
}

}  // namespace

TDaySummary SummarizeDay(const std::vector<TJournalRecord>& events, const std::vector<TCallRecord>& calls) {
  TDaySummary summary;
  summary.events = static_cast<int>(events.size());

  struct TKindTally {
    TEventKind kind;
    std::unordered_map<std::string, int> labels;
  };
  std::map<std::pair<bool, int>, TKindTally> kinds;
  std::map<std::pair<int, std::string>, TObjectEvents> objects;
  for (const TJournalRecord& e : events) {
    TKindTally& tally = kinds[{e.kindKept, e.kindKept ? e.color : 0}];
    tally.kind.colorKnown = e.kindKept;
    tally.kind.color = e.color;
    tally.kind.fontColor = e.fontColor;
    ++tally.kind.total;
    ++tally.kind.perHour[static_cast<size_t>(HourOfArrival(e.arrived))];
    ++tally.labels[e.texts[4]];
    // An object is its number where the line keeps it, else its name.
    const bool numbered = e.kindKept && e.object >= 0;
    TObjectEvents& object = objects[{numbered ? e.object : -1, numbered ? std::string() : e.texts[2]}];
    object.object = numbered ? e.object : -1;
    object.name = e.texts[2];
    object.place = e.texts[3];
    ++object.events;
  }
  for (auto& [key, tally] : kinds) {
    const auto most = std::max_element(tally.labels.begin(), tally.labels.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    tally.kind.label = most->first;
    summary.kinds.push_back(std::move(tally.kind));
  }
  std::stable_sort(summary.kinds.begin(), summary.kinds.end(),
                   [](const TEventKind& a, const TEventKind& b) { return a.total > b.total; });
  for (auto& [key, object] : objects) summary.topObjects.push_back(std::move(object));
  std::stable_sort(summary.topObjects.begin(), summary.topObjects.end(),
                   [](const TObjectEvents& a, const TObjectEvents& b) { return a.events > b.events; });
  if (summary.topObjects.size() > TDaySummary::kTopObjects) summary.topObjects.resize(TDaySummary::kTopObjects);

  std::array<std::vector<int>, 24> waits;
  std::vector<int> allWaits;
  for (const TCallRecord& call : calls) {
    std::tm local{};
    localtime_r(&call.start, &local);
    const size_t hour = static_cast<size_t>(std::clamp(local.tm_hour, 0, 23));
    Count(summary.calls[hour], call, waits[hour]);
    Count(summary.callTotals, call, allWaits);
  }
  for (size_t h = 0; h < 24; ++h) summary.calls[h].medianWait = Median(waits[h]);
  summary.callTotals.medianWait = Median(allWaits);
  return summary;
}

std::vector<TCallRecord> CallsOfDay(const std::string& workFolder, const std::string& day) {
  std::vector<TCallRecord> calls;
  const std::string history = WithTrailingSlash(workFolder) + TCallHistory::kFileName;
  for (const std::string& path : {history + ".1", history}) {
    std::vector<TCallRecord> part =
        NewestRecords<TCallRecord>(path, kLongestHistoryLine, SIZE_MAX, ParseCallHistoryLine);
    for (auto it = part.rbegin(); it != part.rend(); ++it) {
      std::tm local{};
      localtime_r(&it->start, &local);
      char name[32];
      std::snprintf(name, sizeof name, "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
      if (day == name) calls.push_back(std::move(*it));
    }
  }
  return calls;
}

}  // namespace vertamo
