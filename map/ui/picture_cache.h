// The pictures of the maps as Qt pixmaps. Every picture of a set is converted
// once, on first use, and shared by every object drawn from it on every map.
#pragma once

#include <QImage>
#include <QPixmap>
#include <unordered_map>
#include <vector>

#include "map/picture_set.h"

namespace vertamo::ui {

// A picture of the model as a Qt image (ARGB32, the same pixels). With
// `transparent`, every pixel of the colour of the bottom-left pixel becomes
// fully transparent, as a transparent bitmap shows the map through it.
QImage ToQImage(const Image& image, bool transparent = false);

// The cache knows the sets by their address: it must be cleared whenever the
// model's picture sets are freed (the maps are cleared with them).
class TPictureCache {
 public:
  // Picture `index` of `set`, ready to draw (masked pictures with their
  // transparent pixels); nullptr when the set has no such picture.
  const QPixmap* Get(const TPictureSet* set, int index);
  void Clear() { sets_.clear(); }
  // Pictures converted since the cache was made (for measurements).
  long long Conversions() const { return conversions_; }

 private:
  std::unordered_map<const TPictureSet*, std::vector<QPixmap>> sets_;
  long long conversions_ = 0;
};

}  // namespace vertamo::ui
