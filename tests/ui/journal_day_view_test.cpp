// The journal's day window: the days kept, the search, the export of what it
// shows, and a day file with lines the journal did not write.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <filesystem>

#include "journal/ui/journal_day_view.h"
#include "platform/cp1251.h"
#include "settings/fast_ini.h"
#include "support/temp_folder.h"
#include "ui/widget_shots.h"

using namespace vertamo;
using namespace vertamo::ui;
using vertamo::testing::ReadWholeFile;
using vertamo::testing::TempFolder;
using vertamo::testing::WriteWholeFile;

namespace {

std::tm Day(int mday, int hour) {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = mday;
  t.tm_hour = hour;
  return t;
}

TLogEntry Event(const char* object, const char* event, const char* note) {
  TLogEntry e;
  const char* texts[6] = {"07.12.2026", "08:00:00", object, "ул. Лесная, 3", event, note};
  for (size_t i = 0; i < 6; ++i) e.texts[i] = Utf8ToCp1251(texts[i]);
  return e;
}

QString Cell(TJournalDayView& view, int row, int column) {
  return view.StringGrid1->model()->index(row, column).data().toString();
}

}  // namespace

class JournalDayViewTest : public QObject {
  Q_OBJECT

 private slots:
  void showsTheDaySearchesAndExportsWhatItShows() {
    TempFolder dir;
    std::tm now = Day(7, 9);
    TJournalFile files(dir.path(), [&] { return now; });
    now = Day(6, 23);
    QVERIFY(files.Append(Event("Лифт 9 п.1", "Норма", "вчера")));
    now = Day(7, 9);
    QVERIFY(files.Append(Event("Лифт 1 п.2", "Неисправность", "Остановка 1.5 м")));
    QVERIFY(files.Append(Event("ПУ 12", "Вызов диспетчера", "")));
    QVERIFY(files.Append(Event("Лифт 1 п.2", "Норма", "Восстановлен")));
    // A line the journal did not write, among them.
    WriteWholeFile(files.TodayPath(), ReadWholeFile(files.TodayPath()) + "edited by hand\r\n");

    TFastIni ini(dir.file("Vertamo.ini"));
    QPointer<TJournalDayView> view = new TJournalDayView(files, &ini);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
    QCOMPARE(view->windowTitle(), QStringLiteral("Журнал за 07.12.2026"));
    QCOMPARE(view->ComboBoxDay->count(), 2);
    QCOMPARE(view->ComboBoxDay->currentText(), QStringLiteral("07.12.2026"));
    QCOMPARE(view->ComboBoxDay->itemText(1), QStringLiteral("06.12.2026"));
    QCOMPARE(view->StringGrid1->model()->rowCount(), 3);
    QCOMPARE(Cell(*view, 0, 5), QStringLiteral("Норма"));  // the newest on top
    QCOMPARE(Cell(*view, 0, 0), QStringLiteral("07.12 09:00:00"));
    QVERIFY(view->StringGrid1->editTriggers() == QAbstractItemView::NoEditTriggers);
    vertamo::test::SaveShot(view->grab().toImage(), "journal_day_view");

    // The search: any column, letter case aside.
    view->EditSearch->setText(QStringLiteral("лифт 1"));
    QCOMPARE(view->StringGrid1->model()->rowCount(), 2);
    QCOMPARE(view->LabelCount->text(), QStringLiteral("Событий: 2 из 3"));

    // The export: what is shown, under the header.
    const QString path = QString::fromStdString(dir.file("day.csv"));
    QStringList asked;
    view->Dialogs.chooseExportFile = [&](TExportFormat, std::function<void(const QString&)> chosen) { chosen(path); };
    view->Dialogs.askOpen = [&](const QString& text, std::function<void(bool)> answered) {
      asked << text;
      answered(false);
    };
    view->Export(TExportFormat::Csv);
    QCOMPARE(asked.size(), 1);
    QCOMPARE(QString::fromStdString(Cp1251ToUtf8(ReadWholeFile(path.toStdString()))),
             QStringLiteral(" Получено; Дата; Время; Объект; Расположение; Событие; Примечание\r\n"
                            "07.12 09:00:00;07.12.2026;08:00:00;Лифт 1 п.2;ул. Лесная, 3;Норма;Восстановлен\r\n"
                            "07.12 09:00:00;07.12.2026;08:00:00;Лифт 1 п.2;ул. Лесная, 3;Неисправность;"
                            "Остановка 1.5 м\r\n"));
    QVERIFY2(view->isVisible(), "the day stays open after an export");

    // Another day kept, chosen from the list; the search stays.
    view->ComboBoxDay->setCurrentIndex(1);
    emit view->ComboBoxDay->activated(1);
    QCOMPARE(view->Day(), std::string("2026-12-06"));
    QCOMPARE(view->StringGrid1->model()->rowCount(), 0);
    view->Search(QString());
    QCOMPARE(view->StringGrid1->model()->rowCount(), 1);
    view->close();
    QTRY_VERIFY(view.isNull());
    QVERIFY(ini.ValueExists("FormJournalDay", "Left"));
  }

  void aDayReachesTheTableInOnePiece() {
    // Filled cell by cell under the search, a busy day held the workstation
    // for seconds: the search looked at the whole table again for every cell.
    TempFolder dir;
    TJournalFile files(dir.path(), [] { return Day(7, 9); });
    for (int n = 0; n < 50; ++n) QVERIFY(files.Append(Event("Лифт", "Норма", "")));
    TJournalDayView view(files, nullptr);
    QAbstractItemModel* shown = view.StringGrid1->model();
    QSignalSpy cells(shown, &QAbstractItemModel::dataChanged), layouts(shown, &QAbstractItemModel::layoutChanged),
        rows(shown, &QAbstractItemModel::rowsInserted), resets(shown, &QAbstractItemModel::modelReset);
    view.Reload();
    const qsizetype told = cells.count() + layouts.count() + rows.count() + resets.count();
    QCOMPARE(shown->rowCount(), 50);
    QVERIFY2(told <= 2, qPrintable(QString::number(told)));
  }

  void aDayWithoutAFileIsEmpty() {
    TempFolder dir;
    TJournalFile files(dir.path(), [] { return Day(7, 9); });
    TJournalDayView view(files, nullptr);
    QCOMPARE(view.StringGrid1->model()->rowCount(), 0);
    QCOMPARE(view.ComboBoxDay->count(), 1);
    QCOMPARE(view.LabelCount->text(), QStringLiteral("Событий: 0"));
    QVERIFY(!std::filesystem::exists(dir.file("Journal")));
  }
};

QTEST_MAIN(JournalDayViewTest)
#include "journal_day_view_test.moc"
