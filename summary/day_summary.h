// The shift at a glance: one day of the journal and of the call history,
// counted per hour of the local day.
//
// Events are grouped by the row colour the server gave them (its kinds of
// event), each kind named by its most frequent event text; events of older
// journal lines, which kept no colour, form a kind of their own. Calls are
// counted by the hour they began to ring or dial, by outcome: answered (a
// conversation took place), missed (a ring nobody took, or the dispatcher
// refused), busy, failed (an error, or given up while dialling); a history
// line that stands for repeats ("… повторов: N") counts them all. The wait is
// from ring or dial to answer, for answered calls.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "journal/journal_file.h"
#include "voice/call_history.h"

namespace vertamo {

struct TCallCounts {
  int answered = 0, missed = 0, busy = 0, failed = 0;
  int medianWait = 0, longestWait = 0;  // seconds; 0 without answered calls

  int Total() const { return answered + missed + busy + failed; }
  bool operator==(const TCallCounts&) const = default;
};

struct TEventKind {
  bool colorKnown = false;
  int color = 0, fontColor = 0;  // 0x00BBGGRR, as the server sent them
  std::string label;             // the kind's most frequent event text (code page 1251)
  int total = 0;
  std::array<int, 24> perHour{};
};

struct TObjectEvents {
  int object = -1;  // the object's number; -1 when the lines did not keep it
  std::string name, place;
  int events = 0;
};

struct TDaySummary {
  static constexpr size_t kTopObjects = 10;
  int events = 0;
  std::vector<TEventKind> kinds;       // most events first
  std::array<TCallCounts, 24> calls{};  // per hour
  TCallCounts callTotals;               // the whole day
  std::vector<TObjectEvents> topObjects;  // most events first, at most kTopObjects
};

TDaySummary SummarizeDay(const std::vector<TJournalRecord>& events, const std::vector<TCallRecord>& calls);

// The calls that began on the local day "YYYY-MM-DD", oldest first, from the
// history in `workFolder` and the part of it moved aside.
std::vector<TCallRecord> CallsOfDay(const std::string& workFolder, const std::string& day);

}  // namespace vertamo
