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

  // Room for `count` pictures at once, for a load that fills them in any
  // order and from several threads, each by Fill: a set still 1 pixel wide
  // takes `width` x `height` (its first picture's size). False when the set
  // has pictures already or count < 1.
  bool MakeRoom(int count, int width, int height);
  // Makes picture `index` of the room from `bitmap` as Add would. False for
  // an empty bitmap or an index outside. Distinct indexes may be filled at
  // once from different threads; nothing else may touch the set meanwhile.
  bool Fill(int index, TBitmap bitmap);

 private:
  TSetPicture Make(TBitmap bitmap) const;

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
