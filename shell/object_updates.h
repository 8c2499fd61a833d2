// The change feed's object updates on the main thread: the model's setter
// first, and the object's picture only when its record really changed, so an
// update repaints one picture at most (and none when nothing changed).
#pragma once

#include <string>

#include "map/map_model.h"
#include "map/ui/map_pict.h"

namespace vertamo::ui {

class TObjectUpdates {
 public:
  explicit TObjectUpdates(TMapModel& model) : model_(model) {}

  void SetState(int object, int state);
  void SetHint(int object, const std::string& hint);
  void SetCaption(int object, const std::string& caption);
  void SetCapColor(int object, int color);

  // The picture of an object on a map; null for an unknown object or one
  // whose tab is not built (yet).
  TMapPict* WidgetOf(int object) const;

 private:
  // Runs `set` on the record; the picture of a record it changed, else null.
  template <class Set>
  TMapPict* Change(int object, Set set);

  TMapModel& model_;
};

}  // namespace vertamo::ui
