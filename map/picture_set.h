// Picture sets: named lists of equally sized pictures that map objects are drawn
// from (an object shows picture Idx of its set).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "map/map_records.h"
#include "codec/image.h"

namespace vertamo {

// One picture of a set, already of the set's size.
struct TSetPicture {
  Image Pixels;
  // Pictures added as transparent carry a mask: the colour of their bottom-left
  // pixel (compared without its alpha) shows through wherever it occurs.
  bool Masked = false;
  uint32_t MaskColour = 0;    // 0xAARRGGBB of the bottom-left pixel
  std::vector<uint8_t> Mask;  // one byte per pixel, 1 where the picture is transparent

  // The pixels with the masked ones made fully transparent (alpha 0), ready to draw.
  Image Drawable() const;
};

class TPictureSet {
 public:
  TPictureSet(std::string name, int width, int height);

  const std::string& Name() const { return name_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Count() const { return static_cast<int>(pictures_.size()); }
  // Picture index or nullptr when index is outside 0..Count()-1.
  const TSetPicture* Get(int index) const;

  // Adds a picture: the first picture of a set that is still 1 pixel wide fixes
  // the set's size; any other picture of a different size is cut or extended to
  // the set's size (kept at the top left, no scaling). Returns false for an
  // empty bitmap.
  bool Add(const TBitmap& bitmap);

 private:
  std::string name_;
  int width_, height_;
  std::vector<TSetPicture> pictures_;
};

// The picture as a width x height canvas: the part that fits is kept at the top
// left, and any area the source does not cover is filled with `fill`.
Image FitToSize(const Image& source, int width, int height, uint32_t fill);

// A set name must be an identifier: an ASCII letter or "_", then ASCII letters,
// digits or "_".
bool IsPictureSetName(std::string_view name);

}  // namespace vertamo
