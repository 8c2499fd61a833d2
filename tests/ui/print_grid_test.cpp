// Printing a report: the print dialog, the settings of section "Printer",
// the page-count question, "Слишком много столбцов", and a real job printed
// to a PDF file whose pages are rendered and looked at.
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include "journal/print_layout.h"
#include "journal/report.h"
#include "journal/ui/form_print.h"
#include "platform/cp1251.h"
#include "settings/fast_ini.h"
#include "support/pdf_pages.h"
#include "support/temp_folder.h"
#include "uikit/qt_text.h"

using vertamo::TFastIni;
using vertamo::TPrintGrid;
using vertamo::TReportTable;
using vertamo::Utf8ToCp1251;
using vertamo::testing::HasTool;
using vertamo::testing::PdfPages;
using vertamo::testing::TempFolder;
using vertamo::ui::FromCp1251;
using vertamo::ui::PrintGrid;
using vertamo::ui::TFormPrint;
using vertamo::ui::TPrintDialogs;
using vertamo::ui::TPrintOutcome;
using vertamo::ui::TPrintResult;

namespace {

std::string Cp(const char* utf8) { return Utf8ToCp1251(utf8); }

// A report of `rows` faulty lifts, some with long texts that wrap.
TPrintGrid SampleGrid(int rows) {
  TReportTable table;
  table.SetReportHeader(Cp("Лифт"), Cp("Адрес"), Cp("Состояние"));
  for (int i = 1; i <= rows; ++i) {
    const std::string place = i % 7 == 0
                                  ? Cp("ул. Садовая-Кудринская, д. 24/32, подъезд 3, кабина пассажирского "
                                       "лифта грузоподъёмностью 400 кг, машинное помещение на крыше")
                                  : Cp("ул. Ленина, д. ") + std::to_string(i);
    const std::string state = i % 5 == 0 ? Cp("Нет связи с лифтом более 15 мин.") : Cp("Неисправен");
    table.AddReportRow(Cp("Лифт №") + std::to_string(i), place, state, i);
  }
  TPrintGrid grid;
  for (int r = 0; r < table.RowCount(); ++r)
    grid.cells.push_back({table.Cell(r, 0), table.Cell(r, 1), table.Cell(r, 2), table.Cell(r, 3)});
  grid.colWidths = {64, 278, 166, 111};  // the report window at 620 pixels
  grid.referenceWidth = 620;
  return grid;
}

// PrintGrid with a dialog that answers at once: its outcome.
TPrintOutcome PrintNow(const QString& title, TPrintGrid grid, TFastIni* ini, QPrinter& printer,
                       const TPrintDialogs& dialogs) {
  TPrintOutcome outcome;
  bool done = false;
  vertamo::ui::PrintGrid(nullptr, title, std::move(grid), ini, printer, dialogs, [&](const TPrintOutcome& result) {
    outcome = result;
    done = true;
  });
  [&] { QVERIFY2(done, "the outcome comes once the dialog is answered"); }();
  return outcome;
}

void PdfPrinter(QPrinter& printer, const QString& file) {
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(file);
  printer.setPageSize(QPageSize(QPageSize::A4));
}

// Renders every page to PNG files "<prefix>-N.png" and returns their paths.
QStringList RenderPages(const QString& pdf, const QString& folder, const QString& prefix, int dpi) {
  QDir().mkpath(folder);
  QProcess::execute(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(dpi),
                                                 QStringLiteral("-png"), pdf, QDir(folder).filePath(prefix)});
  QStringList pages;
  for (const QString& name :
       QDir(folder).entryList({prefix + QStringLiteral("-*.png")}, QDir::Files, QDir::Name))
    pages << QDir(folder).filePath(name);
  return pages;
}

// Rows of the image where at least `share` of the pixels are not white.
QList<int> RuledRows(const QImage& image, double share) {
  QList<int> rows;
  for (int y = 0; y < image.height(); ++y) {
    int marked = 0;
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 250) ++marked;
    if (marked >= share * image.width()) rows << y;
  }
  return rows;
}

int CountReddish(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = image.pixel(x, y);
      if (qRed(c) > 150 && qRed(c) - qGreen(c) > 60 && qRed(c) - qBlue(c) > 60) ++n;
    }
  return n;
}

int CountDark(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 100) ++n;
  return n;
}

}  // namespace

class PrintGridTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    folder_ = std::make_unique<TempFolder>();
    ini_ = std::make_unique<TFastIni>(folder_->file("Vertamo.ini"));
  }
  void cleanup() {
    ini_.reset();
    folder_.reset();
  }

  void dialogControls() {
    TFormPrint dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("FormPrint"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Отчет"));
    QCOMPARE(dialog.GroupBox1->title(), QStringLiteral("Диспетчерская"));
    QCOMPARE(dialog.Edit1->parentWidget(), dialog.GroupBox1);

    dialog.PrintFont.font = QFont(QStringLiteral("Arial"), 9);
    QFont offered;
    dialog.ChooseFont = [&](const QFont& f, std::function<void(bool, const QFont&)> closed) {
      offered = f;
      QFont changed = f;
      changed.setPointSize(14);
      closed(false, changed);
    };
    dialog.ButtonFont->click();
    QCOMPARE(offered.pointSize(), 9);
    QCOMPARE(dialog.PrintFont.font.pointSize(), 9);
    dialog.ChooseFont = [](const QFont& f, std::function<void(bool, const QFont&)> closed) {
      QFont chosen = f;
      chosen.setPointSize(14);
      chosen.setBold(true);
      closed(true, chosen);
    };
    dialog.ButtonFont->click();
    QCOMPARE(dialog.PrintFont.font.pointSize(), 14);
    QVERIFY(dialog.PrintFont.font.bold());
  }

  // A sample report printed to a PDF file: the job, the question, the
  // settings, and what the rendered pages show.
  void printsASampleReportToPdf() {
    const QString pdf = QString::fromStdString(folder_->file("report.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    PdfPrinter(printer, pdf);
    QString shownOffice;
    TPrintDialogs dialogs;
    dialogs.run = [&](TFormPrint& d, QPrinter&, std::function<void(bool)> closed) {
      shownOffice = d.Edit1->text();
      d.Edit1->setText(QStringLiteral("Район:ОДС-5"));
      d.PrintFont.font = QFont(QStringLiteral("Arial"), 10);
      d.PrintFont.color = 0x0000FF;  // red, as stored; the page stays black
      closed(true);
    };
    dialogs.stop = [](const QString&, const QString&) { QFAIL("no stop expected"); };
    const TPrintOutcome outcome = PrintNow(QStringLiteral("Неисправные лифты..."), SampleGrid(70),
                                            ini_.get(), printer, dialogs);
    QCOMPARE(outcome.result, TPrintResult::Printed);
    QVERIFY(outcome.pages >= 2);
    QCOMPARE(shownOffice, QString());
    QVERIFY(QFileInfo(pdf).size() > 1000);

    // The settings of the job.
    QCOMPARE(ini_->ReadString("Printer", "Disp", ""), Cp("Район:ОДС-5"));
    QCOMPARE(ini_->ReadBool("Printer", "Orientation", false), true);  // landscape by default
    QCOMPARE(ini_->ReadInteger("Printer", "FontSize", 0), 10);
    QCOMPARE(ini_->ReadInteger("Printer", "FontColor", 0), 0x0000FF);
    QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Landscape);

    if (!HasTool("pdftoppm") || !HasTool("pdfinfo")) QSKIP("poppler-utils (pdftoppm, pdfinfo) not installed");
    QCOMPARE(PdfPages(pdf), outcome.pages);
    const QString shots =
        qEnvironmentVariable("VERTAMO_SHOTS_DIR", QString::fromStdString(folder_->file("shots")));
    const QStringList pages = RenderPages(pdf, shots, QStringLiteral("report"), 60);
    if (qEnvironmentVariableIsSet("VERTAMO_SHOTS_DIR")) {
      QFile::remove(QDir(shots).filePath(QStringLiteral("report.pdf")));
      QFile::copy(pdf, QDir(shots).filePath(QStringLiteral("report.pdf")));
    }
    QCOMPARE(pages.size(), outcome.pages);
    for (const QString& file : pages) {
      const QImage page = QImage(file).convertToFormat(QImage::Format_RGB32);
      QVERIFY(!page.isNull());
      QVERIFY2(page.width() > page.height(), "landscape");
      QVERIFY(CountDark(page) > 500);   // text was printed
      QCOMPARE(CountReddish(page), 0);  // in black, not in the font's colour
      // The two thick rules under the page header and the column titles
      // run across the whole page.
      QVERIFY(RuledRows(page, 0.9).size() >= 2);
    }
  }

  void portraitFromTheSettings() {
    ini_->WriteBool("Printer", "Orientation", false);
    ini_->WriteString("Printer", "Disp", Cp("C:\\ОДС\\Северная"));
    const QString pdf = QString::fromStdString(folder_->file("portrait.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    PdfPrinter(printer, pdf);
    QString shownOffice;
    QPageLayout::Orientation during = QPageLayout::Landscape;
    TPrintDialogs dialogs;
    dialogs.run = [&](TFormPrint& d, QPrinter&, std::function<void(bool)> closed) {
      shownOffice = d.Edit1->text();
      during = printer.pageLayout().orientation();
      closed(true);
    };
    const TPrintOutcome outcome = PrintNow(QString(), SampleGrid(3), ini_.get(), printer, dialogs);
    QCOMPARE(outcome.result, TPrintResult::Printed);
    QCOMPARE(outcome.pages, 1);
    QCOMPARE(shownOffice, QStringLiteral("C:\\ОДС\\Северная"));
    QCOMPARE(during, QPageLayout::Portrait);
    QCOMPARE(ini_->ReadBool("Printer", "Orientation", true), false);
  }

  void cancelStoresNothing() {
    const QString pdf = QString::fromStdString(folder_->file("cancel.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    PdfPrinter(printer, pdf);
    TPrintDialogs dialogs;
    dialogs.run = [](TFormPrint& d, QPrinter&, std::function<void(bool)> closed) {
      d.Edit1->setText(QStringLiteral("Новая"));
      closed(false);
    };
    const TPrintOutcome outcome =
        PrintNow(QStringLiteral("t"), SampleGrid(3), ini_.get(), printer, dialogs);
    QCOMPARE(outcome.result, TPrintResult::Cancelled);
    QVERIFY(!ini_->SectionExists("Printer"));
    QVERIFY(!QFileInfo::exists(pdf));
  }

  void tooManyColumns() {
    TPrintGrid grid;
    grid.cells = {std::vector<std::string>(21, "h"), std::vector<std::string>(21, "c")};
    grid.colWidths.assign(21, 30);
    grid.referenceWidth = 630;
    const QString pdf = QString::fromStdString(folder_->file("wide.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    PdfPrinter(printer, pdf);
    QStringList stops;
    TPrintDialogs dialogs;
    dialogs.run = [](TFormPrint&, QPrinter&, std::function<void(bool)> closed) { closed(true); };
    dialogs.stop = [&](const QString& text, const QString& caption) { stops << text << caption; };
    const TPrintOutcome outcome = PrintNow(QStringLiteral("t"), grid, ini_.get(), printer, dialogs);
    QCOMPARE(outcome.result, TPrintResult::TooManyColumns);
    QCOMPARE(stops,
             (QStringList{QStringLiteral("Слишком много столбцов"), QStringLiteral("Печать невозможна...")}));
    QVERIFY(ini_->ValueExists("Printer", "Orientation"));  // stored all the same
    QVERIFY(ini_->ValueExists("Printer", "FONT"));
    QVERIFY(!QFileInfo::exists(pdf));

    // Twenty columns print.
    grid.cells = {std::vector<std::string>(20, "h"), std::vector<std::string>(20, "c")};
    grid.colWidths.assign(20, 30);
    QCOMPARE(PrintNow(QStringLiteral("t"), grid, ini_.get(), printer, dialogs).result,
             TPrintResult::Printed);
  }

  void aPrinterThatCannotTakeTheJobIsReported() {
    QPrinter printer(QPrinter::HighResolution);
    PdfPrinter(printer, QString::fromStdString(folder_->file("no/such/folder/x.pdf")));
    QStringList stops;
    TPrintDialogs dialogs;
    dialogs.run = [](TFormPrint&, QPrinter&, std::function<void(bool)> closed) { closed(true); };
    dialogs.stop = [&](const QString& text, const QString& caption) { stops << text << caption; };
    const TPrintOutcome outcome =
        PrintNow(QStringLiteral("t"), SampleGrid(3), ini_.get(), printer, dialogs);
    QCOMPARE(outcome.result, TPrintResult::Failed);
    QCOMPARE(stops,
             (QStringList{QStringLiteral("Принтер недоступен"), QStringLiteral("Печать невозможна...")}));
  }

  // A row taller than a page: printed from the top of a fresh page and cut at
  // its bottom; the job ends.
  void rowTallerThanAPageEnds() {
    std::string words;
    for (int i = 0; i < 40; ++i) words += Cp("слово ");
    TPrintGrid grid;
    grid.cells = {{Cp("№"), "A", "B", "C"},
                  {"1", "a", "b", "c"},
                  {"2", words, words, words},
                  {"3", "a", "b", "c"},
                  {"4", "a", "b", "c"}};
    grid.colWidths = {64, 20, 20, 20};  // very narrow columns
    grid.referenceWidth = 620;
    const QString pdf = QString::fromStdString(folder_->file("tall.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    PdfPrinter(printer, pdf);
    TPrintDialogs dialogs;
    dialogs.run = [](TFormPrint& d, QPrinter&, std::function<void(bool)> closed) {
      d.PrintFont.font = QFont(QStringLiteral("Arial"), 28);
      closed(true);
    };
    const TPrintOutcome outcome =
        PrintNow(QStringLiteral("Высокая строка"), grid, ini_.get(), printer, dialogs);
    QCOMPARE(outcome.result, TPrintResult::Printed);
    QCOMPARE(outcome.pages, 3);  // row 1; the tall row 2, cut; rows 3 and 4
    if (!HasTool("pdfinfo")) QSKIP("poppler-utils not installed");
    QCOMPARE(PdfPages(pdf), 3);
    const QString shots =
        qEnvironmentVariable("VERTAMO_SHOTS_DIR", QString::fromStdString(folder_->file("shots")));
    QCOMPARE(RenderPages(pdf, shots, QStringLiteral("tall"), 40).size(), 3);
  }

 private:
  std::unique_ptr<TempFolder> folder_;
  std::unique_ptr<TFastIni> ini_;
};

QTEST_MAIN(PrintGridTest)
#include "print_grid_test.moc"
