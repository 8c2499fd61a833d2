// The zoom of a map the dispatcher has not zoomed.
#include "map/default_zoom.h"

#include <gtest/gtest.h>

namespace vertamo {
namespace {

TEST(DefaultMapZoom, WholeUnlessThatEnlargesByMoreThanHalf) {
  struct Case {
    double map[2], view[2], zoom;
  } cases[] = {
      {{1600, 1200}, {800, 900}, 0.5},    // larger than its tab: shrunk to fit
      {{1000, 500}, {1500, 900}, 1.5},    // enlarged by half: fitted
      {{1000, 500}, {1200, 550}, 1.1},    // the narrower side decides
      {{1000, 500}, {1510, 900}, 1.0},    // by more than half: as designed
      {{400, 300}, {1920, 1000}, 1.0},
      {{0, 300}, {1920, 1000}, 1.0},      // no map to speak of
      {{400, 300}, {0, 0}, 1.0},          // a tab not laid out yet
  };
  for (const Case& c : cases)
    EXPECT_DOUBLE_EQ(DefaultMapZoom(WholeMapZoom(c.map[0], c.map[1], c.view[0], c.view[1])), c.zoom)
        << c.map[0] << "x" << c.map[1] << " in " << c.view[0] << "x" << c.view[1];
}

}  // namespace
}  // namespace vertamo
