// Page layout of a printed text grid: what goes on which page, in printer
// device pixels. The window side measures texts in the print font, asks the
// dispatcher to confirm the page count and then draws the composed pages.
//
// A page, y counted from 0 at its top:
//   header line   "Диспетчерская: <name>" at x 5, the title centred,
//                 "Страница N" ending 5 pixels before the right edge;
//   heading       what the report is of and when it was made, at x 5,
//                 when the grid has one;
//   thick rule    (pen 3) across the page; the column titles, centred in
//                 their columns; another thick rule;
//   rows          each cell wrapped into its column (4 pixels of margin on
//                 each side), the row as tall as its tallest cell, a thin
//                 rule (pen 1) under it while there is room;
//   column rules  thin vertical rules between the columns, from the first
//                 thick rule down to the last row of the page.
// A row that does not fit below the rows of a page goes to the next page. A
// row taller than a whole page starts at the top of a fresh page and is cut
// at its bottom, so every job ends.
//
// Texts are code page 1251 bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vertamo {

// Sizes of texts in the print font, in device pixels.
class ITextMetrics {
 public:
  virtual ~ITextMetrics() = default;
  virtual int TextWidth(std::string_view text) const = 0;
  virtual int TextHeight(std::string_view text) const = 0;
};

// One drawing step of a page: a text whose top-left corner is (x1, y1), or a
// line from (x1, y1) to (x2, y2) drawn with a solid black pen of `pen` pixels.
struct TPrintOp {
  enum Kind { Text, Line };
  Kind kind = Text;
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int pen = 1;
  std::string text;
};

struct TPrintPage {
  std::vector<TPrintOp> ops;
};

// The grid to print: row 0 holds the column titles; every row has the same
// number of cells as colWidths (missing cells print empty). colWidths are
// the grid's column widths in screen pixels, relative to referenceWidth.
struct TPrintGrid {
  std::vector<std::vector<std::string>> cells;
  std::vector<int> colWidths;
  int referenceWidth = 0;
  std::string title;       // centred on the header line when not empty
  std::string heading;     // a line of its own under the header line when not empty
  std::string officeName;  // the dispatch office; empty for none
};

inline constexpr int kMaxPrintColumns = 20;
// Cells are printed up to this many characters.
inline constexpr size_t kMaxPrintCellChars = 255;
// A wrapped line holds at most this many characters.
inline constexpr size_t kMaxPrintLineChars = 127;

// Wraps the text from `pos` into one line no wider than `width`: the longest
// candidate (at most 127 characters) that fits; failing that the longest
// prefix ending in a break character (blank . , - / _ ; :) that fits, the
// break character ending the line, the candidate's first and last characters
// never counting as breaks; failing that the longest prefix of at least one
// character that fits. A candidate of one character is taken even when it
// does not fit. On success `line` holds the line, `pos` moves past it, true.
// False (nothing taken) at the end of the text or when not one character fits.
bool WrapLine(std::string_view text, size_t& pos, int width, const ITextMetrics& metrics, std::string& line);

// Every line of a cell: the first 255 characters wrapped until the text ends
// or a line cannot be made. An empty text gives no line.
std::vector<std::string> WrapCell(std::string_view text, int width, const ITextMetrics& metrics);

// "Диспетчерская: " + the part of the name after its last "\" or ":" (the
// whole name without either); empty for an empty name.
std::string OfficeHeaderText(std::string_view officeName);

struct TPrintLayout {
  int lineHeight = 0;             // height of "№NA09ЩДЦ" + 4
  std::vector<int> widths;        // column widths on paper
  std::vector<int> lefts;         // left edges of the columns
  std::vector<TPrintPage> pages;  // at least one page
};

// Composes every page of the grid for a page of pageWidth x pageHeight device
// pixels. The grid must have at most kMaxPrintColumns columns (more give no
// page at all).
TPrintLayout ComposePrintPages(const TPrintGrid& grid, int pageWidth, int pageHeight,
                               const ITextMetrics& metrics);

}  // namespace vertamo
