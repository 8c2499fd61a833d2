// Where the windows open, on the screens dispatchers have: 1920x1080,
// 1280x800, and 1920x1080 scaled by 2 (960x540 in desktop pixels).
#include "settings/window_places.h"

#include <ostream>

#include <gtest/gtest.h>

namespace vertamo {

void PrintTo(const TPlace& p, std::ostream* os) {
  *os << p.left << "," << p.top << " " << p.width << "x" << p.height;
}

namespace {

// Free areas: the screen less a 24-pixel panel at the top.
const TPlace kWide{0, 24, 1920, 1056};
const TPlace kSmall{0, 24, 1280, 776};
const TPlace kScaled{0, 12, 960, 528};
// The design places: main window 909x596 at 0,0, journal 1055x210 at 215,448.
const TDeskPlaces kDesign{{0, 0, 909, 596}, {215, 448, 1055, 210}};

bool Inside(const TPlace& p, const TPlace& free) { return FitInto(p, free) == p; }

TEST(WindowPlaces, FitKeepsAWindowWholeOnItsScreen) {
  EXPECT_EQ(FitInto({1800, 900, 400, 300}, kWide), (TPlace{1520, 780, 400, 300}));
  EXPECT_EQ(FitInto({-50, 0, 2400, 1200}, kWide), kWide);
  EXPECT_EQ(FitInto({10, 30, 100, 100}, kWide), (TPlace{10, 30, 100, 100}));
}

TEST(WindowPlaces, AScreenIsTheOneUnderTheCentreElseTheMostCovered) {
  const std::vector<TPlace> screens{{0, 0, 1920, 1080}, {1920, 0, 1280, 800}};
  EXPECT_EQ(ScreenOf({1800, 100, 400, 300}, screens), 1u);  // centre at 2000
  EXPECT_EQ(ScreenOf({1500, 900, 1000, 400}, screens), 0u);  // centre below the second screen
  EXPECT_EQ(ScreenOf({5000, 5000, 10, 10}, screens, 1), 1u);
}

TEST(WindowPlaces, FirstStartSharesTheScreenWhereThereIsRoom) {
  for (const TPlace& free : {kWide, kSmall, kScaled}) {
    const TDeskPlaces p = DefaultDeskPlaces(free, kDesign);
    EXPECT_TRUE(Inside(p.main, free) && Inside(p.journal, free)) << free.width;
    EXPECT_TRUE(Common(p.main, p.journal).empty()) << free.width;
    EXPECT_EQ(p.main.width, free.width);
    EXPECT_EQ(p.journal.bottom(), free.bottom());
    EXPECT_GE(p.main.height, kMinSharedMainHeight);
  }
  // A screen too low for both keeps the design places, whole.
  const TPlace tiny{0, 0, 800, 400};
  const TDeskPlaces p = DefaultDeskPlaces(tiny, kDesign);
  EXPECT_TRUE(Inside(p.main, tiny) && Inside(p.journal, tiny));
}

TEST(WindowPlaces, PlacesSavedOnALargerScreenStopCoveringEachOther) {
  struct Case {
    const char* what;
    TDeskPlaces saved;
    TPlace free;
  } cases[] = {
      {"saved at 1920, opened at 1280", DefaultDeskPlaces(kWide, kDesign), kSmall},
      {"saved at 1920, opened scaled by 2", DefaultDeskPlaces(kWide, kDesign), kScaled},
      {"journal dragged over the tabs", {{0, 24, 1280, 500}, {0, 400, 1280, 200}}, kSmall},
      {"main window grown over the journal", {{0, 24, 1920, 1056}, {0, 880, 1920, 200}}, kWide},
  };
  for (const Case& c : cases) {
    const TDeskPlaces fitted{FitInto(c.saved.main, c.free), FitInto(c.saved.journal, c.free)};
    const TDeskPlaces p = SeparateDeskPlaces(fitted, c.free);
    EXPECT_TRUE(Common(p.main, p.journal).empty()) << c.what;
    EXPECT_TRUE(Inside(p.main, c.free) && Inside(p.journal, c.free)) << c.what;
    EXPECT_GE(p.main.height, kMinSharedMainHeight) << c.what;
    EXPECT_EQ(p.journal.width, fitted.journal.width) << c.what;
  }
}

TEST(WindowPlaces, PlacesThatDoNotMeetStay) {
  const TDeskPlaces apart{{0, 24, 1280, 500}, {0, 524, 1280, 200}};
  EXPECT_EQ(SeparateDeskPlaces(apart, kSmall), apart);
  // A journal that meets the main window goes below it when there is room.
  const TDeskPlaces p = SeparateDeskPlaces({{0, 24, 1280, 400}, {0, 300, 1280, 200}}, kSmall);
  EXPECT_EQ(p.main, (TPlace{0, 24, 1280, 400}));
  EXPECT_EQ(p.journal, (TPlace{0, 424, 1280, 200}));
}

}  // namespace
}  // namespace vertamo
