#include "protocol/host_address.h"

#include <algorithm>

namespace vertamo {

bool IsIpv4Address(std::string_view host) {
  int parts = 0;
  while (true) {
    size_t digits = 0;
    int value = 0;
    while (digits < host.size() && host[digits] >= '0' && host[digits] <= '9' && digits < 4)
      value = value * 10 + (host[digits++] - '0');
    if (digits == 0 || digits > 3 || value > 255) return false;
    host.remove_prefix(digits);
    if (++parts == 4) return host.empty();
    if (!host.starts_with('.')) return false;
    host.remove_prefix(1);
  }
}

bool IsHostName(std::string_view host) {
  if (host.empty() || host.size() > 253) return false;
  bool lastAllDigits = false;
  for (size_t start = 0; start <= host.size();) {
    const size_t dot = std::min(host.find('.', start), host.size());
    const std::string_view label = host.substr(start, dot - start);
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') return false;
    lastAllDigits = true;
    for (char c : label) {
      const bool digit = c >= '0' && c <= '9';
      if (!digit && !(c >= 'a' && c <= 'z') && !(c >= 'A' && c <= 'Z') && c != '-') return false;
      lastAllDigits = lastAllDigits && digit;
    }
    start = dot + 1;
  }
  return !lastAllDigits;
}

}  // namespace vertamo
