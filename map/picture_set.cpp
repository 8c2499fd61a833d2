#include "map/picture_set.h"

#include <algorithm>
#include <utility>

namespace vertamo {
namespace {

constexpr uint32_t kRgbMask = 0x00FFFFFF;
constexpr uint32_t kOpaqueWhite = 0xFFFFFFFF;

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

uint32_t BottomLeft(const Image& image) {
  return image.argb[static_cast<std::size_t>(image.height - 1) * static_cast<std::size_t>(image.width)];
}

}  // namespace

Image TSetPicture::Drawable() const {
  Image out = Pixels;
  if (!Masked) return out;
  for (std::size_t i = 0; i < out.argb.size() && i < Mask.size(); ++i)
    if (Mask[i]) out.argb[i] &= kRgbMask;
  return out;
}

TPictureSet::TPictureSet(std::string name, int width, int height)
    : name_(std::move(name)), width_(width), height_(height) {}

const TSetPicture* TPictureSet::Get(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return &pictures_[static_cast<std::size_t>(index)];
}

bool TPictureSet::Add(const TBitmap& bitmap) {
  if (bitmap.Empty()) return false;
  if (width_ == 1 && pictures_.empty()) {
    width_ = bitmap.Pixels.width;
    height_ = bitmap.Pixels.height;
  }
  pictures_.push_back(Make(bitmap));
  return true;
}

bool TPictureSet::MakeRoom(int count, int width, int height) {
  if (count < 1 || !pictures_.empty() || width <= 0 || height <= 0) return false;
  if (width_ == 1) {
    width_ = width;
    height_ = height;
  }
  // Until each is filled a place holds a blank picture of the set's size, so
  // a set whose load stopped half way still holds only pictures that can be
  // drawn whole.
  TSetPicture blank;
  blank.Pixels = FitToSize(Image{}, width_, height_, kOpaqueWhite);
  pictures_.assign(static_cast<std::size_t>(count), blank);
  return true;
}

bool TPictureSet::Fill(int index, TBitmap bitmap) {
  if (bitmap.Empty() || index < 0 || index >= Count()) return false;
  pictures_[static_cast<std::size_t>(index)] = Make(std::move(bitmap));
  return true;
}

TSetPicture TPictureSet::Make(TBitmap bitmap) const {
  Image& source = bitmap.Pixels;
  TSetPicture picture;
  if (source.width == width_ && source.height == height_) {
    picture.Pixels = std::move(source);
    picture.Pixels.argb.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
  } else {
    // An extension of a transparent picture takes its background colour (the
    // bottom-left pixel), so the added area shows through like the background
    // and the mask colour stays the picture's own; other pictures are extended
    // with white, as on a fresh canvas.
    const uint32_t fill = bitmap.Transparent ? BottomLeft(source) : kOpaqueWhite;
    picture.Pixels = FitToSize(source, width_, height_, fill);
  }
  if (bitmap.Transparent) {
    picture.Masked = true;
    picture.MaskColour = BottomLeft(picture.Pixels);
    const uint32_t key = picture.MaskColour & kRgbMask;
    picture.Mask.resize(picture.Pixels.argb.size());
    for (std::size_t i = 0; i < picture.Mask.size(); ++i)
      picture.Mask[i] = (picture.Pixels.argb[i] & kRgbMask) == key ? 1 : 0;
  }
  return picture;
}

Image FitToSize(const Image& source, int width, int height, uint32_t fill) {
  Image out;
  if (width <= 0 || height <= 0) return out;
  out.width = width;
  out.height = height;
  out.argb.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill);
  const int rows = std::min(height, source.height);
  const int cols = std::min(width, source.width);
  if (rows <= 0 || cols <= 0 ||
      source.argb.size() < static_cast<std::size_t>(source.width) * static_cast<std::size_t>(source.height))
    return out;
  for (int y = 0; y < rows; ++y) {
    const auto from = source.argb.begin() + static_cast<std::ptrdiff_t>(y) * source.width;
    std::copy(from, from + cols, out.argb.begin() + static_cast<std::ptrdiff_t>(y) * width);
  }
  return out;
}

bool IsPictureSetName(std::string_view name) {
  if (name.empty()) return false;
  if (!IsAsciiLetter(name[0]) && name[0] != '_') return false;
  return std::all_of(name.begin() + 1, name.end(),
                     [](char c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_'; });
}

}  // namespace vertamo
