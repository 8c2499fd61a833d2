// The marks of map tabs with unseen events, and the object the speaker stands for.
#include "map/unseen_marks.h"

#include <gtest/gtest.h>

#include "map/speaker_call.h"

namespace vertamo {
namespace {

using TMark = TUnseenMarks::TMark;
constexpr int kCallRow = 0x00FFFF, kCallText = 0x0000FF, kFaultRow = 0x8080FF, kBlack = 0;

// Three maps: the district (0) in front, the hall (1), the machine room (2).
TUnseenMarks District() {
  TUnseenMarks marks;
  marks.Reset(3);
  marks.Show(0);
  return marks;
}

TEST(UnseenMarks, AnEventOnAMapBehindMarksItsTabInTheNewestLinesColours) {
  TUnseenMarks marks = District();
  EXPECT_TRUE(marks.StateChange(1));
  EXPECT_EQ(marks.Mark(1), (TMark{1, TUnseenMarks::kNoColor, TUnseenMarks::kNoColor}));
  EXPECT_TRUE(marks.JournalLine(1, kFaultRow, kBlack));
  EXPECT_TRUE(marks.JournalLine(1, kCallRow, kCallText));
  EXPECT_TRUE(marks.StateChange(1));  // a state change keeps the line's colours
  EXPECT_EQ(marks.Mark(1), (TMark{4, kCallRow, kCallText}));
  EXPECT_EQ(marks.Mark(2), TMark{});
}

TEST(UnseenMarks, TheMapInFrontAndMapsThatDoNotExistAreNeverMarked) {
  TUnseenMarks marks = District();
  EXPECT_FALSE(marks.JournalLine(0, kCallRow, kCallText));
  EXPECT_FALSE(marks.StateChange(0));
  EXPECT_FALSE(marks.StateChange(3));
  EXPECT_FALSE(marks.StateChange(-1));
  EXPECT_EQ(marks.Mark(0), TMark{});
}

TEST(UnseenMarks, AMarkClearsWhenItsTabIsShownAndOnlyThen) {
  TUnseenMarks marks = District();
  marks.JournalLine(1, kCallRow, kCallText);
  marks.JournalLine(2, kFaultRow, kBlack);
  marks.Show(1);
  EXPECT_EQ(marks.Mark(1), TMark{});
  EXPECT_EQ(marks.Mark(2).count, 1);
  // The district, now behind, is marked by what happens there.
  EXPECT_TRUE(marks.StateChange(0));
  EXPECT_EQ(marks.Mark(0).count, 1);
  // A new load forgets every mark.
  marks.Reset(3);
  for (int map = 0; map < 3; ++map) EXPECT_EQ(marks.Mark(map), TMark{});
}

TEST(SpeakerCall, TheCallingObjectIsTheNewestLineAroundTheCall) {
  struct Step {
    char what;  // 'L' a journal line about `value`, 'S' the speaker set to `value`
    int value;
    int calling;
  };
  const std::vector<Step> lineFirst{{'L', 4, -1}, {'L', 7, -1}, {'S', 1, 7}, {'L', 9, 9}, {'S', 0, -1}};
  const std::vector<Step> speakerFirst{{'L', 4, -1}, {'S', 1, 4}, {'L', 7, 7}, {'L', -1, 7}, {'S', 1, 7}};
  for (const auto* steps : {&lineFirst, &speakerFirst}) {
    TSpeakerCall call;
    for (const Step& s : *steps) {
      if (s.what == 'L')
        call.JournalLine(s.value);
      else
        call.Speaker(s.value);
      EXPECT_EQ(call.Calling(), s.calling) << s.what << s.value;
    }
  }
}

}  // namespace
}  // namespace vertamo
