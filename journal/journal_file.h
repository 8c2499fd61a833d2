// The journal of the shift on disk: every journal event as it arrives, one
// line each, in a file per day in the work folder's "Journal" folder
// ("Journal/2026-12-07.log", the local date of arrival).
//
// A line: "dd.mm hh:mm:ss  " of the local time of arrival, as in the other
// logs, then the six texts of the event (date, time, object, location,
// event, note as the server sent them) separated by " | ", then a TAB and
// the object's number, the row's background and text colours (decimal, as
// the server sent them), CR LF; code page 1251. TABs and line breaks inside
// the texts become blanks. Lines of older files lack the TAB part. Files are only ever appended to, one write per line, so a crash
// loses at most the line being written; a line a crash left unfinished is
// ended before the next one is added. Nothing here empties the journal
// window's rows: F5, a reconnect and "Очистить журнал" leave the files be.
//
// New files and the folder are their owner's only (0600 / 0700).
#pragma once

#include <array>
#include <cstddef>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "journal/log_entry.h"

namespace vertamo {

// The local time now; tests give their own.
using TLocalClock = std::function<std::tm()>;
std::tm LocalTimeNow();

// The line of an event that arrived at `local`, CR LF included. Line breaks
// inside a text become blanks, so that every event stays one line.
std::string JournalLine(const std::tm& local, const TLogEntry& entry);

// A line of a day file read back: when the event arrived ("dd.mm hh:mm:ss"),
// its six texts, and the object and colours when the line keeps them.
struct TJournalRecord {
  std::string arrived;
  std::array<std::string, 6> texts;
  bool kindKept = false;  // the line had object and colours
  int object = -1;
  int color = 0;
  int fontColor = 0;

  bool operator==(const TJournalRecord&) const = default;
};

// Reads one line (with or without its line end). False for a line the
// journal did not write whole: another prefix, fewer than six texts, a line
// break inside. A " | " inside the note stays in the note.
bool ParseJournalLine(std::string_view line, TJournalRecord& record);
// The line of a record read back, CR LF included.
std::string JournalRecordLine(const TJournalRecord& record);

// The records of the day file at `path`, oldest first: the newest `max` of
// them (only the end of the file that holds them is read), or all. Damaged
// lines (a crash cut them short, someone edited the file) are passed over.
std::vector<TJournalRecord> ReadJournalDay(const std::string& path, std::size_t max = SIZE_MAX);

class TJournalFile {
 public:
  static constexpr const char* kFolderName = "Journal";

  explicit TJournalFile(const std::string& workFolder, TLocalClock clock = LocalTimeNow);

  // The file of the day `local` falls on.
  std::string DayPath(const std::tm& local) const;
  std::string TodayPath() const { return DayPath(clock_()); }
  // Today as the files name it, "YYYY-MM-DD".
  std::string TodayName() const;
  // The file of the day "YYYY-MM-DD".
  std::string DayPath(const std::string& day) const { return folder_ + day + ".log"; }
  // The days whose files are kept, as "YYYY-MM-DD", oldest first.
  std::vector<std::string> Days() const;
  // The newest `max` events of today, oldest first.
  std::vector<TJournalRecord> TodayNewest(std::size_t max) const { return ReadJournalDay(TodayPath(), max); }

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
