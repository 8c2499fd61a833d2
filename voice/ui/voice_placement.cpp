#include "voice/ui/voice_placement.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <tuple>
#include <vector>

namespace vertamo::ui {
namespace {

// Every place worth trying along one axis: flush with the screen's edges, just
// beside the map and the clicked object on either side, and a grid between.
std::vector<int> Candidates(int low, int high, int size, std::initializer_list<int> edges) {
  constexpr int kStep = 16;
  std::vector<int> at;
  const int last = high - size + 1;  // the last start that keeps the window inside
  for (int p = low; p < last; p += kStep) at.push_back(p);
  at.push_back(last);
  for (int edge : edges) at.push_back(std::clamp(edge, low, last));
  return at;
}

std::int64_t Area(const QRect& r) { return r.isEmpty() ? 0 : std::int64_t(r.width()) * r.height(); }

}  // namespace

QPoint VoiceWindowPlace(const QRect& screen, const QRect& map, const QRect& keepClear, const QSize& window,
                        const QPoint& near) {
  if (window.width() > screen.width() || window.height() > screen.height()) return screen.topLeft();
  const QRect avoid = keepClear.isEmpty() ? QRect()
                                          : keepClear.adjusted(-kKeepClearMargin, -kKeepClearMargin,
                                                               kKeepClearMargin, kKeepClearMargin);
  const int w = window.width(), h = window.height();
  const std::vector<int> xs =
      Candidates(screen.left(), screen.right(), w,
                 {map.left() - w, map.right() + 1, avoid.left() - w, avoid.right() + 1});
  const std::vector<int> ys =
      Candidates(screen.top(), screen.bottom(), h,
                 {map.top() - h, map.bottom() + 1, avoid.top() - h, avoid.bottom() + 1});
  // Ranked by: over the clicked object itself, then within its margin (each
  // only when nothing else fits), the map covered, the distance from `near`
  // to the window's centre.
  struct Rank {
    bool overObject, nearObject;
    std::int64_t covered, distance;
    bool operator<(const Rank& o) const {
      return std::tie(overObject, nearObject, covered, distance) <
             std::tie(o.overObject, o.nearObject, o.covered, o.distance);
    }
  };
  Rank best{true, true, std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::max()};
  QPoint place = screen.topLeft();
  for (int x : xs)
    for (int y : ys) {
      const QRect r(x, y, w, h);
      const QPoint d = r.center() - near;
      const Rank rank{!keepClear.isEmpty() && r.intersects(keepClear),
                      !avoid.isEmpty() && r.intersects(avoid), Area(r & map),
                      std::int64_t(d.x()) * d.x() + std::int64_t(d.y()) * d.y()};
      if (rank < best) {
        best = rank;
        place = r.topLeft();
      }
    }
  return place;
}

}  // namespace vertamo::ui
