#include "journal/journal_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "platform/folder_entries.h"
#include "platform/folders.h"
#include "platform/lines_from_end.h"
#include "platform/raw_file.h"
#include "protocol/log_prefix.h"

namespace vertamo {
std::tm LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

namespace {

constexpr std::string_view kSeparator = " | ";
// "dd.mm hh:mm:ss" and the two blanks of the log prefix.
constexpr std::string_view kArrivedShape = "00.00 00:00:00";
constexpr size_t kPrefixSize = kArrivedShape.size() + 2;
// Six texts of at most 255 bytes, the separators and the prefix fit well.
constexpr size_t kLongestLine = 4096;

// A new event's TABs become blanks too; a record read back keeps what it
// had, so that it reads back the same.
std::string TextsLine(std::string line, const std::array<std::string, 6>& texts, bool blankTabs) {
  for (size_t i = 0; i < texts.size(); ++i) {
    if (i > 0) line += kSeparator;
    for (const char c : texts[i]) line += c == '\r' || c == '\n' || (blankTabs && c == '\t') ? ' ' : c;
  }
  return line;
}

std::string KindPart(int object, int color, int fontColor) {
  return "\t" + std::to_string(object) + " " + std::to_string(color) + " " + std::to_string(fontColor) + "\r\n";
}

// "object color fontColor": three whole numbers, each may be negative.
bool ParseKind(std::string_view text, TJournalRecord& record) {
  long long values[3];
  for (long long& value : values) {
    const size_t end = std::min(text.find(' '), text.size());
    std::string_view number = text.substr(0, end);
    text.remove_prefix(end);
    if (&value != &values[2]) {
      if (text.empty()) return false;
      text.remove_prefix(1);
    }
    const bool negative = !number.empty() && number[0] == '-';
    if (negative) number.remove_prefix(1);
    if (number.empty() || number.size() > 10) return false;
    value = 0;
    for (const char c : number) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
    }
    if (negative) value = -value;
    if (value < INT32_MIN || value > INT32_MAX) return false;
  }
  if (!text.empty()) return false;
  record.kindKept = true;
  record.object = static_cast<int>(values[0]);
  record.color = static_cast<int>(values[1]);
  record.fontColor = static_cast<int>(values[2]);
  return true;
}

bool IsArrived(std::string_view text) {
  if (text.size() != kArrivedShape.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool digit = kArrivedShape[i] == '0';
    if (digit ? (text[i] < '0' || text[i] > '9') : text[i] != kArrivedShape[i]) return false;
  }
  return true;
}

bool IsDayFileName(std::string_view name) {
  constexpr std::string_view kShape = "0000-00-00.log";
  if (name.size() != kShape.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const bool digit = kShape[i] == '0';
    if (digit ? (name[i] < '0' || name[i] > '9') : name[i] != kShape[i]) return false;
  }
  return true;
}

// "YYYY-MM-DD" of the day `local` falls on.
std::string DayName(const std::tm& local) {
  char name[16];
  std::snprintf(name, sizeof name, "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  return name;
}

}  // namespace

std::string JournalLine(const std::tm& local, const TLogEntry& entry) {
  return TextsLine(LogLinePrefix(local), entry.texts, true) + KindPart(entry.object, entry.color, entry.fontColor);
}

std::string JournalRecordLine(const TJournalRecord& record) {
  return TextsLine(record.arrived + "  ", record.texts, false) +
         (record.kindKept ? KindPart(record.object, record.color, record.fontColor) : std::string("\r\n"));
}

bool ParseJournalLine(std::string_view line, TJournalRecord& record) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.find_first_of("\r\n") != std::string_view::npos) return false;
  if (line.size() < kPrefixSize || !IsArrived(line.substr(0, kArrivedShape.size())) ||
      line.substr(kArrivedShape.size(), 2) != "  ")
    return false;
  TJournalRecord read;
  read.arrived = std::string(line.substr(0, kArrivedShape.size()));
  std::string_view rest = line.substr(kPrefixSize);
  // The texts hold no TAB: one ends them and begins the object and colours
  // (a line of an older file may have one of the server's inside a text).
  if (const size_t tab = rest.rfind('\t'); tab != std::string_view::npos && ParseKind(rest.substr(tab + 1), read))
    rest = rest.substr(0, tab);
  for (size_t i = 0; i + 1 < read.texts.size(); ++i) {
    const size_t at = rest.find(kSeparator);
    if (at == std::string_view::npos) return false;
    read.texts[i] = std::string(rest.substr(0, at));
    rest.remove_prefix(at + kSeparator.size());
  }
  read.texts.back() = std::string(rest);
  record = std::move(read);
  return true;
}

std::vector<TJournalRecord> ReadJournalDay(const std::string& path, size_t max) {
  std::vector<TJournalRecord> records =
      NewestRecords<TJournalRecord>(path, kLongestLine, max, ParseJournalLine);
  std::reverse(records.begin(), records.end());
  return records;
}

TJournalFile::TJournalFile(const std::string& workFolder, TLocalClock clock)
    : folder_(WithTrailingSlash(workFolder) + kFolderName + "/"),
      clock_(clock ? std::move(clock) : TLocalClock(LocalTimeNow)) {}

std::string TJournalFile::TodayName() const { return DayName(clock_()); }

std::string TJournalFile::DayPath(const std::tm& local) const { return DayPath(DayName(local)); }

std::vector<std::string> TJournalFile::Days() const {
  std::vector<std::string> days;
  for (const std::string& name : FolderEntries(folder_, TEntryKind::Files))
    if (IsDayFileName(name)) days.push_back(name.substr(0, name.size() - 4));
  return days;  // the names sort as the dates do
}

bool TJournalFile::Append(const TLogEntry& entry) {
  const std::tm now = clock_();
  return Write(DayPath(now), JournalLine(now, entry));
}

std::string TJournalFile::Today() {
  const std::string path = TodayPath();
  Write(path, {});
  return path;
}

bool TJournalFile::Write(const std::string& path, const std::string& line) {
  // Opened for each line: a file the dispatcher moved away is made anew.
  TRawFile file;
  if (!OpenLogForAppend(file, path) &&
      !(MakeFolder(folder_, kOwnerOnlyFolder) && OpenLogForAppend(file, path)))
    return false;
  std::string text;
  if (path != wholePath_) {
    // A line that a crash cut short is ended, so that it does not swallow the next.
    if (!LastLineEnded(file)) text = "\r\n";
    wholePath_ = path;
  }
  text += line;
  if (text.empty()) return true;
  if (file.Write(text.data(), text.size())) return true;
  wholePath_.clear();  // part of the line may have reached the file
  return false;
}

}  // namespace vertamo
