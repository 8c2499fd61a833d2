// Reading a log from its end: the newest lines of a file that only ever grows
// at its end, without reading the whole file.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vertamo {

// Hands the lines of the file at `path` to `take`, the last line first, until
// `take` returns false or the start of the file is reached. A line comes
// without its LF (a CR before the LF stays); empty lines are passed over, and
// so is a line longer than `longestLine`, which cannot be one the system
// wrote. The file is read backwards in blocks, so only its end that holds the
// lines taken is read. A missing or unreadable file has no lines.
void ReadLinesFromEnd(const std::string& path, std::size_t longestLine,
                      const std::function<bool(std::string_view line)>& take);

// The newest `max` lines of the file at `path` that `parse` (a line, the
// record to fill; false for a line it refuses) makes records of, the newest
// first. Refused lines are passed over and do not count.
template <class Record, class Parse>
std::vector<Record> NewestRecords(const std::string& path, std::size_t longestLine, std::size_t max,
                                  Parse parse) {
  std::vector<Record> records;
  if (max == 0) return records;
  ReadLinesFromEnd(path, longestLine, [&](std::string_view line) {
    Record record;
    if (parse(line, record)) records.push_back(std::move(record));
    return records.size() < max;
  });
  return records;
}

}  // namespace vertamo
