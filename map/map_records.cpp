#include "map/map_records.h"

#include <algorithm>
#include <string>

#include "platform/hint_place.h"

namespace vertamo {
namespace {

template <class T>
void SetField(T& field, const T& value, bool& changed) {
  if (field == value) return;
  field = value;
  changed = true;
}

template <std::size_t N>
void SetText(FixedText<N>& field, std::string_view value, bool& changed) {
  SetField(field, FixedText<N>(value), changed);
}

}  // namespace

bool TBitmap::Empty() const {
  if (Pixels.width <= 0 || Pixels.height <= 0) return true;
  return Pixels.argb.size() <
         static_cast<std::size_t>(Pixels.width) * static_cast<std::size_t>(Pixels.height);
}

void MAPOBJECT::SetName(std::string_view value) { SetText(Name, value, Changed); }
void MAPOBJECT::SetType(int value) { SetField(Type, value, Changed); }

void MAPOBJECT::SetHint(std::string_view value) {
  std::string text = CutToCapacity(value, decltype(Hint)::kCapacity);
  std::replace(text.begin(), text.end(), '$', '\n');
  SetText(Hint, text, Changed);
  const std::string naming = HintNaming(Name.str(), text);
  if (!naming.empty()) Naming = naming;
}

std::string MAPOBJECT::HintText() const {
  const std::string hint = Hint.str();
  if (hint.empty() || Name.empty() || !HintNaming(Name.str(), hint).empty()) return hint;
  return (Naming.empty() ? Name.str() : Naming.str()) + '\n' + hint;
}

void MAPOBJECT::SetImlName(std::string_view value) { SetText(ImlName, value, Changed); }
void MAPOBJECT::SetIdx(int value) { SetField(Idx, value, Changed); }
void MAPOBJECT::SetMapIndex(int value) { SetField(MapIndex, value, Changed); }
void MAPOBJECT::SetX(int value) { SetField(X, value, Changed); }
void MAPOBJECT::SetY(int value) { SetField(Y, value, Changed); }
void MAPOBJECT::SetCX(int value) { SetField(CX, value, Changed); }
void MAPOBJECT::SetCY(int value) { SetField(CY, value, Changed); }
void MAPOBJECT::SetCapVisible(bool value) { SetField(CapVisible, value, Changed); }
void MAPOBJECT::SetCaption(std::string_view value) { SetText(Caption, value, Changed); }
void MAPOBJECT::SetCapColor(int value) { SetField(CapColor, value, Changed); }
void MAPOBJECT::SetCapTransparent(bool value) { SetField(CapTransparent, value, Changed); }
void MAPOBJECT::SetPCount(int value) { SetField(PCount, value, Changed); }

}  // namespace vertamo
