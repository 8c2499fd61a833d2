#include "journal/journal_file.h"

#include <cstdio>
#include <utility>

#include "platform/folders.h"
#include "platform/raw_file.h"
#include "protocol/log_prefix.h"

namespace vertamo {
std::tm LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

std::string JournalLine(const std::tm& local, const TLogEntry& entry) {
  std::string line = LogLinePrefix(local);
  for (size_t i = 0; i < entry.texts.size(); ++i) {
    if (i > 0) line += " | ";
    for (const char c : entry.texts[i]) line += c == '\r' || c == '\n' ? ' ' : c;
  }
  line += "\r\n";
  return line;
}

TJournalFile::TJournalFile(const std::string& workFolder, TLocalClock clock)
    : folder_(WithTrailingSlash(workFolder) + kFolderName + "/"),
      clock_(clock ? std::move(clock) : TLocalClock(LocalTimeNow)) {}

std::string TJournalFile::DayPath(const std::tm& local) const {
  char name[32];
  std::snprintf(name, sizeof name, "%04d-%02d-%02d.log", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday);
  return folder_ + name;
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
