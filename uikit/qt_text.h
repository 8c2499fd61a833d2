// The user interface's bridge between Qt text and the code page 1251 bytes of the core.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace vertamo::ui {

// Code page 1251 bytes -> QString (every byte converts).
QString FromCp1251(std::string_view cp1251);

// QString -> code page 1251 bytes; characters the code page cannot hold become '?'.
std::string ToCp1251(const QString& text);

}  // namespace vertamo::ui
