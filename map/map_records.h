// Records of the map model: maps, map objects and free texts.
//
// Maps, objects and texts are numbered by their position in their list, from 0,
// on the wire and everywhere in the program. The records are plain data with
// fixed-capacity texts (see FixedText); whoever draws them finds them by their
// number, and the records know nothing of how they are drawn.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "map/fixed_text.h"
#include "codec/image.h"

namespace vertamo {

class TPictureSet;

// A picture of the model: its pixels, and whether the server marked it as
// transparent (the colour of its bottom-left pixel shows through).
struct TBitmap {
  Image Pixels;
  bool Transparent = false;

  // No pixels: zero width or height, or fewer pixels than width x height.
  bool Empty() const;
};

// System colours: top byte 0xFF, the colour's index in the low byte.
inline constexpr int kColorBtnFace = -16777201;     // 0xFF00000F
inline constexpr int kColorWindowText = -16777208;  // 0xFF000008
inline constexpr int kColorWhite = 16777215;        // 0x00FFFFFF

struct MAP {
  FixedText<64> Name;                // tab caption; names the background's cache file
  int Index = 0;                     // position in MapList
  std::unique_ptr<TBitmap> Picture;  // only when the server said the map has a background
};

struct MAPOBJECT {
  FixedText<64> Name;     // the caption when Caption is empty
  int Type = 0;           // object kind; kind 1 shows its caption framed
  FixedText<256> Hint;    // tool-tip; every "$" of the wire is stored as a line feed
  // The lines of the last hint that named the object and its house: a passing
  // state hint ("Лифт неисправен") replaces Hint but not this.
  FixedText<256> Naming;
  FixedText<64> ImlName;  // name of the picture set the object is drawn from
  int Idx = 0;            // index of the picture shown
  int MapIndex = 0;       // position of its map in MapList
  int X = 0, Y = 0;       // position of the picture on the map, in pixels
  int CX = 0, CY = 0;     // caption offset; CY counts from the picture's lower edge
  bool CapVisible = false;
  FixedText<64> Caption;
  int CapColor = 0;  // caption background, 0x00BBGGRR
  bool CapTransparent = true;
  bool Changed = false;             // set by every setter that changed a value
  TPictureSet* Pictures = nullptr;  // shared with every object of the same ImlName
  int PCount = 0;                   // number of pictures the set must hold

  // Each setter stores the value and sets Changed only when the value differs
  // from the stored one. Texts are cut to their field's capacity first, so
  // setting an over-long text twice changes nothing the second time.
  void SetName(std::string_view value);
  void SetType(int value);
  // Cuts to 255 characters and turns every "$" into a line feed, then compares.
  // A hint that names the object (a line beginning with Name) also sets Naming.
  void SetHint(std::string_view value);
  // The hint as the dispatcher reads it: the server's text, after the object's
  // name and house when that text does not name the object itself.
  std::string HintText() const;
  void SetImlName(std::string_view value);
  void SetIdx(int value);
  void SetMapIndex(int value);
  void SetX(int value);
  void SetY(int value);
  void SetCX(int value);
  void SetCY(int value);
  void SetCapVisible(bool value);
  void SetCaption(std::string_view value);
  void SetCapColor(int value);
  void SetCapTransparent(bool value);
  void SetPCount(int value);
};

// Bits of MAPTEXT::Flags, in the order of their wire keys.
enum MapTextFlag : uint8_t {
  kTextTransparent = 1 << 0,
  kTextVisible = 1 << 1,
  kTextAutoSize = 1 << 2,
  kTextWordWrap = 1 << 3,
  kTextBold = 1 << 4,
  kTextItalic = 1 << 5,
  kTextUnderline = 1 << 6,
  kTextStrikeOut = 1 << 7,
};

struct MAPTEXT {
  FixedText<256> Caption;
  FixedText<32> FontName{"Tahoma"};
  FixedText<128> VideoTag;
  int X = 0, Y = 0;
  int MapIndex = 0;
  int W = 0, H = 0;
  uint8_t Flags = kTextTransparent | kTextVisible | kTextAutoSize;
  uint8_t Alignment = 3;
  uint8_t Layout = 0;
  int Color = kColorBtnFace;
  int FontColor = kColorWindowText;
  int FontSize = 8;  // points
  uint16_t Charset = 1;
  uint8_t Pitch = 0;
  int Action = 0;
  int AParam = 0;
  bool Highlighted = false;  // lit under the mouse: background and font colours swapped

  bool HasFlag(MapTextFlag flag) const { return (Flags & flag) != 0; }
  void SetFlag(MapTextFlag flag, bool on) {
    Flags = static_cast<uint8_t>(on ? (Flags | flag) : (Flags & ~flag));
  }

  // Lit while the mouse points at an action text (its background and font
  // colours swap where it is drawn).
  void HighlightText() { Highlighted = true; }
  void UnhighlightText() { Highlighted = false; }
};

}  // namespace vertamo
