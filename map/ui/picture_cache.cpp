#include "map/ui/picture_cache.h"

#include <algorithm>

namespace vertamo::ui {

QImage ToQImage(const Image& image, bool transparent) {
  const auto pixels = static_cast<std::size_t>(image.width > 0 ? image.width : 0) *
                      static_cast<std::size_t>(image.height > 0 ? image.height : 0);
  if (pixels == 0 || image.argb.size() < pixels) return {};
  QImage out(image.width, image.height, QImage::Format_ARGB32);
  if (out.isNull()) return {};
  for (int y = 0; y < image.height; ++y) {
    const uint32_t* from =
        image.argb.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width);
    std::copy(from, from + image.width, reinterpret_cast<uint32_t*>(out.scanLine(y)));
  }
  if (transparent) {
    const uint32_t key = image.argb[static_cast<std::size_t>(image.height - 1) * image.width] & 0x00FFFFFFu;
    for (int y = 0; y < image.height; ++y) {
      auto* line = reinterpret_cast<uint32_t*>(out.scanLine(y));
      for (int x = 0; x < image.width; ++x)
        if ((line[x] & 0x00FFFFFFu) == key) line[x] = 0;
    }
  }
  return out;
}

const QPixmap* TPictureCache::Get(const TPictureSet* set, int index) {
  if (!set || index < 0 || index >= set->Count()) return nullptr;
  std::vector<QPixmap>& pixmaps = sets_[set];
  if (pixmaps.size() < static_cast<std::size_t>(set->Count()))
    pixmaps.resize(static_cast<std::size_t>(set->Count()));
  QPixmap& pixmap = pixmaps[static_cast<std::size_t>(index)];
  if (pixmap.isNull()) {
    const TSetPicture* picture = set->Get(index);
    const QImage image = ToQImage(picture->Masked ? picture->Drawable() : picture->Pixels);
    if (image.isNull()) return nullptr;
    pixmap = QPixmap::fromImage(image);
    ++conversions_;
  }
  return &pixmap;
}

}  // namespace vertamo::ui
