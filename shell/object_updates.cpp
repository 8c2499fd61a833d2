#include "shell/object_updates.h"

#include "map/ui/map_view.h"

namespace vertamo::ui {

TMapPict* TObjectUpdates::WidgetOf(int object) const {
  const MAPOBJECT* record = model_.ObjectList.Get(object);
  return record ? dynamic_cast<TMapPict*>(record->Widget) : nullptr;
}

template <class Set>
TMapPict* TObjectUpdates::Change(int object, Set set) {
  MAPOBJECT* record = model_.ObjectList.Get(object);
  if (!record) return nullptr;
  record->Changed = false;
  set(*record);
  return record->Changed ? WidgetOf(object) : nullptr;
}

void TObjectUpdates::SetState(int object, int state) {
  TMapPict* widget = Change(object, [state](MAPOBJECT& r) { r.SetIdx(state); });
  if (!widget) return;
  widget->setToolTip(HintToolTip(widget->GetMapObject()->Hint.str()));
  widget->update();  // its own rectangle only
}

void TObjectUpdates::SetHint(int object, const std::string& hint) {
  TMapPict* widget = Change(object, [&hint](MAPOBJECT& r) { r.SetHint(hint); });
  if (!widget) return;
  widget->setToolTip(HintToolTip(widget->GetMapObject()->Hint.str()));
  widget->update();
}

void TObjectUpdates::SetCaption(int object, const std::string& caption) {
  TMapPict* widget = Change(object, [&caption](MAPOBJECT& r) { r.SetCaption(caption); });
  if (!widget) return;
  widget->UpdateLabel();
  widget->update();
}

void TObjectUpdates::SetCapColor(int object, int color) {
  if (TMapPict* widget = Change(object, [color](MAPOBJECT& r) { r.SetCapColor(color); }))
    widget->UpdateLabel();
}

}  // namespace vertamo::ui
