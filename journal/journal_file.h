// The journal of the shift on disk: every journal event as it arrives, one
// line each, in a file per day in the work folder's "Journal" folder
// ("Journal/2026-12-07.log", the local date of arrival).
//
// A line: "dd.mm hh:mm:ss  " of the local time of arrival, as in the other
// logs, then the six texts of the event (date, time, object, location,
// event, note as the server sent them) separated by " | ", CR LF; code page
// 1251. Files are only ever appended to, one write per line, so a crash
// loses at most the line being written; a line a crash left unfinished is
// ended before the next one is added. Nothing here empties the journal
// window's rows: F5, a reconnect and "Очистить журнал" leave the files be.
//
// New files and the folder are their owner's only (0600 / 0700).
#pragma once

#include <ctime>
#include <functional>
#include <string>

#include "protocol/log_entry.h"

namespace vertamo {

// The local time now; tests give their own.
using TLocalClock = std::function<std::tm()>;
std::tm LocalTimeNow();

// The line of an event that arrived at `local`, CR LF included. Line breaks
// inside a text become blanks, so that every event stays one line.
std::string JournalLine(const std::tm& local, const TLogEntry& entry);

class TJournalFile {
 public:
  static constexpr const char* kFolderName = "Journal";

  explicit TJournalFile(const std::string& workFolder, TLocalClock clock = LocalTimeNow);

  // The file of the day `local` falls on.
  std::string DayPath(const std::tm& local) const;
  std::string TodayPath() const { return DayPath(clock_()); }

  // Appends the event's line to the file of today, making the folder and the
  // file when missing. False when the line could not be written (it is lost).
  bool Append(const TLogEntry& entry);
  // Makes today's file when missing (empty), so that it can be shown; its path.
  std::string Today();

 private:
  bool Write(const std::string& path, const std::string& line);

  std::string folder_;
  TLocalClock clock_;
  std::string wholePath_;  // the file whose last line is known to be finished
};

}  // namespace vertamo
