#include "journal/report.h"

#include <algorithm>

#include "platform/folders.h"
#include "platform/raw_file.h"
#include "protocol/txtfunc.h"

namespace vertamo {
namespace {

// Texts of report replies keep at most 127 characters.
constexpr size_t kReplyTextCapacity = 128;

const std::string kEmpty;

const std::array<TReportCounter, 3> kCounters = {{
    {"LiftB", "Неисправные лифты...", "MOUSEDOWN LIFTBREAK"},
    {"OhrAlr", "Охранные датчики...", "MOUSEDOWN OHRALR"},
    {"PuErr", "Неисправные переговорные устройства...", "MOUSEDOWN PUERR"},
}};

bool ReadTexts(std::string_view line, std::string& t1, std::string& t2, std::string& t3) {
  return GetStrParam(line, " T1=", kReplyTextCapacity, t1) &&
         GetStrParam(line, " T2=", kReplyTextCapacity, t2) &&
         GetStrParam(line, " T3=", kReplyTextCapacity, t3);
}

}  // namespace

// ---- TReportTable ----------------------------------------------------------

TReportTable::TReportTable() : rows_(2) { rows_[0].cells[0].assign(1, '\xB9'); }  // "№" in code page 1251

void TReportTable::SetReportHeader(const std::string& t1, const std::string& t2, const std::string& t3) {
  rows_[0].cells[1] = t1;
  rows_[0].cells[2] = t2;
  rows_[0].cells[3] = t3;
}

void TReportTable::AddReportRow(const std::string& t1, const std::string& t2, const std::string& t3,
                                int object) {
  size_t row = 1;
  if (!rows_[1].cells[0].empty()) {
    row = rows_.size();
    rows_.emplace_back();
  }
  Row& r = rows_[row];
  r.cells = {std::to_string(row), t1, t2, t3};
  r.object = object;
}

const std::string& TReportTable::Cell(int row, int col) const {
  if (row < 0 || row >= RowCount() || col < 0 || col >= kColumns) return kEmpty;
  return rows_[static_cast<size_t>(row)].cells[static_cast<size_t>(col)];
}

int TReportTable::Object(int row) const {
  if (row < 0 || row >= RowCount()) return -1;
  return rows_[static_cast<size_t>(row)].object;
}

// ---- Reply -----------------------------------------------------------------

void FillReport(const std::vector<std::string>& replyLines, IReportSink& sink) {
  std::string t1, t2, t3;
  for (const std::string& line : replyLines) {
    if (StartsWithText(line, "VIEWHEADER") && ReadTexts(line, t1, t2, t3)) {
      sink.SetReportHeader(t1, t2, t3);
      continue;
    }
    int object = -1;
    if (StartsWithText(line, "VIEW") && ReadTexts(line, t1, t2, t3) && GetIntParam(line, " OBJ=", object))
      sink.AddReportRow(t1, t2, t3, object);
  }
}

const std::array<TReportCounter, 3>& ReportCounters() { return kCounters; }

const TReportCounter* FindReportCounter(std::string_view componentName) {
  for (const TReportCounter& c : kCounters)
    if (componentName == c.name) return &c;
  return nullptr;
}

bool FillReportAnswer(bool answered, const std::vector<std::string>& replyLines, IReportSink& sink) {
  if (!answered || replyLines.empty()) return false;
  FillReport(replyLines, sink);
  return true;
}

bool RequestReport(const TReportCounter& counter, const TListRequest& request,
                   std::function<IReportSink*()> sink) {
  if (!request) return false;
  request(counter.request, [sink = std::move(sink)](bool answered, const std::vector<std::string>& lines) {
    if (IReportSink* target = sink ? sink() : nullptr) FillReportAnswer(answered, lines, *target);
  });
  return true;
}

// ---- Export ----------------------------------------------------------------

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits with one point and at least one digit after it, an optional sign
// before them.
bool IsDecimalNumber(std::string_view cell) {
  if (!cell.empty() && (cell.front() == '-' || cell.front() == '+')) cell.remove_prefix(1);
  const size_t point = cell.find('.');
  if (point == std::string_view::npos || point + 1 >= cell.size()) return false;
  const auto allDigits = [](std::string_view part) { return std::all_of(part.begin(), part.end(), IsDigit); };
  return allDigits(cell.substr(0, point)) && allDigits(cell.substr(point + 1));
}

}  // namespace

std::string CommaForFirstPoint(std::string_view cell) {
  std::string out(cell);
  if (IsDecimalNumber(cell)) out[out.find('.')] = ',';
  return out;
}

namespace {

TExportRows RowsOf(const TReportTable& table) {
  TExportRows rows(static_cast<size_t>(table.RowCount()));
  for (int row = 0; row < table.RowCount(); ++row)
    for (int col = 0; col < table.ColCount(); ++col) rows[static_cast<size_t>(row)].push_back(table.Cell(row, col));
  return rows;
}

bool WriteExport(const std::string& bytes, const std::string& path) {
  if (FileExists(path)) RemoveFile(path);
  TRawFile file(path, TRawFile::kGenericWrite, 0, TRawFile::kCreateAlways, TRawFile::kFileAttributeNormal);
  if (!file.IsOpen()) return false;
  const bool written = file.Write(bytes.data(), bytes.size());
  return file.Close() && written;
}

}  // namespace

std::string ExportRows(const TExportRows& rows, TExportFormat format) {
  const char separator = format == TExportFormat::Csv ? ';' : '\t';
  std::string out;
  for (const auto& row : rows) {
    for (size_t col = 0; col < row.size(); ++col) {
      if (col > 0) out += separator;
      out += CommaForFirstPoint(row[col]);
    }
    out += "\r\n";
  }
  return out;
}

std::string ExportReport(const TReportTable& table, TExportFormat format) {
  return ExportRows(RowsOf(table), format);
}

bool ExportReportFile(const TReportTable& table, TExportFormat format, const std::string& path) {
  return WriteExport(ExportReport(table, format), path);
}

bool ExportRowsFile(const TExportRows& rows, TExportFormat format, const std::string& path) {
  return WriteExport(ExportRows(rows, format), path);
}

}  // namespace vertamo
