#include "iptel/dial_address.h"

#include <algorithm>

#include "platform/cp1251.h"

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

// Four numbers 0..255 between dots.
bool Ipv4(std::string_view host) {
  int parts = 0;
  for (;;) {
    const size_t dot = host.find('.');
    if (!NumberIn(host.substr(0, dot), 0, 255) || ++parts > 4) return false;
    if (dot == std::string_view::npos) return parts == 4;
    host.remove_prefix(dot + 1);
  }
}

// Labels of Latin letters, digits and inner hyphens, between dots.
bool HostName(std::string_view host) {
  if (host.empty() || host.size() > 253) return false;
  for (;;) {
    const size_t dot = host.find('.');
    const std::string_view label = host.substr(0, dot);
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') return false;
    if (!std::all_of(label.begin(), label.end(), [](char c) { return Letter(c) || Digit(c) || c == '-'; }))
      return false;
    if (dot == std::string_view::npos) return true;
    host.remove_prefix(dot + 1);
  }
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
    return Ipv4(host) ? std::string() : Why("Неверный IP адрес: нужно четыре числа от 0 до 255 через точку");
  if (!HostName(host)) return Why("Неверное имя узла: допустимы латинские буквы, цифры, \"-\" и \".\"");
  return {};
}

}  // namespace vertamo
