#include "iptel/dial_address.h"

#include <algorithm>

#include "platform/cp1251.h"
#include "protocol/host_address.h"

namespace vertamo {
namespace {

bool Digit(char c) { return c >= '0' && c <= '9'; }
bool Letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool AllDigits(std::string_view s) { return !s.empty() && std::all_of(s.begin(), s.end(), Digit); }

// A whole number of at most five digits within [low, high].
bool NumberIn(std::string_view s, int low, int high) {
  if (!AllDigits(s) || s.size() > 5) return false;
  int value = 0;
  for (char c : s) value = value * 10 + (c - '0');
  return value >= low && value <= high;
}

// What may precede "@": the number called at that host.
bool User(std::string_view user) {
  return !user.empty() && std::all_of(user.begin(), user.end(), [](char c) {
    return Letter(c) || Digit(c) || c == '*' || c == '#' || c == '.' || c == '-' || c == '_' || c == '+';
  });
}

std::string Why(const char* utf8) { return Utf8ToCp1251(utf8); }

}  // namespace

std::string DialAddressProblem(std::string_view address) {
  if (address.empty()) return Why("Адрес не указан");
  if (std::any_of(address.begin(), address.end(),
                  [](char c) { return static_cast<unsigned char>(c) <= ' '; }))
    return Why("В адресе не должно быть пробелов");
  std::string_view host = address;
  if (const size_t at = host.rfind('@'); at != std::string_view::npos) {
    if (!User(host.substr(0, at))) return Why("Неверный номер перед \"@\"");
    host.remove_prefix(at + 1);
  }
  if (const size_t colon = host.rfind(':'); colon != std::string_view::npos) {
    if (!NumberIn(host.substr(colon + 1), 1, 65535)) return Why("Неверный порт: нужно число от 1 до 65535");
    host = host.substr(0, colon);
  }
  if (host.empty()) return Why("В адресе нет имени узла или IP адреса");
  // All digits and dots: meant as an IP address.
  if (std::all_of(host.begin(), host.end(), [](char c) { return Digit(c) || c == '.'; }))
    return IsIpv4Address(host) ? std::string()
                               : Why("Неверный IP адрес: нужно четыре числа от 0 до 255 через точку");
  if (!IsHostName(host)) return Why("Неверное имя узла: допустимы латинские буквы, цифры, \"-\" и \".\"");
  return {};
}

}  // namespace vertamo
