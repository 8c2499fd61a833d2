// A font kept in the main settings: one section per font with the keys
// "FONT", "FontBold", "FontItalic", "FontSize" and "FontColor".
#pragma once

#include <QFont>
#include <string_view>

#include "settings/fast_ini.h"
#include "uikit/win_color.h"

namespace vertamo::ui {

// A font with the colour it is drawn in (a platform colour value, so that a
// system colour stays a system colour when stored).
struct TUiFont {
  QFont font;
  int color = kClWindowText;
};

// Sets face ("FONT", default "Arial"), bold, italic (default false), size in
// points ("FontSize", default `defaultSize`) and colour ("FontColor", default
// the font's colour). A stored size that is not positive gives the default
// size. Underline and strike-out are left as they are.
void LoadFont(const TFastIni& ini, TUiFont& font, std::string_view section, int defaultSize);

// Writes "FONT", "FontSize", "FontBold", "FontItalic", "FontColor" in this order.
void SaveFont(TFastIni& ini, const TUiFont& font, std::string_view section);

}  // namespace vertamo::ui
