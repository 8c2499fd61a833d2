// Fixed-capacity text fields of the model records.
//
// A record field of N bytes holds a zero-terminated code page 1251 text, so it
// keeps at most N - 1 bytes: a longer value is cut, and a value with a zero byte
// ends at that byte. Every assignment applies the rule, so a field can never hold
// more than its capacity whoever writes it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vertamo {

// The first capacity - 1 bytes of text, ending early at a zero byte.
inline std::string CutToCapacity(std::string_view text, std::size_t capacity) {
  if (capacity == 0) return {};
  const std::size_t zero = text.find('\0');
  if (zero != std::string_view::npos) text = text.substr(0, zero);
  if (text.size() > capacity - 1) text = text.substr(0, capacity - 1);
  return std::string(text);
}

template <std::size_t N>
class FixedText {
  static_assert(N > 0, "a text field holds at least its terminating zero");

 public:
  static constexpr std::size_t kCapacity = N;
  static constexpr std::size_t kMaxLength = N - 1;

  FixedText() = default;
  FixedText(std::string_view text) : text_(CutToCapacity(text, N)) {}        // NOLINT: implicit on purpose
  FixedText(const char* text) : FixedText(std::string_view(text)) {}         // NOLINT
  FixedText(const std::string& text) : FixedText(std::string_view(text)) {}  // NOLINT

  FixedText& operator=(std::string_view text) {
    text_ = CutToCapacity(text, N);
    return *this;
  }
  FixedText& operator=(const char* text) { return *this = std::string_view(text); }
  FixedText& operator=(const std::string& text) { return *this = std::string_view(text); }

  const std::string& str() const { return text_; }
  const char* c_str() const { return text_.c_str(); }
  std::size_t size() const { return text_.size(); }
  bool empty() const { return text_.empty(); }
  operator std::string_view() const { return text_; }  // NOLINT: reads like the field it stands for

  bool operator==(const FixedText& other) const = default;
  bool operator==(std::string_view other) const { return text_ == other; }
  bool operator==(const char* other) const { return text_ == std::string_view(other); }

 private:
  std::string text_;
};

}  // namespace vertamo
