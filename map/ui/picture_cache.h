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
  // The same picture as device pixels for a map shown at `scale` on a screen
  // of `pixelRatio` device pixels per pixel, smoothed once, so that a zoomed
  // map draws it as it is rather than filtering it again at every paint; its
  // device pixel ratio is `pixelRatio`. A few scales are kept (the maps keep
  // zooms of their own); nullptr as for Get.
  const QPixmap* Scaled(const TPictureSet* set, int index, qreal scale, qreal pixelRatio);
  void Clear() {
    sets_.clear();
    scaled_.clear();
  }
  // Pictures converted since the cache was made (for measurements).
  long long Conversions() const { return conversions_; }

 private:
  using TSets = std::unordered_map<const TPictureSet*, std::vector<QPixmap>>;
  TSets sets_;
  // By the device scale in thousandths.
  std::unordered_map<long long, TSets> scaled_;
  long long conversions_ = 0;
};

}  // namespace vertamo::ui
