// Printed pages of a grid: wrapping of cells, the page layout, page breaks,
// the page-count question.
#include "journal/print_layout.h"
#include "support/cp1251_text.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/cp1251.h"

namespace vertamo {
namespace {

using testing::Cp;

// Every byte 10 pixels wide unless listed; every text 16 pixels tall, so a
// printed line is 20 pixels.
class FixedMetrics : public ITextMetrics {
 public:
  std::map<char, int> widths;
  int TextWidth(std::string_view text) const override {
    int w = 0;
    for (char c : text) {
      const auto it = widths.find(c);
      w += it == widths.end() ? 10 : it->second;
    }
    return w;
  }
  int TextHeight(std::string_view) const override { return 16; }
};

constexpr int kL = 20;

const TPrintOp* FindText(const TPrintPage& page, const std::string& text) {
  for (const TPrintOp& op : page.ops)
    if (op.kind == TPrintOp::Text && op.text == text) return &op;
  return nullptr;
}

std::vector<TPrintOp> Lines(const TPrintPage& page, int pen) {
  std::vector<TPrintOp> out;
  for (const TPrintOp& op : page.ops)
    if (op.kind == TPrintOp::Line && op.pen == pen) out.push_back(op);
  return out;
}

// A report-like grid: "№" and three titles, `rows` numbered rows.
TPrintGrid Grid(int rows, const std::vector<std::string>& rowText = {"a", "b", "c"}) {
  TPrintGrid g;
  g.cells.push_back({Cp("№"), "T1", "T2", "T3"});
  for (int r = 1; r <= rows; ++r) g.cells.push_back({std::to_string(r), rowText[0], rowText[1], rowText[2]});
  g.colWidths = {30, 100, 100, 100};
  g.referenceWidth = 330;
  return g;
}

// ---- WrapLine ----------------------------------------------------------------

TEST(WrapLine, Cases) {
  struct Case {
    const char* name;
    std::string text;
    int width;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"fits whole", "abc", 30, {"abc"}},
      {"empty text gives no line", "", 30, {}},
      {"no break: cut where the column is full", "abcdefg", 30, {"abc", "def", "g"}},
      {"break at a blank, kept at the line's end", "ab cd ef", 60, {"ab cd ", "ef"}},
      {"the longest break that fits", "a b c d", 50, {"a b ", "c d"}},
      {"a break that fits beats a longer cut", "aaaa bbbbbbbb", 80, {"aaaa ", "bbbbbbbb"}},
      {"the last character is no break point", "abcd-", 40, {"abcd", "-"}},
      {"the first character is no break point", "-abcd", 40, {"-abc", "d"}},
      {"the next line keeps its leading blank", "aaaa  bb", 50, {"aaaa ", " bb"}},
      {"two characters of which none fits give nothing", "ab", 5, {}},
      {"a lone last character is printed", "abc", 20, {"ab", "c"}},
      {"at most 127 characters a line",
       std::string(200, 'x'),
       100000,
       {std::string(127, 'x'), std::string(73, 'x')}},
      {"a cell is printed up to its 255th character",
       std::string(300, 'y'),
       100000,
       {std::string(127, 'y'), std::string(127, 'y'), "y"}},
      {"Cyrillic text", Cp("Лифт неисправен"), 100, {Cp("Лифт "), Cp("неисправен")}},
  };
  FixedMetrics m;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(WrapCell(c.text, c.width, m), c.lines);
  }
}

TEST(WrapLine, EveryBreakCharacter) {
  FixedMetrics m;
  for (char c : std::string(" .,-/_;:")) {
    const std::string text = std::string("aa") + c + "bb";
    EXPECT_EQ(WrapCell(text, 40, m), (std::vector<std::string>{std::string("aa") + c, "bb"})) << c;
  }
  // Other punctuation does not break.
  EXPECT_EQ(WrapCell("aa!bb", 40, m), (std::vector<std::string>{"aa!b", "b"}));
}

TEST(WrapLine, WideCharactersAndTheStopWhenNothingFits) {
  FixedMetrics m;
  m.widths['W'] = 30;
  // A single character that does not fit is printed all the same.
  EXPECT_EQ(WrapCell("W", 20, m), (std::vector<std::string>{"W"}));
  // A wide character among others goes to its own line ...
  EXPECT_EQ(WrapCell("abW", 20, m), (std::vector<std::string>{"ab", "W"}));
  // ... but when two or more characters remain and not even the first fits,
  // the cell ends there.
  EXPECT_EQ(WrapCell("abWa", 20, m), (std::vector<std::string>{"ab"}));
  // A zero width stops at once unless one character is left.
  EXPECT_EQ(WrapCell("abc", 0, m), (std::vector<std::string>{}));
}

TEST(WrapLine, PositionMovesPastEachLine) {
  FixedMetrics m;
  const std::string text = "one two three";
  size_t pos = 0;
  std::string line;
  ASSERT_TRUE(WrapLine(text, pos, 80, m, line));
  EXPECT_EQ(line, "one two ");
  EXPECT_EQ(pos, 8u);
  ASSERT_TRUE(WrapLine(text, pos, 80, m, line));
  EXPECT_EQ(line, "three");
  EXPECT_EQ(pos, text.size());
  EXPECT_FALSE(WrapLine(text, pos, 80, m, line));
  EXPECT_EQ(line, "");
}

// ---- Texts -------------------------------------------------------------------

TEST(PrintTexts, OfficeNameAfterItsLastColonOrBackslash) {
  EXPECT_EQ(OfficeHeaderText(""), "");
  EXPECT_EQ(OfficeHeaderText(Cp("Центральная")), Cp("Диспетчерская: Центральная"));
  EXPECT_EQ(OfficeHeaderText(Cp("ОДС:Северная")), Cp("Диспетчерская: Северная"));
  EXPECT_EQ(OfficeHeaderText(Cp("C:\\Район\\ОДС-5")), Cp("Диспетчерская: ОДС-5"));
  EXPECT_EQ(OfficeHeaderText(Cp("a\\b:c")), Cp("Диспетчерская: c"));
  EXPECT_EQ(OfficeHeaderText("name:"), Cp("Диспетчерская: "));
}

// ---- Pages -------------------------------------------------------------------

TEST(PrintPages, LayoutOfOnePage) {
  FixedMetrics m;
  TPrintGrid g = Grid(3);
  g.title = "Report";
  g.officeName = Cp("ОДС:Север");
  const TPrintLayout layout = ComposePrintPages(g, 1000, 500, m);
  ASSERT_EQ(layout.pages.size(), 1u);
  EXPECT_EQ(layout.lineHeight, kL);
  // Column 0: the row count "4" or "№" (10 pixels each) + 32; the rest share
  // 1000 - 42 in the screen proportions.
  EXPECT_EQ(layout.widths, (std::vector<int>{42, 290, 290, 290}));
  EXPECT_EQ(layout.lefts, (std::vector<int>{0, 42, 332, 622}));
  const TPrintPage& page = layout.pages[0];

  const TPrintOp* office = FindText(page, Cp("Диспетчерская: Север"));
  ASSERT_NE(office, nullptr);
  EXPECT_EQ(office->x1, 5);
  EXPECT_EQ(office->y1, 0);
  const TPrintOp* number = FindText(page, Cp("Страница 1"));
  ASSERT_NE(number, nullptr);
  EXPECT_EQ(number->x1, 1000 - 5 - 100);
  const TPrintOp* title = FindText(page, "Report");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->x1, (1000 - 60) / 2);

  // Two thick rules across the page around the column titles.
  const auto thick = Lines(page, 3);
  ASSERT_EQ(thick.size(), 2u);
  EXPECT_EQ(thick[0].y1, kL);
  EXPECT_EQ(thick[0].x1, 0);
  EXPECT_EQ(thick[0].x2, 1000);
  EXPECT_EQ(thick[1].y1, kL + 4 + kL);
  const TPrintOp* t2 = FindText(page, "T2");
  ASSERT_NE(t2, nullptr);
  EXPECT_EQ(t2->x1, 332 + (290 - 20) / 2);
  EXPECT_EQ(t2->y1, kL + 4);
  EXPECT_EQ(FindText(page, Cp("№"))->x1, (42 - 10) / 2);

  // Rows: at x + 4, one line each, a thin rule under each.
  const int body = 2 * kL + 8;
  const auto thin = Lines(page, 1);
  std::vector<int> rules;
  std::vector<int> verticals;
  for (const TPrintOp& op : thin)
    (op.y1 == op.y2 ? rules : verticals).push_back(op.y1 == op.y2 ? op.y1 : op.x1);
  EXPECT_EQ(rules, (std::vector<int>{body + kL, body + 2 * kL + 4, body + 3 * kL + 8}));
  EXPECT_EQ(verticals, (std::vector<int>{42, 332, 622}));
  for (const TPrintOp& op : thin)
    if (op.x1 == op.x2) {
      EXPECT_EQ(op.y1, kL);
      EXPECT_EQ(op.y2, body + 3 * (kL + 4));
    }
  std::vector<std::pair<int, int>> cells;
  for (const TPrintOp& op : page.ops)
    if (op.kind == TPrintOp::Text && op.text == "b") cells.emplace_back(op.x1, op.y1);
  EXPECT_EQ(cells, (std::vector<std::pair<int, int>>{{336, body}, {336, body + 24}, {336, body + 48}}));
}

TEST(PrintPages, EmptyOfficeAndTitlePrintOnlyThePageNumber) {
  FixedMetrics m;
  const TPrintLayout layout = ComposePrintPages(Grid(1), 1000, 500, m);
  ASSERT_EQ(layout.pages.size(), 1u);
  std::vector<std::string> header;
  for (const TPrintOp& op : layout.pages[0].ops)
    if (op.kind == TPrintOp::Text && op.y1 == 0) header.push_back(op.text);
  EXPECT_EQ(header, (std::vector<std::string>{Cp("Страница 1")}));
}

TEST(PrintPages, TheHeadingHasALineOfItsOwnOnEveryPage) {
  FixedMetrics m;
  TPrintGrid g = Grid(12);
  g.title = "Report";
  g.heading = "Made 08.12.2026 06:10";
  const TPrintLayout layout = ComposePrintPages(g, 1000, 200, m);
  ASSERT_EQ(layout.pages.size(), 3u);
  for (const TPrintPage& page : layout.pages) {
    const TPrintOp* heading = FindText(page, g.heading);
    ASSERT_NE(heading, nullptr);
    EXPECT_EQ(heading->x1, 5);
    EXPECT_EQ(heading->y1, kL);
    // The rules and the column titles move down under it.
    EXPECT_EQ(Lines(page, 3).front().y1, 2 * kL);
    EXPECT_EQ(FindText(page, "T2")->y1, 2 * kL + 4);
    for (const TPrintOp& op : Lines(page, 1)) {
      if (op.x1 == op.x2) {
        EXPECT_EQ(op.y1, 2 * kL);
      }
    }
  }
}

TEST(PrintPages, PageCounts) {
  // Rows of one line take 24 pixels from y = 48: on a page 200 pixels tall a
  // row fits while 48 + 24 j + 20 < 200, six rows a page.
  struct Case {
    int pages;
  };
  const Case cases[] = {{1}, {3}, {5}, {21}};
  FixedMetrics m;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pages);
    const TPrintLayout layout = ComposePrintPages(Grid(6 * c.pages), 1000, 200, m);
    ASSERT_EQ(static_cast<int>(layout.pages.size()), c.pages);
    // Every page repeats the column titles and numbers itself; the row
    // numbers carry on from page to page.
    for (int p = 0; p < c.pages; ++p) {
      const TPrintPage& page = layout.pages[static_cast<size_t>(p)];
      EXPECT_NE(FindText(page, "T3"), nullptr);
      EXPECT_NE(FindText(page, Cp("Страница ") + std::to_string(p + 1)), nullptr);
      EXPECT_NE(FindText(page, std::to_string(6 * p + 1)), nullptr);
      EXPECT_NE(FindText(page, std::to_string(6 * p + 6)), nullptr);
      EXPECT_EQ(FindText(page, std::to_string(6 * p + 7)), nullptr);
    }
  }
  // One row more starts another page.
  EXPECT_EQ(ComposePrintPages(Grid(7), 1000, 200, m).pages.size(), 2u);
}

TEST(PrintPages, WrappedCellsMakeTheRowTall) {
  FixedMetrics m;
  // Column 2 is 290 pixels: 282 for text, 28 characters a line.
  TPrintGrid g = Grid(2, {"a", std::string(60, 'z'), "c"});
  const TPrintLayout layout = ComposePrintPages(g, 1000, 500, m);
  const TPrintPage& page = layout.pages[0];
  std::vector<int> ys;
  for (const TPrintOp& op : page.ops)
    if (op.kind == TPrintOp::Text && op.x1 == 336) ys.push_back(op.y1);
  // Row 1: three lines from 48; row 2 after its rule: 48 + 60 + 4.
  EXPECT_EQ(ys, (std::vector<int>{48, 68, 88, 112, 132, 152}));
  EXPECT_EQ(Lines(page, 1)[0].y1, 108);
}

TEST(PrintPages, AnEmptyRowTakesNoHeightOnlyItsRule) {
  FixedMetrics m;
  TPrintGrid g = Grid(3);
  g.cells[2] = {"", "", "", ""};
  const TPrintLayout layout = ComposePrintPages(g, 1000, 500, m);
  std::vector<int> rules;
  for (const TPrintOp& op : Lines(layout.pages[0], 1))
    if (op.y1 == op.y2) rules.push_back(op.y1);
  EXPECT_EQ(rules, (std::vector<int>{68, 72, 96}));
  EXPECT_EQ(FindText(layout.pages[0], "3")->y1, 76);
}

TEST(PrintPages, RowTallerThanAPageStartsAFreshPageAndIsCut) {
  FixedMetrics m;
  // Column 1 holds 28 characters a line: 255 characters make 10 lines, more
  // than a page of 200 pixels holds below its titles ((200 - 1 - 48) / 20 = 7).
  TPrintGrid g = Grid(3);
  g.cells[2][1] = std::string(300, 'q');
  const TPrintLayout layout = ComposePrintPages(g, 1000, 200, m);
  ASSERT_EQ(layout.pages.size(), 3u);
  EXPECT_NE(FindText(layout.pages[0], "1"), nullptr);
  EXPECT_EQ(FindText(layout.pages[0], "2"), nullptr);
  // Page 2: the tall row from the top, cut to the seven lines that fit.
  const TPrintPage& tall = layout.pages[1];
  ASSERT_NE(FindText(tall, "2"), nullptr);
  EXPECT_EQ(FindText(tall, "2")->y1, 48);
  int qLines = 0;
  for (const TPrintOp& op : tall.ops)
    if (op.kind == TPrintOp::Text && op.text[0] == 'q') {
      ++qLines;
      EXPECT_LT(op.y1 + kL, 200);
    }
  EXPECT_EQ(qLines, 7);
  EXPECT_NE(FindText(layout.pages[2], "3"), nullptr);
  // Nothing is drawn below the page.
  for (const TPrintPage& page : layout.pages)
    for (const TPrintOp& op : page.ops) {
      EXPECT_LT(op.y1, 200);
      EXPECT_LT(op.y2, 200);
    }
}

TEST(PrintPages, TallFirstRowUsesTheFirstPage) {
  FixedMetrics m;
  TPrintGrid g = Grid(1);
  g.cells[1][1] = std::string(255, 'q');
  const TPrintLayout layout = ComposePrintPages(g, 1000, 200, m);
  ASSERT_EQ(layout.pages.size(), 1u);
  EXPECT_EQ(FindText(layout.pages[0], "1")->y1, 48);
}

TEST(PrintPages, APageTooSmallForItsHeaderStillEnds) {
  FixedMetrics m;
  for (int height : {0, 1, 30, 48, 60, 68, 69}) {
    SCOPED_TRACE(height);
    const TPrintLayout layout = ComposePrintPages(Grid(50), 1000, height, m);
    EXPECT_GE(layout.pages.size(), 1u);
    EXPECT_LE(layout.pages.size(), 51u);
  }
  // Very narrow columns and long texts on a small page.
  TPrintGrid g = Grid(40, {std::string(255, 'a'), std::string(255, 'b'), std::string(255, 'c')});
  g.colWidths = {1, 1, 1, 1};
  const TPrintLayout layout = ComposePrintPages(g, 40, 100, m);
  EXPECT_LE(layout.pages.size(), 41u);
}

TEST(PrintPages, ColumnLimitAndOddReferenceWidths) {
  FixedMetrics m;
  TPrintGrid g;
  g.cells = {std::vector<std::string>(20, "h"), std::vector<std::string>(20, "c")};
  g.colWidths.assign(20, 50);
  g.referenceWidth = 1000;
  EXPECT_EQ(ComposePrintPages(g, 2000, 500, m).pages.size(), 1u);
  g.cells[0].push_back("h");
  g.cells[1].push_back("c");
  g.colWidths.push_back(50);
  EXPECT_TRUE(ComposePrintPages(g, 2000, 500, m).pages.empty());
  // A reference width of 0 does not divide by zero.
  TPrintGrid z = Grid(2);
  z.referenceWidth = 0;
  EXPECT_EQ(ComposePrintPages(z, 1000, 500, m).pages.size(), 1u);
  // Rows shorter than the header print their missing cells empty.
  TPrintGrid shortRows = Grid(1);
  shortRows.cells[1].resize(2);
  EXPECT_EQ(ComposePrintPages(shortRows, 1000, 500, m).pages.size(), 1u);
}

}  // namespace
}  // namespace vertamo
