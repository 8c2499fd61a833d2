// A small software rasteriser for the demo district's artwork: filled and
// outlined shapes with smooth edges, lines with thickness, polygons, and a tiny
// built-in 5 × 7 pixel font (digits, Latin and Cyrillic capitals) for labels
// and numbers. Pictures are vertamo::Image (0xAARRGGBB, straight alpha), ready
// for the PNG encoder.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "codec/png_codec.h"

namespace orvexsim::art {

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) {
  return 0xFF000000u | ((r & 255) << 16) | ((g & 255) << 8) | (b & 255);
}
// The colour with its alpha replaced by `a` (0 … 255).
constexpr uint32_t WithAlpha(uint32_t color, uint32_t a) { return (color & 0xFFFFFFu) | ((a & 255) << 24); }
inline constexpr uint32_t kClear = 0x00000000u;

// Blend of two colours, channel by channel: t = 0 gives a, t = 1 gives b.
uint32_t Mix(uint32_t a, uint32_t b, double t);
// Towards black / white by the fraction f (0 … 1); alpha unchanged.
uint32_t Darker(uint32_t color, double f);
uint32_t Lighter(uint32_t color, double f);

// A platform colour 0x00BBGGRR (what the wire carries) from an ARGB colour.
constexpr int ToWinColor(uint32_t argb) {
  return static_cast<int>(((argb & 0xFF) << 16) | (argb & 0xFF00) | ((argb >> 16) & 0xFF));
}

struct Pt {
  double x = 0, y = 0;
};

class Canvas {
 public:
  Canvas(int width, int height, uint32_t fill = kClear);

  int width() const { return image_.width; }
  int height() const { return image_.height; }
  const vertamo::Image& image() const { return image_; }
  vertamo::Image Take() { return std::move(image_); }
  uint32_t At(int x, int y) const;

  // Paints one pixel over what is there (source over, straight alpha); the
  // colour's alpha is scaled by `coverage` (0 … 1). Outside the canvas: nothing.
  void Blend(int x, int y, uint32_t color, float coverage = 1.0f);
  // Replaces pixels (no blending), e.g. to clear an area to transparent.
  void SetRect(int x, int y, int w, int h, uint32_t color);

  // Shapes. Coordinates are in pixels, (0, 0) the top-left corner of the top-left
  // pixel; shapes given in fractional coordinates get smooth edges.
  void FillRect(int x, int y, int w, int h, uint32_t color);
  void StrokeRect(int x, int y, int w, int h, int thickness, uint32_t color);
  void GradientRect(int x, int y, int w, int h, uint32_t top, uint32_t bottom);
  void FillRoundRect(double x, double y, double w, double h, double radius, uint32_t color);
  // An outline lying inside the box x, y, w, h.
  void StrokeRoundRect(double x, double y, double w, double h, double radius, double thickness,
                       uint32_t color);
  void FillCircle(double cx, double cy, double r, uint32_t color);
  void StrokeCircle(double cx, double cy, double r, double thickness, uint32_t color);
  // An arc of a circle from angle a0 to a1 in degrees, counter-clockwise as on
  // paper (0 points right, 90 up), with round ends.
  void StrokeArc(double cx, double cy, double r, double thickness, double a0, double a1, uint32_t color);
  // A line with round ends.
  void Line(double x0, double y0, double x1, double y1, double thickness, uint32_t color);
  void DashedLine(double x0, double y0, double x1, double y1, double thickness, double dash, double gap,
                  uint32_t color);
  // A polygon of any shape (non-zero winding rule).
  void FillPolygon(const std::vector<Pt>& points, uint32_t color);
  void StrokePolyline(const std::vector<Pt>& points, double thickness, uint32_t color, bool closed = false);

  // Pixel font: each glyph 5 × 7 pixels drawn as scale × scale squares, one
  // empty column between glyphs; (x, y) is the top-left corner. Lower-case
  // letters are drawn as capitals; characters without a glyph as a small box.
  // Returns the width drawn.
  int Text(int x, int y, std::string_view utf8, int scale, uint32_t color);
  // Text centred on the point cx (horizontally) with its top at y.
  int TextCentered(int cx, int y, std::string_view utf8, int scale, uint32_t color);
  static int TextWidth(std::string_view utf8, int scale);
  static int TextHeight(int scale) { return 7 * scale; }

 private:
  // Blends `color` over the pixels of the box [x0, x1) × [y0, y1) with the
  // coverage that `signed_distance` gives for each pixel centre (negative
  // inside the shape).
  template <class Distance>
  void ShadeByDistance(double x0, double y0, double x1, double y1, uint32_t color, Distance signed_distance);

  vertamo::Image image_;
};

}  // namespace orvexsim::art
