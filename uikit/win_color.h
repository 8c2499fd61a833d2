// Platform colour values of the server and of the settings files, as Qt colours.
//
// A colour value is 0x00BBGGRR (red in the low byte). A top byte 0xFF marks a
// system colour: the low byte is the index of the system colour (window text,
// button face, ...), which this desktop answers through the palette roles.
// Settings keep colours as signed decimal integers, so system colours appear
// there as negative numbers (window text is -16777208).
#pragma once

#include <QColor>
#include <QPalette>

namespace vertamo::ui {

// The system colour indices the server and the settings use.
enum TSysColor : int {
  kSysScrollBar = 0,
  kSysBackground = 1,
  kSysActiveCaption = 2,
  kSysInactiveCaption = 3,
  kSysMenu = 4,
  kSysWindow = 5,
  kSysWindowFrame = 6,
  kSysMenuText = 7,
  kSysWindowText = 8,
  kSysCaptionText = 9,
  kSysActiveBorder = 10,
  kSysInactiveBorder = 11,
  kSysAppWorkspace = 12,
  kSysHighlight = 13,
  kSysHighlightText = 14,
  kSysBtnFace = 15,
  kSysBtnShadow = 16,
  kSysGrayText = 17,
  kSysBtnText = 18,
  kSysInactiveCaptionText = 19,
  kSysBtnHighlight = 20,
  kSys3DDkShadow = 21,
  kSys3DLight = 22,
  kSysInfoText = 23,
  kSysInfoBk = 24,
  kSysHotLight = 26,
  kSysGradientActiveCaption = 27,
  kSysGradientInactiveCaption = 28,
  kSysMenuHighlight = 29,
  kSysMenuBar = 30,
};

// The value of a system colour: 0xFF000000 | index (negative as a signed int).
constexpr int SysColorValue(int index) {
  return static_cast<int>(0xFF000000u | (static_cast<unsigned>(index) & 0xFFu));
}

inline constexpr int kClWindowText = SysColorValue(kSysWindowText);
inline constexpr int kClWindow = SysColorValue(kSysWindow);
inline constexpr int kClBtnFace = SysColorValue(kSysBtnFace);

constexpr bool IsSysColor(int value) { return (static_cast<unsigned>(value) >> 24) == 0xFFu; }

// Colour value -> Qt colour. Plain colours convert exactly from their low three
// bytes (any other top byte is ignored); system colours take the palette role
// that plays their part on this desktop (the application palette by default).
// An index that names no system colour gives black, as the platform does.
QColor WinColorToQColor(int value);
QColor WinColorToQColor(int value, const QPalette& palette);

// Qt colour -> plain colour value 0x00BBGGRR (alpha is dropped).
int QColorToWinColor(const QColor& color);

}  // namespace vertamo::ui
