// "Сводка за день": the heading and totals of the day shown, the days to
// choose from, a bar of the busiest objects naming its object, and the sheet
// exported as PDF and PNG with its heading.
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QHorizontalBarSeries>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include "journal/journal_file.h"
#include "platform/cp1251.h"
#include "summary/ui/form_day_summary.h"
#include "support/pdf_pages.h"
#include "support/temp_folder.h"

using namespace vertamo;
using namespace vertamo::ui;
using vertamo::testing::TempFolder;

namespace {

std::tm Day(int mday, int hour) {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = mday;
  t.tm_hour = hour;
  return t;
}

TLogEntry Event(int object, const char* name) {
  TLogEntry e;
  e.object = object;
  e.color = 0x0000FF;
  const char* texts[6] = {"08.12.2026", "08:00:00", name, "ул. Лесная, 3", "Неисправность", ""};
  for (size_t i = 0; i < 6; ++i) e.texts[i] = Utf8ToCp1251(texts[i]);
  return e;
}

}  // namespace

class DaySummaryTest : public QObject {
  Q_OBJECT

 private slots:
  void showsTheDayAndExportsItUnderItsHeading() {
    TempFolder dir;
    std::tm now = Day(7, 10);
    TJournalFile files(dir.path(), [&] { return now; });
    QVERIFY(files.Append(Event(1, "Лифт 1")));
    now = Day(8, 9);
    for (int n = 0; n < 3; ++n) QVERIFY(files.Append(Event(5, "Лифт 5")));
    QVERIFY(files.Append(Event(2, "Лифт 2")));

    auto* view = new TFormDaySummary(files, dir.path(), QStringLiteral("Центральная"), nullptr);
    view->resize(1000, 700);
    view->show();
    QVERIFY(view->LabelHeading->text().startsWith(QStringLiteral("Сводка за день 08.12.2026, сервер Центральная")));
    QVERIFY(view->LabelTotals->text().startsWith(QStringLiteral("Событий: 4.")));
    QCOMPARE(view->ComboBoxDay->count(), 2);
    QCOMPARE(view->ComboBoxDay->currentText(), QStringLiteral("08.12.2026"));

    // The busiest object's bar (drawn at the top, the last of its set) names it.
    QSignalSpy shown(view, &TFormDaySummary::ShowObjectOnMapRequested);
    QBarSet* bars = nullptr;
    for (QChartView* chartView : view->findChildren<QChartView*>())
      if (chartView->chart()->title() == QStringLiteral("Больше всего событий"))
        bars = static_cast<QHorizontalBarSeries*>(chartView->chart()->series().at(0))->barSets().at(0);
    QVERIFY(bars);
    emit bars->clicked(bars->count() - 1);
    QCOMPARE(shown.count(), 1);
    QCOMPARE(shown.at(0).at(0).toInt(), 5);

    const QString png = QString::fromStdString(dir.file("day.png"));
    QVERIFY(view->ExportPng(png));
    QCOMPARE(QImage(png).size(), view->Sheet->size() * view->Sheet->devicePixelRatio());
    const QString pdf = QString::fromStdString(dir.file("day.pdf"));
    QVERIFY(view->ExportPdf(pdf));
    QCOMPARE(vertamo::testing::PdfPages(pdf), 1);
    if (vertamo::testing::HasTool("pdftotext")) {
      QProcess text;
      text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
      QVERIFY(text.waitForFinished(30000));
      QVERIFY(QString::fromUtf8(text.readAllStandardOutput()).contains(QStringLiteral("Сводка за день 08.12.2026")));
    }

    // The day before, chosen: its one event.
    view->ShowDay("2026-12-07");
    QVERIFY(view->LabelTotals->text().startsWith(QStringLiteral("Событий: 1.")));
    delete view;
  }
};

QTEST_MAIN(DaySummaryTest)
#include "day_summary_test.moc"
