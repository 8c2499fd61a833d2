#include "journal/print_layout.h"

#include <algorithm>
#include <cstdint>

#include "platform/cp1251.h"

namespace vertamo {
namespace {

bool IsBreakChar(char c) {
  switch (c) {
    case ' ':
    case '.':
    case ',':
    case '-':
    case '/':
    case '_':
    case ';':
    case ':':
      return true;
    default:
      return false;
  }
}

// The line height text: the tallest letters of both alphabets and the digits.
const std::string& LineHeightSample() {
  static const std::string sample = Utf8ToCp1251("№NA09ЩДЦ");
  return sample;
}

void AddText(TPrintPage& page, int x, int y, std::string text) {
  TPrintOp op;
  op.kind = TPrintOp::Text;
  op.x1 = x;
  op.y1 = y;
  op.text = std::move(text);
  page.ops.push_back(std::move(op));
}

void AddLine(TPrintPage& page, int x1, int y1, int x2, int y2, int pen) {
  TPrintOp op;
  op.kind = TPrintOp::Line;
  op.x1 = x1;
  op.y1 = y1;
  op.x2 = x2;
  op.y2 = y2;
  op.pen = pen;
  page.ops.push_back(std::move(op));
}

}  // namespace

bool WrapLine(std::string_view text, size_t& pos, int width, const ITextMetrics& metrics, std::string& line) {
  line.clear();
  if (pos >= text.size()) return false;
  const std::string_view candidate = text.substr(pos, kMaxPrintLineChars);
  auto fits = [&](size_t length) { return metrics.TextWidth(candidate.substr(0, length)) <= width; };
  size_t take = 0;
  if (candidate.size() == 1 || fits(candidate.size())) {
    take = candidate.size();
  } else {
    // A break character, looked for from the second-last character back to
    // the second one, ends the line together with everything before it.
    for (size_t i = candidate.size() - 2; i >= 1 && take == 0; --i)
      if (IsBreakChar(candidate[i]) && fits(i + 1)) take = i + 1;
    // No break fits: the longest prefix that does.
    for (size_t n = candidate.size() - 1; n >= 1 && take == 0; --n)
      if (fits(n)) take = n;
  }
  if (take == 0) return false;
  line.assign(candidate.substr(0, take));
  pos += take;
  return true;
}

std::vector<std::string> WrapCell(std::string_view text, int width, const ITextMetrics& metrics) {
  const std::string_view cell = text.substr(0, kMaxPrintCellChars);
  std::vector<std::string> lines;
  size_t pos = 0;
  std::string line;
  while (WrapLine(cell, pos, width, metrics, line)) lines.push_back(line);
  return lines;
}

std::string OfficeHeaderText(std::string_view officeName) {
  if (officeName.empty()) return {};
  const size_t cut = officeName.find_last_of("\\:");
  const std::string_view shown = cut == std::string_view::npos ? officeName : officeName.substr(cut + 1);
  return Utf8ToCp1251("Диспетчерская: ") + std::string(shown);
}


TPrintLayout ComposePrintPages(const TPrintGrid& grid, int pageWidth, int pageHeight,
                               const ITextMetrics& metrics) {
  TPrintLayout layout;
  const int n = static_cast<int>(grid.colWidths.size());
  if (n < 1 || n > kMaxPrintColumns) return layout;
  const int W = pageWidth;
  const int H = pageHeight;
  const int rowCount = static_cast<int>(grid.cells.size());
  auto cell = [&](int row, int col) -> std::string_view {
    if (row < 0 || row >= rowCount) return {};
    const auto& cells = grid.cells[static_cast<size_t>(row)];
    return col < static_cast<int>(cells.size()) ? std::string_view(cells[static_cast<size_t>(col)])
                                                : std::string_view();
  };

  // Column 0 holds the row numbers: as wide as the widest number (the row
  // count) or its title, plus margins. The others share the rest of the page
  // in the proportions of the grid on the screen.
  const int L = std::max(metrics.TextHeight(LineHeightSample()) + 4, 1);
  layout.lineHeight = L;
  std::vector<int>& w = layout.widths;
  std::vector<int>& x = layout.lefts;
  w.assign(static_cast<size_t>(n), 0);
  x.assign(static_cast<size_t>(n), 0);
  w[0] = std::max(metrics.TextWidth(std::to_string(rowCount)), metrics.TextWidth(cell(0, 0))) + 32;
  const int64_t reference = std::max(grid.referenceWidth, 1);
  for (int i = 1; i < n; ++i)
    w[static_cast<size_t>(i)] = static_cast<int>(
        static_cast<int64_t>(grid.colWidths[static_cast<size_t>(i)]) * (W - w[0]) / reference);
  for (int i = 1; i < n; ++i)
    x[static_cast<size_t>(i)] = x[static_cast<size_t>(i - 1)] + w[static_cast<size_t>(i - 1)];

  const std::string office = OfficeHeaderText(grid.officeName);
  int y = 0;
  int rowsOnPage = 0;
  int rulesTop = L;  // where the column rules start: the first thick rule

  auto startPage = [&] {
    layout.pages.emplace_back();
    TPrintPage& page = layout.pages.back();
    y = 0;
    rowsOnPage = 0;
    if (!office.empty()) AddText(page, 5, y, office);
    const std::string number = Utf8ToCp1251("Страница ") + std::to_string(layout.pages.size());
    AddText(page, W - 5 - metrics.TextWidth(number), y, number);
    if (!grid.title.empty()) AddText(page, (W - metrics.TextWidth(grid.title)) / 2, y, grid.title);
    y += L;
    if (!grid.heading.empty()) {
      AddText(page, 5, y, grid.heading);
      y += L;
    }
    rulesTop = y;
    AddLine(page, 0, y, W, y, 3);
    y += 4;
    for (int i = 0; i < n; ++i) {
      const std::string_view title = cell(0, i);
      AddText(page, x[static_cast<size_t>(i)] + (w[static_cast<size_t>(i)] - metrics.TextWidth(title)) / 2, y,
              std::string(title));
    }
    y += L;
    AddLine(page, 0, y, W, y, 3);
    y += 4;
  };
  auto finishPage = [&] {
    TPrintPage& page = layout.pages.back();
    for (int i = 1; i < n; ++i) AddLine(page, x[static_cast<size_t>(i)], rulesTop, x[static_cast<size_t>(i)], y, 1);
  };

  startPage();
  std::vector<std::vector<std::string>> wrapped(static_cast<size_t>(n));
  for (int row = 1; row < rowCount; ++row) {
    int lines = 0;
    for (int i = 0; i < n; ++i) {
      wrapped[static_cast<size_t>(i)] = WrapCell(cell(row, i), w[static_cast<size_t>(i)] - 8, metrics);
      lines = std::max(lines, static_cast<int>(wrapped[static_cast<size_t>(i)].size()));
    }
    if (y + static_cast<int64_t>(lines) * L >= H) {
      if (rowsOnPage > 0) {
        finishPage();
        startPage();
      }
      // Taller than what a fresh page holds: print what fits, cut the rest.
      if (y + static_cast<int64_t>(lines) * L >= H) lines = H - 1 - y >= 0 ? (H - 1 - y) / L : 0;
    }
    TPrintPage& page = layout.pages.back();
    for (int i = 0; i < n; ++i) {
      const auto& cellLines = wrapped[static_cast<size_t>(i)];
      for (int k = 0; k < lines && k < static_cast<int>(cellLines.size()); ++k)
        AddText(page, x[static_cast<size_t>(i)] + 4, y + k * L, cellLines[static_cast<size_t>(k)]);
    }
    y += lines * L;
    ++rowsOnPage;
    if (y + 4 < H) {
      AddLine(page, 0, y, W, y, 1);
      y += 4;
    }
  }
  finishPage();
  return layout;
}

}  // namespace vertamo
