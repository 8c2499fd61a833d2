// The history's columns in the room the grid has.
#include "voice/history_columns.h"

#include <gtest/gtest.h>

namespace vertamo {
namespace {

// Time, ring, who (stretched), talk time, outcome, record; who, the outcome
// and the record may be elided.
const std::vector<int> kWanted = {80, 40, 300, 40, 140, 60};
const std::vector<bool> kElidable = {false, false, true, false, true, true};

TEST(HistoryColumnWidths, WhoTakesWhatIsLeftAndGivesWayLast) {
  struct Case {
    int available;
    std::vector<int> widths;
  } cases[] = {
      {1000, {80, 40, 640, 40, 140, 60}},  // room for all: who takes the rest
      {660, {80, 40, 300, 40, 140, 60}},   // just room
      {620, {80, 40, 300, 40, 112, 48}},   // who keeps what it wants, the others give way…
      {500, {80, 40, 226, 40, 79, 34}},    // …until it has two thirds of their room
      {100, {80, 40, 16, 40, 16, 16}},     // never below the least
  };
  for (const Case& c : cases) EXPECT_EQ(HistoryColumnWidths(c.available, kWanted, kElidable, 2), c.widths) << c.available;
}

}  // namespace
}  // namespace vertamo
