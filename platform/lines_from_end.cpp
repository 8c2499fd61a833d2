#include "platform/lines_from_end.h"

#include <algorithm>
#include <cstdint>

#include "platform/raw_file.h"

namespace vertamo {
namespace {

constexpr std::size_t kBlock = 16 * 1024;

}  // namespace

void ReadLinesFromEnd(const std::string& path, std::size_t longestLine,
                      const std::function<bool(std::string_view line)>& take) {
  TRawFile file;
  if (!file.Open(path, TRawFile::kGenericRead, TRawFile::kFileShareRead | TRawFile::kFileShareWrite,
                 TRawFile::kOpenExisting, TRawFile::kFileAttributeNormal) ||
      !file.Seek(0, TRawFile::kFileEnd))
    return;
  int64_t position = file.Position();
  std::string tail;       // the bytes after `position` that no line break has closed yet
  bool skipping = false;  // `tail` belongs to a line too long to be one of ours
  bool more = true;
  const auto hand = [&](std::string_view line) {
    if (!skipping && !line.empty()) more = take(line);
    skipping = false;
  };
  while (position > 0 && more) {
    const int64_t n = std::min<int64_t>(kBlock, position);
    position -= n;
    std::string block(static_cast<std::size_t>(n), '\0');
    if (!file.SeekTo(position) || !file.Read(block.data(), block.size())) return;
    tail.insert(0, block);
    // Every line after a line break in the tail is whole.
    std::size_t end = tail.size();
    std::size_t lineBreak;
    while (more && end > 0 && (lineBreak = tail.rfind('\n', end - 1)) != std::string::npos) {
      if (lineBreak + 1 < end || skipping) hand(std::string_view(tail).substr(lineBreak + 1, end - lineBreak - 1));
      end = lineBreak;
    }
    tail.resize(end);
    if (tail.size() > longestLine) {
      tail.clear();
      skipping = true;
    }
  }
  if (position == 0 && !tail.empty() && more) hand(tail);
}

}  // namespace vertamo
