#include "shell/object_updates.h"

namespace vertamo::ui {

template <class Set>
bool TObjectUpdates::Change(int object, Set set) {
  MAPOBJECT* record = model_.ObjectList.Get(object);
  if (!record) return false;
  record->Changed = false;
  set(*record);
  return record->Changed;
}

void TObjectUpdates::SetState(int object, int state) {
  if (Change(object, [state](MAPOBJECT& r) { r.SetIdx(state); })) maps_.PictureChanged(object);
}

// The hint is read from the record whenever it shows: nothing to repaint.
void TObjectUpdates::SetHint(int object, const std::string& hint) {
  if (MAPOBJECT* record = model_.ObjectList.Get(object)) record->SetHint(hint);
}

void TObjectUpdates::SetCaption(int object, const std::string& caption) {
  if (Change(object, [&caption](MAPOBJECT& r) { r.SetCaption(caption); })) maps_.CaptionChanged(object);
}

void TObjectUpdates::SetCapColor(int object, int color) {
  if (Change(object, [color](MAPOBJECT& r) { r.SetCapColor(color); })) maps_.CaptionChanged(object);
}

}  // namespace vertamo::ui
