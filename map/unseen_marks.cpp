#include "map/unseen_marks.h"

namespace vertamo {

void TUnseenMarks::Reset(int maps) {
  marks_.assign(maps > 0 ? static_cast<std::size_t>(maps) : std::size_t{0}, TMark{});
  shown_ = -1;
}

void TUnseenMarks::Show(int map) {
  shown_ = map;
  if (map >= 0 && map < Maps()) marks_[static_cast<std::size_t>(map)] = TMark{};
}

bool TUnseenMarks::JournalLine(int map, int color, int fontColor) {
  if (!Markable(map)) return false;
  TMark& mark = marks_[static_cast<std::size_t>(map)];
  ++mark.count;
  mark.color = color;
  mark.fontColor = fontColor;
  return true;
}

bool TUnseenMarks::StateChange(int map) {
  if (!Markable(map)) return false;
  ++marks_[static_cast<std::size_t>(map)].count;
  return true;
}

TUnseenMarks::TMark TUnseenMarks::Mark(int map) const {
  return map >= 0 && map < Maps() ? marks_[static_cast<std::size_t>(map)] : TMark{};
}

}  // namespace vertamo
