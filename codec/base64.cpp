#include "codec/base64.h"

#include <array>
#include <cstdint>

namespace vertamo {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint8_t kInvalid = 0xFF;

// Character → value 0..63, kInvalid for anything else ("=" included).
constexpr std::array<uint8_t, 256> MakeDecodeTable() {
  std::array<uint8_t, 256> table{};
  for (auto& v : table) {
    v = kInvalid;
  }
  for (int i = 0; i < 64; ++i) {
    table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<uint8_t>(i);
  }
  return table;
}

constexpr std::array<uint8_t, 256> kDecode = MakeDecodeTable();

}  // namespace

std::string Base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t n = bytes.size();
  size_t i = 0;
  for (; i + 3 <= n; i += 3) {
    const uint32_t v = (uint32_t{p[i]} << 16) | (uint32_t{p[i + 1]} << 8) | p[i + 2];
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(kAlphabet[(v >> 6) & 63]);
    out.push_back(kAlphabet[v & 63]);
  }
  if (n - i == 1) {
    const uint32_t v = uint32_t{p[i]} << 16;
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.append("==");
  } else if (n - i == 2) {
    const uint32_t v = (uint32_t{p[i]} << 16) | (uint32_t{p[i + 1]} << 8);
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(kAlphabet[(v >> 6) & 63]);
    out.push_back('=');
  }
  return out;
}

bool Base64Decode(std::string_view text, std::string& out) {
  out.clear();
  if (text.size() % 4 != 0) {
    return false;
  }
  if (text.empty()) {
    return true;
  }
  // Fill: one or two "=" at the very end, nothing else.
  size_t fill = 0;
  if (text.back() == '=') {
    fill = text[text.size() - 2] == '=' ? 2 : 1;
  }
  const size_t body = text.size() - fill;  // characters that carry data
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());

  out.resize(text.size() / 4 * 3 - fill);
  char* dst = out.data();
  const size_t whole = body / 4 * 4;  // complete groups without fill
  for (size_t i = 0; i < whole; i += 4) {
    const uint8_t a = kDecode[p[i]], b = kDecode[p[i + 1]], c = kDecode[p[i + 2]], d = kDecode[p[i + 3]];
    if ((a | b | c | d) & 0xC0) {  // kInvalid has the top bits set, values do not
      out.clear();
      return false;
    }
    const uint32_t v = (uint32_t{a} << 18) | (uint32_t{b} << 12) | (uint32_t{c} << 6) | d;
    *dst++ = static_cast<char>(v >> 16);
    *dst++ = static_cast<char>(v >> 8);
    *dst++ = static_cast<char>(v);
  }
  if (fill > 0) {
    // The last group: 4 - fill data characters (2 or 3), all from the alphabet.
    const size_t i = whole;
    const uint8_t a = kDecode[p[i]], b = kDecode[p[i + 1]];
    const uint8_t c = fill == 1 ? kDecode[p[i + 2]] : 0;
    if ((a | b | c) & 0xC0) {
      out.clear();
      return false;
    }
    const uint32_t v = (uint32_t{a} << 18) | (uint32_t{b} << 12) | (uint32_t{c} << 6);
    *dst++ = static_cast<char>(v >> 16);
    if (fill == 1) {
      *dst++ = static_cast<char>(v >> 8);
    }
  }
  return true;
}

}  // namespace vertamo
