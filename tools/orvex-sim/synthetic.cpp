#include "tools/orvex-sim/synthetic.h"

#include <algorithm>
#include <charconv>

namespace orvexsim {

namespace {

constexpr int kMaxCount = 10000000;
constexpr int kMaxSide = 8192;

bool ParseNumber(std::string_view text, int* out) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 0) return false;
  *out = value;
  return true;
}

bool ParseSize(std::string_view text, int* w, int* h) {
  size_t x = text.find('x');
  if (x == std::string_view::npos) return false;
  return ParseNumber(text.substr(0, x), w) && ParseNumber(text.substr(x + 1), h);
}

uint32_t Mix(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352d;
  x ^= x >> 15;
  x *= 0x846ca68b;
  x ^= x >> 16;
  return x;
}

// A background: a soft gradient with a street grid and blocks.
vertamo::Image Background(int index, int width, int height) {
  vertamo::Image image;
  image.width = width;
  image.height = height;
  image.argb.resize(static_cast<size_t>(width) * height);
  const uint32_t seed = Mix(static_cast<uint32_t>(index) + 1);
  const int grid = 80 + static_cast<int>(seed % 60);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint32_t r = 200 + (x * 40 / (width ? width : 1));
      uint32_t g = 210 + (y * 30 / (height ? height : 1));
      uint32_t b = 190 + ((seed >> 8) % 40);
      if (x % grid < 6 || y % grid < 6)
        r = g = b = 150;  // streets
      else if (Mix(static_cast<uint32_t>((x / grid) * 7919 + (y / grid) * 104729) ^ seed) % 3 == 0 &&
               x % grid > 14 && y % grid > 14 && x % grid < grid - 8 && y % grid < grid - 8)
        r = 170, g = 160, b = 150;  // a building
      image.argb[static_cast<size_t>(y) * width + x] =
          0xFF000000u | (std::min(r, 255u) << 16) | (std::min(g, 255u) << 8) | std::min(b, 255u);
    }
  }
  return image;
}

// A state picture: a framed square whose colour says the state, with a
// pattern from the set's number; transparent corners.
vertamo::Image StatePicture(int set, int j, int size) {
  static const uint32_t kColours[] = {0x2EA043, 0xD73A49, 0xE36209, 0x6F42C1, 0x0366D6, 0x959DA5};
  const uint32_t colour = kColours[j < 6 ? j : 0];
  const uint32_t seed = Mix(static_cast<uint32_t>(set) * 31 + 7);
  vertamo::Image image;
  image.width = image.height = size;
  image.argb.resize(static_cast<size_t>(size) * size);
  const int r = size / 2;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const int dx = x - r, dy = y - r;
      uint32_t pixel = 0;  // transparent
      if (dx * dx + dy * dy <= r * r) {
        pixel = 0xFF000000u | colour;
        if (((x + y + static_cast<int>(seed % 7)) % (4 + static_cast<int>(seed % 5))) == 0)
          pixel = 0xFFFFFFFFu;
        if (dx * dx + dy * dy >= (r - 2) * (r - 2)) pixel = 0xFF202020u;
      }
      image.argb[static_cast<size_t>(y) * size + x] = pixel;
    }
  }
  return image;
}

}  // namespace

bool ParseSyntheticParams(std::string_view text, SyntheticParams* params, std::string* error) {
  SyntheticParams result = *params;
  size_t pos = 0;
  while (pos <= text.size() && !text.empty()) {
    size_t comma = text.find(',', pos);
    std::string_view item =
        text.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos);
    pos = comma == std::string_view::npos ? text.size() + 1 : comma + 1;
    if (item.empty()) continue;
    size_t eq = item.find('=');
    std::string_view key = item.substr(0, eq);
    std::string_view value = eq == std::string_view::npos ? std::string_view() : item.substr(eq + 1);
    bool ok = eq != std::string_view::npos;
    if (ok) {
      if (key == "maps")
        ok = ParseNumber(value, &result.maps);
      else if (key == "objects")
        ok = ParseNumber(value, &result.objects);
      else if (key == "sets")
        ok = ParseNumber(value, &result.sets);
      else if (key == "pictures")
        ok = ParseNumber(value, &result.pictures);
      else if (key == "texts")
        ok = ParseNumber(value, &result.texts);
      else if (key == "flood")
        ok = ParseNumber(value, &result.flood);
      else if (key == "background")
        ok = ParseSize(value, &result.backgroundWidth, &result.backgroundHeight);
      else if (key == "picture") {
        int w = 0, h = 0;
        ok = ParseSize(value, &w, &h) && w == h;
        result.pictureSize = w;
      } else {
        if (error) *error = "synthetic catalogue: unknown item \"" + std::string(key) + "\"";
        return false;
      }
    }
    if (!ok) {
      if (error) *error = "synthetic catalogue: \"" + std::string(item) + "\" is not a valid item";
      return false;
    }
  }
  auto bad = [&](const char* what) {
    if (error) *error = std::string("synthetic catalogue: ") + what;
    return false;
  };
  if (result.maps < 1 || result.maps > kMaxCount) return bad("maps must be at least 1");
  if (result.objects > kMaxCount || result.texts > kMaxCount || result.flood > kMaxCount)
    return bad("too many");
  if (result.objects > 0 && result.sets < 1) return bad("objects need at least one picture set");
  if (result.sets > 100000) return bad("at most 100000 picture sets");
  if (result.pictures < 1 || result.pictures > 64) return bad("pictures per set must lie in 1..64");
  if (result.backgroundWidth < 0 || result.backgroundHeight < 0 || result.backgroundWidth > kMaxSide ||
      result.backgroundHeight > kMaxSide)
    return bad("background sides must lie in 0..8192 (0x0: no backgrounds)");
  if (result.pictureSize < 4 || result.pictureSize > 512) return bad("picture side must lie in 4..512");
  *params = result;
  return true;
}

Scenario BuildSyntheticScenario(const SyntheticParams& params) {
  static const StateRole kRoles[] = {StateRole::Normal,        StateRole::LiftFault, StateRole::LoopTriggered,
                                     StateRole::IntercomFault, StateRole::CabinCall, StateRole::NoLink};
  static const char* kStates[] = {"Исправен",      "Неисправен",      "Сработал шлейф",
                                  "Неисправно ПУ", "Вызов из кабины", "Нет связи"};
  Scenario s;
  s.name = "synthetic";
  for (int i = 0; i < params.maps; ++i) {
    MapDef map;
    map.name = "Map" + std::to_string(i + 1);
    if (params.backgroundWidth > 0 && params.backgroundHeight > 0)
      map.background = Background(i, params.backgroundWidth, params.backgroundHeight);
    s.maps.push_back(std::move(map));
  }
  const int sets = params.objects > 0 ? params.sets : 0;
  for (int k = 0; k < sets; ++k) {
    PictureSetDef set;
    set.name = "set" + std::to_string(k);
    set.transparent = 1;
    for (int j = 0; j < params.pictures; ++j) {
      PictureDef picture;
      picture.image = StatePicture(k, j, params.pictureSize);
      picture.role = j < 6 ? kRoles[j] : StateRole::Normal;
      picture.state = j < 6 ? kStates[j] : "Исправен";
      set.pictures.push_back(std::move(picture));
    }
    s.pictureSets.push_back(std::move(set));
  }
  const int width = params.backgroundWidth > 0 ? params.backgroundWidth : 1024;
  const int height = params.backgroundHeight > 0 ? params.backgroundHeight : 768;
  for (int i = 0; i < params.objects; ++i) {
    ObjectDef o;
    o.map = i % params.maps;
    const uint32_t h = Mix(static_cast<uint32_t>(i) + 12345);
    o.x = static_cast<int>(h % static_cast<uint32_t>(std::max(1, width - params.pictureSize)));
    o.y = static_cast<int>((h >> 12) % static_cast<uint32_t>(std::max(1, height - params.pictureSize)));
    o.name = "Объект " + std::to_string(i + 1);
    o.type = 1 + i % 3;
    o.iml = "set" + std::to_string(i % sets);
    o.idx = 0;
    o.hint = "Объект " + std::to_string(i + 1) + "$Карта " + std::to_string(o.map + 1);
    o.capVisible = 1;
    o.cx = 0;
    o.cy = 2;
    o.caption = std::to_string(i + 1);
    o.place = "Улица " + std::to_string(i / 10 + 1) + ", дом " + std::to_string(i % 10 + 1);
    if (o.type == 1) {
      CallDef call;
      call.com = 1 + i % 8;
      call.adr = 1 + i % 200;
      call.pul = 1;
      call.pu = 2;
      o.call = call;
    }
    s.objects.push_back(std::move(o));
  }
  for (int i = 0; i < params.texts; ++i) {
    TextDef t;
    t.map = i % params.maps;
    const uint32_t h = Mix(static_cast<uint32_t>(i) + 777);
    t.x = static_cast<int>(h % static_cast<uint32_t>(std::max(1, width - 100)));
    t.y = static_cast<int>((h >> 12) % static_cast<uint32_t>(std::max(1, height - 20)));
    t.w = 100;
    t.h = 16;
    t.caption = "Надпись " + std::to_string(i + 1);
    if (i % 10 == 0 && params.maps > 1) {
      t.action = 1;
      t.aparam = (t.map + 1) % params.maps;
      t.caption = "Перейти на карту " + std::to_string(*t.aparam + 1);
    }
    s.texts.push_back(std::move(t));
  }
  s.layout.liftBreak = {true, 10, 10, 60, 24, "Tahoma", 0};
  s.layout.ohrAlr = {true, 80, 10, 60, 24, "Tahoma", 0};
  s.layout.puErr = {true, 150, 10, 60, 24, "Tahoma", 0};
  s.layout.clock.present = true;
  s.layout.clock.x = 220;
  s.layout.clock.y = 10;
  s.layout.clock.w = 100;
  s.layout.clock.h = 24;
  s.layout.speaker = {true, 330, 10, 32, 32, 0};
  s.feed.floodLinesPerPoll = params.flood;
  return s;
}

}  // namespace orvexsim
