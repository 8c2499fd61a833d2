#include "uikit/qt_text.h"

#include "platform/cp1251.h"

namespace vertamo::ui {

QString FromCp1251(std::string_view cp1251) {
  const std::string utf8 = Cp1251ToUtf8(cp1251);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToCp1251(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return Utf8ToCp1251(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

}  // namespace vertamo::ui
