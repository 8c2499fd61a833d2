// Reports of the three counters: the table the server's reply fills, the
// request that asks for it, and the export of the table to a file.
//
// A report is a numbered table of up to three text columns. Row 0 is the
// header ("№" and the server's three column titles); rows 1 ... n are the
// report lines, column 0 holding the line number. Every row also keeps the
// map object its line is about (-1 for none).
//
// The server answers a report request ("MOUSEDOWN LIFTBREAK", "MOUSEDOWN
// OHRALR", "MOUSEDOWN PUERR") with lines up to "END":
//   VIEWHEADER T1="..." T2="..." T3="..."          the column titles
//   VIEW T1="..." T2="..." T3="..." OBJ=n          one row, n = object or -1
//
// Texts are code page 1251 bytes throughout.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vertamo {

// Whatever shows a report: the report table itself or its window.
class IReportSink {
 public:
  virtual ~IReportSink() = default;
  virtual void SetReportHeader(const std::string& t1, const std::string& t2, const std::string& t3) = 0;
  virtual void AddReportRow(const std::string& t1, const std::string& t2, const std::string& t3,
                            int object) = 0;
};

class TReportTable : public IReportSink {
 public:
  static constexpr int kColumns = 4;

  // The header row with "№" in column 0 and one empty row whose object is -1.
  TReportTable();

  // Header cells 1, 2, 3.
  void SetReportHeader(const std::string& t1, const std::string& t2, const std::string& t3) override;
  // The first line reuses the empty row 1 (while its column 0 is empty); every
  // further line is appended. Column 0 gets the row number.
  void AddReportRow(const std::string& t1, const std::string& t2, const std::string& t3, int object) override;

  // Rows including the header row (at least 2).
  int RowCount() const { return static_cast<int>(rows_.size()); }
  int ColCount() const { return kColumns; }
  // Empty outside the table.
  const std::string& Cell(int row, int col) const;
  // The object of a row; -1 outside the table.
  int Object(int row) const;

 private:
  struct Row {
    std::array<std::string, kColumns> cells;
    int object = -1;
  };
  std::vector<Row> rows_;
};

// Feeds the lines of a report reply to the sink: a line beginning with
// "VIEWHEADER" (any case) with T1, T2 and T3 sets the header; otherwise a line
// beginning with "VIEW" with T1, T2, T3 and OBJ adds a row; any other line,
// or one missing a key, is skipped. Texts are cut to 127 characters.
void FillReport(const std::vector<std::string>& replyLines, IReportSink& sink);

// One of the three counters of the map and the report it opens.
struct TReportCounter {
  const char* name;     // component name of the counter: "LiftB", "OhrAlr", "PuErr"
  const char* caption;  // caption of the report window, UTF-8
  const char* request;  // the request line sent to the server
};

// The counter of that component name; nullptr for any other name.
const TReportCounter* FindReportCounter(std::string_view componentName);
// The three counters in their order.
const std::array<TReportCounter, 3>& ReportCounters();

// The answer to a list request: answered when an answer of at least one line
// arrived in time (the lines before "END", in `replyLines`).
using TListAnswer = std::function<void(bool answered, const std::vector<std::string>& replyLines)>;
// A list request to the server: returns at once; `answer` runs once, later,
// with the answer or with answered false.
using TListRequest = std::function<void(const std::string& request, TListAnswer answer)>;

// Feeds a report's answer to the sink. False (and the sink untouched) when the
// request failed or brought no line.
bool FillReportAnswer(bool answered, const std::vector<std::string>& replyLines, IReportSink& sink);

// Asks for the counter's report; when the answer is in, `sink` says where it
// goes (nullptr: nowhere any more, the window has gone) and FillReportAnswer
// fills it. False when there is no way to ask.
bool RequestReport(const TReportCounter& counter, const TListRequest& request,
                   std::function<IReportSink*()> sink);

// ---- Export ------------------------------------------------------------------

enum class TExportFormat {
  Csv,   // cells separated by ";"
  Text,  // cells separated by a TAB
};

// A cell that is a decimal number ("3.14", "-0.5", ".5") with its point turned
// into "," so that a spreadsheet reads it as a number; any other cell (an
// address such as "ул. Лесная", a date, a sentence) as it is.
std::string CommaForFirstPoint(std::string_view cell);

// The exported bytes: every row from the header on, every column from 0 on,
// each cell through CommaForFirstPoint, cells separated by the format's
// separator, rows ended by CR LF. Nothing is quoted or escaped: a separator
// inside a cell splits it.
std::string ExportReport(const TReportTable& table, TExportFormat format);
// The same for any table of rows (the first row its header), such as the
// journal's days.
using TExportRows = std::vector<std::vector<std::string>>;
std::string ExportRows(const TExportRows& rows, TExportFormat format);

// Deletes an existing file of that name, creates it anew and writes the
// export. False when the file cannot be created or not every byte could be
// written.
bool ExportReportFile(const TReportTable& table, TExportFormat format, const std::string& path);
bool ExportRowsFile(const TExportRows& rows, TExportFormat format, const std::string& path);

}  // namespace vertamo
