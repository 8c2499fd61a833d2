// Texts as the server and the files hold them: code page 1251 from UTF-8
// literals.
#pragma once

#include <string>
#include <string_view>

#include "platform/cp1251.h"

namespace vertamo::testing {

inline std::string Cp(std::string_view utf8) { return Utf8ToCp1251(utf8); }

}  // namespace vertamo::testing
