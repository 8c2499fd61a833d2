#include "uikit/font_settings.h"

#include <QFontInfo>

#include "uikit/qt_text.h"

namespace vertamo::ui {

void LoadFont(const TFastIni& ini, TUiFont& font, std::string_view section, int defaultSize) {
  font.font.setFamily(FromCp1251(ini.ReadString(section, "FONT", "Arial")));
  font.font.setBold(ini.ReadBool(section, "FontBold", false));
  font.font.setItalic(ini.ReadBool(section, "FontItalic", false));
  const int size = ini.ReadInteger(section, "FontSize", defaultSize);
  font.font.setPointSize(size > 0 ? size : (defaultSize > 0 ? defaultSize : 8));
  font.color = ini.ReadInteger(section, "FontColor", font.color);
}

void SaveFont(TFastIni& ini, const TUiFont& font, std::string_view section) {
  ini.WriteString(section, "FONT", ToCp1251(font.font.family()));
  // A font sized in pixels reports its size in points through the matched font.
  const int points = font.font.pointSize() > 0 ? font.font.pointSize() : QFontInfo(font.font).pointSize();
  ini.WriteInteger(section, "FontSize", points);
  ini.WriteBool(section, "FontBold", font.font.bold());
  ini.WriteBool(section, "FontItalic", font.font.italic());
  ini.WriteInteger(section, "FontColor", font.color);
}

}  // namespace vertamo::ui
