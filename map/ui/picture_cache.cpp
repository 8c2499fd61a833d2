#include "map/ui/picture_cache.h"

#include <algorithm>
#include <cmath>

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

const QPixmap* TPictureCache::Scaled(const TPictureSet* set, int index, qreal scale, qreal pixelRatio) {
  constexpr std::size_t kScalesKept = 4;
  const QPixmap* original = Get(set, index);
  if (!original) return nullptr;
  const qreal device = scale * pixelRatio;
  const auto key = static_cast<long long>(std::llround(device * 1000));
  if (scaled_.size() >= kScalesKept && scaled_.find(key) == scaled_.end()) scaled_.clear();
  std::vector<QPixmap>& pixmaps = scaled_[key][set];
  if (pixmaps.size() < static_cast<std::size_t>(set->Count()))
    pixmaps.resize(static_cast<std::size_t>(set->Count()));
  QPixmap& pixmap = pixmaps[static_cast<std::size_t>(index)];
  if (pixmap.isNull()) {
    const QSize size(std::max(1, static_cast<int>(std::lround(original->width() * device))),
                     std::max(1, static_cast<int>(std::lround(original->height() * device))));
    pixmap = original->scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    pixmap.setDevicePixelRatio(pixelRatio);
  }
  return &pixmap;
}

}  // namespace vertamo::ui
