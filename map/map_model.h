// The map model: the four lists that hold what the server's catalogue
// describes. The running program has one TMapModel, owned by the main window;
// tests make as many as they like.
//
// The connection thread fills the lists during the load, while nothing else
// touches them; afterwards every read and change happens on the main thread.
// The model has no locks.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "map/map_records.h"
#include "map/picture_set.h"

namespace vertamo {

// A list that owns its records. Records are numbered by position from 0 and
// never move, so links to them stay valid until the list is cleared.
template <class T>
class TOwningList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  // The record at index, or nullptr when index is outside 0..Count()-1.
  T* Get(int index) { return InRange(index) ? items_[static_cast<std::size_t>(index)].get() : nullptr; }
  const T* Get(int index) const {
    return InRange(index) ? items_[static_cast<std::size_t>(index)].get() : nullptr;
  }
  // Position of the record, or -1 when the list does not hold it.
  int IndexOf(const T* item) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
      if (items_[i].get() == item) return static_cast<int>(i);
    return -1;
  }
  // Frees every record.
  void Clear() { items_.clear(); }

 protected:
  T* Append(std::unique_ptr<T> item) {
    items_.push_back(std::move(item));
    return items_.back().get();
  }

 private:
  bool InRange(int index) const { return index >= 0 && index < Count(); }
  std::vector<std::unique_ptr<T>> items_;
};

class MAP_LIST : public TOwningList<MAP> {
 public:
  // A new map at the end: the name cut to 63 characters, an empty background
  // picture only when hasPicture is set, Index its position.
  MAP* Add(std::string_view name, bool hasPicture);
};

class MAPOBJECT_LIST : public TOwningList<MAPOBJECT> {
 public:
  // Adds a copy of the record at the end.
  MAPOBJECT* Add(const MAPOBJECT& record);
};

class MAPTEXT_LIST : public TOwningList<MAPTEXT> {
 public:
  MAPTEXT* Add(const MAPTEXT& record);
};

class IMAGELIST_LIST : public TOwningList<TPictureSet> {
 public:
  // The set of that name (compared exactly), or nullptr.
  TPictureSet* FindSet(std::string_view name);
  // The existing set, or a new empty one of that size; nullptr when the name is
  // not an identifier or the size is not positive.
  TPictureSet* FindOrCreateSet(std::string_view name, int width, int height);
  // Adds the bitmap to the set of that name (see TPictureSet::Add); nullptr when
  // the bitmap is empty or no such set exists.
  TPictureSet* AddPicture(std::string_view name, const TBitmap& bitmap);
};

class TMapModel {
 public:
  MAP_LIST MapList;
  MAPOBJECT_LIST ObjectList;
  IMAGELIST_LIST PictureSets;
  MAPTEXT_LIST TextList;

  // Empties the lists in the order maps (with their pictures), objects,
  // picture sets, texts.
  void Clear();
};

}  // namespace vertamo
