// Which map tabs hold events the dispatcher has not seen: a journal line about
// one of a map's objects, or a change of state of one of them, since that map
// was last in front. A marked tab shows how many such events there were and
// the colours of the newest journal line among them, until it is shown. The
// map in front is never marked: what happens there is in view.
#pragma once

#include <cstddef>
#include <vector>

namespace vertamo {

class TUnseenMarks {
 public:
  static constexpr int kNoColor = -1;

  struct TMark {
    int count = 0;
    // The newest journal line's row colours (0x00BBGGRR); kNoColor while only
    // changes of state were seen.
    int color = kNoColor;
    int fontColor = kNoColor;
    bool operator==(const TMark&) const = default;
  };

  // A new set of maps, none in front and none marked.
  void Reset(int maps);
  // The map now in front (-1 for none): its mark goes.
  void Show(int map);
  int Shown() const { return shown_; }

  // A journal line about an object on `map`, in the line's colours. False
  // when it marks nothing (the map in front, or no such map).
  bool JournalLine(int map, int color, int fontColor);
  // A change of state of an object on `map`.
  bool StateChange(int map);

  // The mark of a map; count 0 for none.
  TMark Mark(int map) const;
  int Maps() const { return static_cast<int>(marks_.size()); }

 private:
  bool Markable(int map) const { return map >= 0 && map < Maps() && map != shown_; }

  std::vector<TMark> marks_;
  int shown_ = -1;
};

}  // namespace vertamo
