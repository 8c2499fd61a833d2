// A report reply from the server, line by line as the connection hands it
// over: the table it fills, its export and its printed pages must hold
// together whatever the server sends.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "journal/print_layout.h"
#include "journal/report.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// Every byte 7 pixels wide, blanks 3; lines 12 pixels tall.
class Metrics : public vertamo::ITextMetrics {
 public:
  int TextWidth(std::string_view text) const override {
    int w = 0;
    for (char c : text) w += c == ' ' ? 3 : 7;
    return w;
  }
  int TextHeight(std::string_view) const override { return 12; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= input.size()) {
    size_t end = input.find('\n', start);
    if (end == std::string_view::npos) end = input.size();
    lines.emplace_back(input.substr(start, end - start));
    start = end + 1;
  }

  vertamo::TReportTable table;
  vertamo::FillReport(lines, table);
  Check(table.RowCount() >= 2);
  Check(table.RowCount() <= static_cast<int>(lines.size()) + 1);
  for (int row = 1; row < table.RowCount(); ++row)
    for (int col = 1; col < table.ColCount(); ++col) Check(table.Cell(row, col).size() <= 127);
  if (table.RowCount() > 2 || !table.Cell(1, 0).empty())
    for (int row = 1; row < table.RowCount(); ++row) Check(table.Cell(row, 0) == std::to_string(row));

  for (auto format : {vertamo::TExportFormat::Csv, vertamo::TExportFormat::Text}) {
    const std::string bytes = vertamo::ExportReport(table, format);
    size_t ends = 0;
    for (size_t i = 0; i + 1 < bytes.size(); ++i)
      if (bytes[i] == '\r' && bytes[i + 1] == '\n') ++ends;
    Check(ends >= static_cast<size_t>(table.RowCount()));
  }

  // The printed pages: a small page, so that rows break pages and tall rows
  // are cut; every job ends and draws nothing below its page.
  vertamo::TPrintGrid grid;
  for (int row = 0; row < table.RowCount() && row < 200; ++row)
    grid.cells.push_back({table.Cell(row, 0), table.Cell(row, 1), table.Cell(row, 2), table.Cell(row, 3)});
  const int width = size > 0 ? 60 + data[0] * 4 : 300;
  grid.colWidths = {30, 40, size > 1 ? data[1] : 40, 25};
  grid.referenceWidth = 120;
  grid.title = lines[0].substr(0, 40);
  const Metrics metrics;
  const int height = 150;
  const vertamo::TPrintLayout layout = vertamo::ComposePrintPages(grid, width, height, metrics);
  Check(!layout.pages.empty());
  Check(layout.pages.size() <= grid.cells.size());
  for (const vertamo::TPrintPage& page : layout.pages)
    for (const vertamo::TPrintOp& op : page.ops) Check(op.y1 < height && op.y2 < height);
  return 0;
}
