#include "map/map_model.h"

#include <string>

namespace vertamo {

MAP* MAP_LIST::Add(std::string_view name, bool hasPicture) {
  auto map = std::make_unique<MAP>();
  map->Name = name;
  if (hasPicture) map->Picture = std::make_unique<TBitmap>();
  map->Index = Count();
  return Append(std::move(map));
}

MAPOBJECT* MAPOBJECT_LIST::Add(const MAPOBJECT& record) {
  return Append(std::make_unique<MAPOBJECT>(record));
}

MAPTEXT* MAPTEXT_LIST::Add(const MAPTEXT& record) { return Append(std::make_unique<MAPTEXT>(record)); }

TPictureSet* IMAGELIST_LIST::FindSet(std::string_view name) {
  for (int i = 0; i < Count(); ++i)
    if (Get(i)->Name() == name) return Get(i);
  return nullptr;
}

TPictureSet* IMAGELIST_LIST::FindOrCreateSet(std::string_view name, int width, int height) {
  if (TPictureSet* set = FindSet(name)) return set;
  if (!IsPictureSetName(name) || width <= 0 || height <= 0) return nullptr;
  return Append(std::make_unique<TPictureSet>(std::string(name), width, height));
}

TPictureSet* IMAGELIST_LIST::AddPicture(std::string_view name, const TBitmap& bitmap) {
  if (bitmap.Empty()) return nullptr;
  TPictureSet* set = FindSet(name);
  if (!set || !set->Add(bitmap)) return nullptr;
  return set;
}

void TMapModel::Clear() {
  MapList.Clear();
  ObjectList.Clear();
  PictureSets.Clear();
  TextList.Clear();
}

}  // namespace vertamo
