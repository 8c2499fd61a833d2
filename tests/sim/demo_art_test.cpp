// The demo's software rasteriser: blending, shape coverage, the pixel font,
// clipping at the canvas edges, and the state pictures built on them.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <set>

#include "tools/orvex-sim/demo_art.h"
#include "tools/orvex-sim/demo_pictures.h"

namespace {

using orvexsim::art::Canvas;
using orvexsim::art::Rgb;
using orvexsim::art::WithAlpha;

// Sum of the alpha of all pixels, in pixels: the area a shape covers.
double CoveredArea(const Canvas& c) {
  double area = 0;
  for (uint32_t p : c.image().argb) area += (p >> 24) / 255.0;
  return area;
}

TEST(DemoArt, BlendingFollowsStraightAlpha) {
  Canvas c(4, 1, 0);
  c.Blend(0, 0, Rgb(10, 20, 30));          // opaque over clear
  c.Blend(1, 0, Rgb(200, 100, 50), 0.5f);  // half cover over clear keeps the colour
  c.SetRect(2, 0, 1, 1, Rgb(0, 0, 0));
  c.Blend(2, 0, WithAlpha(0xFFFFFF, 255), 0.5f);  // half white over black
  c.Blend(3, 0, WithAlpha(0x123456, 0));          // fully transparent paint: nothing
  EXPECT_EQ(c.At(0, 0), 0xFF0A141Eu);
  EXPECT_EQ(c.At(1, 0), 0x80C86432u);
  EXPECT_EQ(c.At(2, 0), 0xFF808080u);
  EXPECT_EQ(c.At(3, 0), 0u);
  EXPECT_EQ(orvexsim::art::ToWinColor(Rgb(0x11, 0x22, 0x33)), 0x332211);
}

TEST(DemoArt, ShapesCoverTheirArea) {
  struct Case {
    const char* name;
    void (*draw)(Canvas&);
    double area;
  };
  const Case cases[] = {
      {"rectangle", [](Canvas& c) { c.FillRect(10, 10, 30, 20, Rgb(1, 2, 3)); }, 600},
      {"rectangle as polygon",
       [](Canvas& c) {
         c.FillPolygon({{10, 10}, {40, 10}, {40, 30}, {10, 30}}, Rgb(1, 2, 3));
       },
       600},
      {"triangle",
       [](Canvas& c) {
         c.FillPolygon({{10, 10}, {70, 10}, {10, 50}}, Rgb(1, 2, 3));
       },
       1200},
      {"circle", [](Canvas& c) { c.FillCircle(50, 50, 20, Rgb(1, 2, 3)); }, std::numbers::pi * 400},
      {"ring", [](Canvas& c) { c.StrokeCircle(50, 50, 20, 4, Rgb(1, 2, 3)); },
       std::numbers::pi * (484 - 324)},
      {"line", [](Canvas& c) { c.Line(10, 50, 90, 50, 6, Rgb(1, 2, 3)); }, 80 * 6 + std::numbers::pi * 9},
      {"rounded square", [](Canvas& c) { c.FillRoundRect(10, 10, 40, 40, 10, Rgb(1, 2, 3)); },
       1600 - (4 - std::numbers::pi) * 100},
      {"upper half arc", [](Canvas& c) { c.StrokeArc(50, 50, 20, 2, 0, 180, Rgb(1, 2, 3)); },
       std::numbers::pi * 20 * 2 + std::numbers::pi},
  };
  for (const auto& k : cases) {
    Canvas c(100, 100);
    k.draw(c);
    EXPECT_NEAR(CoveredArea(c), k.area, k.area * 0.02 + 1) << k.name;
  }
  // The arc 0°–180° is the upper half: nothing below its centre but its round ends.
  Canvas arc(100, 100);
  arc.StrokeArc(50, 50, 20, 2, 0, 180, Rgb(1, 2, 3));
  for (int y = 53; y < 100; ++y)
    for (int x = 0; x < 100; ++x) EXPECT_EQ(arc.At(x, y), 0u) << x << "," << y;
}

TEST(DemoArt, DrawingBeyondTheEdgesIsClipped) {
  Canvas c(20, 10);
  c.FillRect(-50, -50, 200, 200, Rgb(9, 9, 9));
  c.FillCircle(-5, -5, 30, Rgb(1, 1, 1));
  c.FillPolygon({{-100, -100}, {300, 5}, {-100, 400}}, Rgb(2, 2, 2));
  c.Line(-1000, 5, 1000, 5, 3, Rgb(3, 3, 3));
  c.Text(-30, -3, "ЛИФТ 12", 3, Rgb(4, 4, 4));
  c.Blend(20, 0, Rgb(5, 5, 5));
  c.Blend(0, 10, Rgb(5, 5, 5));
  EXPECT_EQ(c.image().argb.size(), 200u);
  EXPECT_EQ(c.At(-1, 0), 0u);  // outside reads as clear
  Canvas empty(0, 0);
  empty.FillRect(0, 0, 5, 5, Rgb(1, 1, 1));
  EXPECT_TRUE(empty.image().argb.empty());
}

TEST(DemoArt, PixelFontDrawsCapitalsOfBothAlphabetsInsideItsBox) {
  EXPECT_EQ(Canvas::TextWidth("", 2), 0);
  EXPECT_EQ(Canvas::TextWidth("АБ", 2), 22);  // two 5-pixel glyphs and one gap, doubled
  EXPECT_EQ(Canvas::TextWidth("12", 1), 11);
  EXPECT_EQ(Canvas::TextHeight(3), 21);

  auto ink = [](const std::string& text) {
    Canvas c(80, 20);
    c.Text(2, 3, text, 2, Rgb(0, 0, 0));
    return c.image().argb;
  };
  EXPECT_EQ(ink("лифт ё"), ink("ЛИФТ Ё"));  // lower case is drawn as capitals
  EXPECT_EQ(ink("abc"), ink("ABC"));
  EXPECT_NE(ink("ЛИФТ"), ink("ЛИФЕ"));
  EXPECT_NE(ink("Ш"), ink("Щ"));

  Canvas c(100, 30);
  const int w = c.Text(5, 7, "Щ9?", 2, Rgb(0, 0, 0));
  EXPECT_EQ(w, Canvas::TextWidth("Щ9?", 2));
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 100; ++x) {
      if (c.At(x, y) != 0u) {
        EXPECT_TRUE(x >= 5 && x < 5 + w && y >= 7 && y < 7 + 14) << x << "," << y;
      }
    }
  }
  // Every Cyrillic capital has a glyph of its own (no box for a missing one).
  const auto box = ink("\x7F");
  std::set<std::vector<uint32_t>> shapes;
  const std::string alphabet = "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ";
  for (size_t i = 0; i < alphabet.size(); i += 2) {
    const auto glyph = ink(alphabet.substr(i, 2));
    EXPECT_NE(glyph, box) << alphabet.substr(i, 2);
    shapes.insert(glyph);
  }
  EXPECT_EQ(shapes.size(), 33u);
  // Broken UTF-8 is drawn as boxes, never read past the end.
  EXPECT_EQ(Canvas::TextWidth("\xD0", 1), 5);
  EXPECT_EQ(Canvas::TextWidth("a\xE2\x82", 1), 17);
}

TEST(DemoArt, StatePicturesDifferAndKeepTheirCornerClear) {
  using orvexsim::demo::Look;
  const Look looks[] = {Look::InService, Look::Fault, Look::Loop, Look::CabinCall, Look::NoLink};
  std::set<std::vector<uint32_t>> seen;
  for (Look look : looks) {
    for (auto draw :
         {orvexsim::demo::LiftPicture, orvexsim::demo::IntercomPicture, orvexsim::demo::SensorPicture}) {
      const vertamo::Image im = draw(look, 28);
      ASSERT_EQ(im.width, 28);
      ASSERT_EQ(im.height, 28);
      EXPECT_EQ(im.argb[27 * 28] >> 24, 0u);         // bottom-left: the mask colour
      EXPECT_EQ(im.argb[14 * 28 + 14] >> 24, 255u);  // the middle is opaque
      seen.insert(im.argb);
    }
  }
  // Lifts show five different pictures; intercom units and sensors three each
  // (in service, fault or triggered, no link), the other looks repeat them.
  EXPECT_GE(seen.size(), 5u + 3u + 3u);
}

}  // namespace
