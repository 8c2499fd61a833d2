// A small fixed day (tests/summary/data): its journal and its call history
// counted per hour, kind, outcome and object.
#include "summary/day_summary.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/cp1251.h"

namespace vertamo {
namespace {

const std::string kData = VERTAMO_SUMMARY_TEST_DATA;

TDaySummary FixedDay() {
  return SummarizeDay(ReadJournalDay(kData + "/2026-12-08.log"), CallsOfDay(kData, "2026-12-08"));
}

TEST(DaySummary, EventsPerHourByKindAndTheBusiestObjects) {
  const TDaySummary day = FixedDay();
  EXPECT_EQ(day.events, 8);  // the hand-written line is no event
  ASSERT_EQ(day.kinds.size(), 3u);
  // Red first (6 events), named by its most frequent text; then green, then the line without colours.
  EXPECT_EQ(day.kinds[0].color, 255);
  EXPECT_EQ(day.kinds[0].total, 6);
  EXPECT_EQ(day.kinds[0].label, Utf8ToCp1251("Открыта дверь"));
  EXPECT_EQ(day.kinds[0].perHour[0], 2);
  EXPECT_EQ(day.kinds[0].perHour[9], 2);
  EXPECT_EQ(day.kinds[0].perHour[23], 2);
  const auto unknown = std::find_if(day.kinds.begin(), day.kinds.end(), [](const TEventKind& k) { return !k.colorKnown; });
  ASSERT_NE(unknown, day.kinds.end());
  EXPECT_EQ(unknown->perHour[10], 1);

  ASSERT_EQ(day.topObjects.size(), 3u);
  EXPECT_EQ(day.topObjects[0].object, 9);
  EXPECT_EQ(day.topObjects[0].events, 4);
  EXPECT_EQ(day.topObjects[0].place, Utf8ToCp1251("пр. Строителей, 5"));
  EXPECT_EQ(day.topObjects[1].object, 4);
  EXPECT_EQ(day.topObjects[1].events, 3);
  EXPECT_EQ(day.topObjects[2].object, -1);  // known by its name only
  EXPECT_EQ(day.topObjects[2].name, Utf8ToCp1251("Датчик 2"));
}

TEST(DaySummary, CallsPerHourByOutcomeWithTheWaitToAnswer) {
  const TDaySummary day = FixedDay();
  // 09: three answered (after 4, 10 and 30 s; one broken off after the
  // answer still counts answered), missed 1 + 4 repeats + 1 refused.
  EXPECT_EQ(day.calls[9], (TCallCounts{3, 6, 0, 0, 10, 30}));
  EXPECT_EQ(day.calls[14], (TCallCounts{0, 0, 1, 2, 0, 0}));
  EXPECT_EQ(day.calls[23].Total(), 0) << "the day before is not this day";
  EXPECT_EQ(day.callTotals, (TCallCounts{3, 6, 1, 2, 10, 30}));
}

TEST(DaySummary, ManyObjectsKeepTheTenBusiest) {
  std::vector<TJournalRecord> events;
  for (int object = 0; object < 30; ++object)
    for (int n = 0; n <= object; ++n) {
      TJournalRecord e;
      e.arrived = "08.12 12:00:00";
      e.kindKept = true;
      e.object = object;
      events.push_back(e);
    }
  const TDaySummary day = SummarizeDay(events, {});
  ASSERT_EQ(day.topObjects.size(), TDaySummary::kTopObjects);
  EXPECT_EQ(day.topObjects.front().object, 29);
  EXPECT_EQ(day.topObjects.back().object, 20);
}

}  // namespace
}  // namespace vertamo
