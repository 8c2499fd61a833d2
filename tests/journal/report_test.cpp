// Reports of the counters: the table a reply fills, the request per counter,
// and the exported bytes.
#include "journal/report.h"
#include "support/cp1251_text.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/cp1251.h"
#include "support/temp_folder.h"

namespace vertamo {
namespace {

using testing::ReadWholeFile;
using testing::TempFolder;
using testing::WriteWholeFile;

using testing::Cp;

std::vector<std::string> CpLines(std::initializer_list<const char*> utf8) {
  std::vector<std::string> out;
  for (const char* line : utf8) out.push_back(Cp(line));
  return out;
}

std::string DataFile(const std::string& name) {
  return ReadWholeFile(std::string(VERTAMO_JOURNAL_TEST_DATA) + "/" + name);
}

// The reply the expected export files were written for.
const std::vector<std::string>& SampleReply() {
  static const std::vector<std::string> reply = CpLines({
      R"(VIEWHEADER T1="Лифт" T2="Адрес" T3="Время")",
      R"(VIEW T1="Лифт 1.2" T2="ул. Ленина, 5" T3="12.05.2024" OBJ=3)",
      R"(VIEW T1="Датчик;двери" T2="пр. Мира." T3="3.14" OBJ=-1)",
      R"(VIEW T1="Конец." T2="" T3="." OBJ=7)",
  });
  return reply;
}

TReportTable SampleTable() {
  TReportTable table;
  FillReport(SampleReply(), table);
  return table;
}

// Records what a reply asks of a report window.
struct RecordingSink : IReportSink {
  std::vector<std::string> calls;
  void SetReportHeader(const std::string& t1, const std::string& t2, const std::string& t3) override {
    calls.push_back("H|" + t1 + "|" + t2 + "|" + t3);
  }
  void AddReportRow(const std::string& t1, const std::string& t2, const std::string& t3,
                    int object) override {
    calls.push_back("R|" + t1 + "|" + t2 + "|" + t3 + "|" + std::to_string(object));
  }
};

// ---- The table ---------------------------------------------------------------

TEST(ReportTable, StartsWithHeaderAndOneEmptyRow) {
  TReportTable table;
  ASSERT_EQ(table.RowCount(), 2);
  EXPECT_EQ(table.ColCount(), 4);
  EXPECT_EQ(table.Cell(0, 0), Cp("№"));
  for (int col = 1; col < 4; ++col) EXPECT_EQ(table.Cell(0, col), "");
  for (int col = 0; col < 4; ++col) EXPECT_EQ(table.Cell(1, col), "");
  EXPECT_EQ(table.Object(1), -1);
  // Outside the table: empty cells, no object.
  EXPECT_EQ(table.Cell(2, 0), "");
  EXPECT_EQ(table.Cell(-1, 0), "");
  EXPECT_EQ(table.Cell(0, 4), "");
  EXPECT_EQ(table.Object(5), -1);
}

TEST(ReportTable, FirstRowReusesRowOneThenRowsAreAppendedAndNumbered) {
  TReportTable table;
  table.AddReportRow("a", "b", "c", 4);
  ASSERT_EQ(table.RowCount(), 2);
  EXPECT_EQ(table.Cell(1, 0), "1");
  EXPECT_EQ(table.Cell(1, 1), "a");
  EXPECT_EQ(table.Cell(1, 3), "c");
  EXPECT_EQ(table.Object(1), 4);
  for (int i = 2; i <= 12; ++i) table.AddReportRow("t" + std::to_string(i), "", "", i == 7 ? -1 : 100 + i);
  ASSERT_EQ(table.RowCount(), 13);
  EXPECT_EQ(table.Cell(10, 0), "10");
  EXPECT_EQ(table.Cell(12, 0), "12");
  EXPECT_EQ(table.Cell(12, 1), "t12");
  EXPECT_EQ(table.Object(7), -1);
  EXPECT_EQ(table.Object(12), 112);
  // The header is not touched by rows and stays set by the header line alone.
  table.SetReportHeader("x", "y", "z");
  EXPECT_EQ(table.Cell(0, 0), Cp("№"));
  EXPECT_EQ(table.Cell(0, 2), "y");
}

// ---- The reply ---------------------------------------------------------------

TEST(ReportReply, LinesAndWhatTheyDo) {
  struct Case {
    const char* line;
    const char* call;  // empty: skipped
  };
  const Case cases[] = {
      {R"(VIEWHEADER T1="A" T2="B" T3="C")", "H|A|B|C"},
      {R"(viewheader T1="A" T2="B" T3="C")", "H|A|B|C"},  // the prefix test ignores case
      {R"(VIEWHEADER T1="A" T3="C")", ""},                // a key missing
      {R"(VIEW T1="a" T2="b" T3="c" OBJ=12)", "R|a|b|c|12"},
      {R"(view T1="a" T2="b" T3="c" OBJ=-1)", "R|a|b|c|-1"},
      {R"(VIEW T3="c" T1="a" OBJ=5 T2="b")", "R|a|b|c|5"},   // any order
      {R"(VIEW T1="a" T2="b" T3="c")", ""},                  // no OBJ
      {R"(VIEW T1="a" T2="b" OBJ=3)", ""},                   // no T3
      {R"(VIEW T1=a T2="b" T3="c" OBJ=3)", ""},              // T1 without quotes
      {R"(VIEWX T1="a" T2="b" T3="c" OBJ=3)", "R|a|b|c|3"},  // begins with VIEW
      {R"(XVIEW T1="a" T2="b" T3="c" OBJ=3)", ""},
      {R"(T1="a" T2="b" T3="c" OBJ=3)", ""},
      {"", ""},
      {"END", ""},
      {R"(VIEW T1="" T2="" T3="" OBJ=0)", "R||||0"},
      {R"(VIEW T1="неисправен" T2="b" T3="c" OBJ=2)", "R|неисправен|b|c|2"},
      {R"(VIEW T1="unterminated T2="b" T3="c" OBJ=2)", "R|unterminated T2=|b|c|2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    RecordingSink sink;
    FillReport({Cp(c.line)}, sink);
    if (*c.call == 0) {
      EXPECT_TRUE(sink.calls.empty());
    } else {
      ASSERT_EQ(sink.calls.size(), 1u);
      EXPECT_EQ(sink.calls[0], Cp(c.call));
    }
  }
}

TEST(ReportReply, TextsAreCutTo127Characters) {
  const std::string longText(300, 'x');
  TReportTable table;
  FillReport({"VIEW T1=\"" + longText + "\" T2=\"b\" T3=\"" + std::string(127, 'y') + "\" OBJ=1"}, table);
  EXPECT_EQ(table.Cell(1, 1), std::string(127, 'x'));
  EXPECT_EQ(table.Cell(1, 3), std::string(127, 'y'));
}

TEST(ReportReply, SampleFillsTheTableInOrder) {
  const TReportTable table = SampleTable();
  ASSERT_EQ(table.RowCount(), 4);
  EXPECT_EQ(table.Cell(0, 1), Cp("Лифт"));
  EXPECT_EQ(table.Cell(0, 3), Cp("Время"));
  EXPECT_EQ(table.Cell(2, 1), Cp("Датчик;двери"));
  EXPECT_EQ(table.Object(1), 3);
  EXPECT_EQ(table.Object(2), -1);
  EXPECT_EQ(table.Object(3), 7);
}

// ---- The counters and their requests ---------------------------------------

TEST(ReportCounters, EachCounterHasItsCaptionAndRequest) {
  struct Case {
    const char* name;
    const char* caption;
    const char* request;
  };
  const Case cases[] = {
      {"LiftB", "Неисправные лифты...", "MOUSEDOWN LIFTBREAK"},
      {"OhrAlr", "Охранные датчики...", "MOUSEDOWN OHRALR"},
      {"PuErr", "Неисправные переговорные устройства...", "MOUSEDOWN PUERR"},
  };
  for (const Case& c : cases) {
    const TReportCounter* counter = FindReportCounter(c.name);
    ASSERT_NE(counter, nullptr) << c.name;
    EXPECT_STREQ(counter->caption, c.caption);
    EXPECT_STREQ(counter->request, c.request);
  }
  EXPECT_EQ(FindReportCounter("liftb"), nullptr);  // component names match exactly
  EXPECT_EQ(FindReportCounter("Clk"), nullptr);
  EXPECT_EQ(FindReportCounter(""), nullptr);
  EXPECT_EQ(ReportCounters().size(), 3u);
}

// A server that answers every list request at once, as given.
TListRequest Answering(bool answered, std::vector<std::string> lines, std::vector<std::string>* sent = nullptr) {
  return [=](const std::string& request, TListAnswer answer) {
    if (sent) sent->push_back(request);
    answer(answered, lines);
  };
}

TEST(ReportCounters, RequestReportSendsTheCountersRequestAndFillsFromTheReply) {
  std::vector<std::string> sent;
  const TListRequest server = Answering(true, SampleReply(), &sent);
  for (const TReportCounter& counter : ReportCounters()) {
    TReportTable table;
    EXPECT_TRUE(RequestReport(counter, server, [&]() -> IReportSink* { return &table; }));
    EXPECT_EQ(sent.back(), counter.request);
    EXPECT_EQ(ExportReport(table, TExportFormat::Csv), DataFile("sample.csv"));
  }
  EXPECT_EQ(sent.size(), 3u);
}

TEST(ReportCounters, FailedOrEmptyAnswerLeavesTheReportEmpty) {
  const TReportCounter& counter = *FindReportCounter("OhrAlr");
  const auto report = [&](const TListRequest& request, TReportTable& table) {
    return RequestReport(counter, request, [&]() -> IReportSink* { return &table; });
  };
  {
    // No answer in time: the lines that came with it are not used.
    TReportTable table;
    EXPECT_TRUE(report(Answering(false, SampleReply()), table));
    EXPECT_EQ(ExportReport(table, TExportFormat::Csv), DataFile("empty.csv"));
  }
  {
    TReportTable table;
    EXPECT_FALSE(FillReportAnswer(true, {}, table));
    report(Answering(true, {}), table);
    EXPECT_EQ(table.RowCount(), 2);
  }
  {
    TReportTable table;
    EXPECT_FALSE(report(TListRequest(), table));
  }
  {
    // The window went before the answer: nothing is filled, nothing breaks.
    EXPECT_TRUE(RequestReport(counter, Answering(true, SampleReply()), [] { return nullptr; }));
  }
  {
    // An answer without a single VIEW line: the header and one empty row.
    TReportTable table;
    EXPECT_TRUE(FillReportAnswer(true, CpLines({R"(VIEWHEADER T1="Лифт" T2="Адрес" T3="Время")"}), table));
    EXPECT_EQ(table.RowCount(), 2);
    EXPECT_EQ(ExportReport(table, TExportFormat::Csv), Cp("№;Лифт;Адрес;Время\r\n;;;\r\n"));
  }
}

// ---- Export ------------------------------------------------------------------

TEST(ReportExport, OnlyDecimalNumbersGetADecimalComma) {
  struct Case {
    const char* cell;
    const char* exported;
  };
  const Case cases[] = {
      {"3.14", "3,14"},
      {"-0.5", "-0,5"},
      {"+12.25", "+12,25"},
      {".5", ",5"},
      {"ул. Лесная", "ул. Лесная"},  // text keeps its points
      {"12.05.2024", "12.05.2024"},  // a date is not a number
      {"5.", "5."},
      {"Конец.", "Конец."},
      {".", "."},
      {"1.5 м", "1.5 м"},
      {"a..", "a.."},
      {"1,5", "1,5"},
      {"", ""},
      {"-", "-"},
      {"no point", "no point"},
  };
  for (const Case& c : cases) EXPECT_EQ(CommaForFirstPoint(Cp(c.cell)), Cp(c.exported)) << c.cell;
}

TEST(ReportExport, BytesMatchTheExpectedFiles) {
  struct Case {
    bool sample;
    TExportFormat format;
    const char* file;
  };
  const Case cases[] = {
      {true, TExportFormat::Csv, "sample.csv"},
      {true, TExportFormat::Text, "sample.txt"},
      {false, TExportFormat::Csv, "empty.csv"},
      {false, TExportFormat::Text, "empty.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const TReportTable table = c.sample ? SampleTable() : TReportTable();
    const std::string expected = DataFile(c.file);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(ExportReport(table, c.format), expected);

    TempFolder folder;
    const std::string path = folder.file(c.file);
    ASSERT_TRUE(ExportReportFile(table, c.format, path));
    EXPECT_EQ(ReadWholeFile(path), expected);
  }
}

TEST(ReportExport, AnExistingFileIsReplacedWhole) {
  TempFolder folder;
  const std::string path = folder.file("report.csv");
  WriteWholeFile(path, std::string(5000, 'z'));
  ::chmod(path.c_str(), 0444);  // even a read-only one: it is deleted first
  ASSERT_TRUE(ExportReportFile(TReportTable(), TExportFormat::Csv, path));
  EXPECT_EQ(ReadWholeFile(path), DataFile("empty.csv"));
}

TEST(ReportExport, AFileThatCannotBeCreatedFails) {
  TempFolder folder;
  EXPECT_FALSE(ExportReportFile(SampleTable(), TExportFormat::Text, folder.file("missing/report.txt")));
  EXPECT_FALSE(ExportReportFile(SampleTable(), TExportFormat::Text, folder.path()));  // a folder
}

}  // namespace
}  // namespace vertamo
