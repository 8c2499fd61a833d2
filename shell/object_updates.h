// The change feed's object updates on the main thread: the model's setter
// first, and the object's item only when its record really changed, so an
// update repaints one picture at most (and none when nothing changed).
#pragma once

#include <string>

#include "map/map_model.h"
#include "map/ui/map_board.h"

namespace vertamo::ui {

class TObjectUpdates {
 public:
  TObjectUpdates(TMapModel& model, TMapBoard& maps) : model_(model), maps_(maps) {}

  void SetState(int object, int state);
  void SetHint(int object, const std::string& hint);
  void SetCaption(int object, const std::string& caption);
  void SetCapColor(int object, int color);

 private:
  // Runs `set` on the record; whether it changed it.
  template <class Set>
  bool Change(int object, Set set);

  TMapModel& model_;
  TMapBoard& maps_;
};

}  // namespace vertamo::ui
