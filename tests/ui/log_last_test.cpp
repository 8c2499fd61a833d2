// The operational journal window: rows, colours, settings and what it asks of
// the main window.
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "journal/ui/log_last.h"
#include "platform/cp1251.h"
#include "settings/fast_ini.h"
#include "ui/widget_shots.h"

using vertamo::TFastIni;
using vertamo::TLogEntry;
using vertamo::Utf8ToCp1251;
using vertamo::test::CountColor;
using vertamo::test::Rgb;
using vertamo::test::SaveShot;
using vertamo::ui::TLogGrid;
using vertamo::ui::TLogLast;
using vertamo::ui::TLogModel;

namespace {

TLogEntry Entry(int object, int color, int fontColor, const char* date, const char* time, const char* what,
                const char* where, const char* event, const char* note = "") {
  TLogEntry e;
  e.object = object;
  e.color = color;
  e.fontColor = fontColor;
  const char* texts[6] = {date, time, what, where, event, note};
  for (size_t i = 0; i < 6; ++i) e.texts[i] = Utf8ToCp1251(texts[i]);
  return e;
}

TLogEntry Numbered(int n) {
  const std::string s = std::to_string(n);
  TLogEntry e = Entry(n, 0x00FFFF, 0x000000, "01.02.24", "10:00:00", "Лифт", "Адрес", "Событие");
  e.texts[5] = "N" + s;
  return e;
}

// The journal's entries as a district would send them.
std::vector<TLogEntry> SampleEntries() {
  return {
      Entry(3, 0xC0FFC0, 0x000000, "12.03.24", "08:02:11", "Лифт 3 п.1", "ул. Садовая, 12", "Норма",
            "Восстановлен"),
      Entry(7, 0x8080FF, 0x000000, "12.03.24", "08:05:40", "Лифт 1 п.2", "пр. Мира, 45", "Неисправность",
            "Остановка между этажами"),
      Entry(12, 0x00FFFF, 0x000080, "12.03.24", "08:07:02", "ПУ 12", "ул. Лесная, 3", "Вызов диспетчера"),
      Entry(5, 0xFFC0C0, 0x000000, "12.03.24", "08:09:55", "Шлейф 2", "ул. Садовая, 14",
            "Открыта дверь шахты"),
      Entry(9, 0x000000, 0xFFFFFF, "12.03.24", "08:12:30", "Лифт 2 п.4", "пер. Тихий, 8", "Нет связи"),
      Entry(4, 0, 0, "12.03.24", "08:15:00", "Лифт 4 п.1", "ул. Садовая, 12", "Техобслуживание", "Бригада 2"),
      Entry(11, 0x80FFFF, 0x000000, "12.03.24", "08:17:21", "Лифт 1 п.1", "ул. Лесная, 5", "Вызов из кабины"),
  };
}

struct Window {
  QTemporaryDir dir;
  std::unique_ptr<TFastIni> ini;
  QPointer<TLogLast> log;
  explicit Window(const std::string& iniText = {}) {
    const std::string path = (dir.path() + "/Vertamo.ini").toStdString();
    if (!iniText.empty()) {
      QFile f(QString::fromStdString(path));
      f.open(QIODevice::WriteOnly);
      f.write(iniText.c_str());
    }
    ini = std::make_unique<TFastIni>(path);
    log = new TLogLast(ini.get());
  }
  ~Window() { delete log.data(); }
  TLogGrid* grid() const { return log->Grid(); }
  QImage Cells() const { return grid()->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
  QRect CellRect(int row, int column) const { return grid()->visualRect(grid()->Model().index(row, column)); }
  void Click(int row, int column = 2, Qt::MouseButton button = Qt::LeftButton) const {
    QTest::mouseClick(grid()->viewport(), button, {}, CellRect(row, column).center());
  }
};

QRgb Shade(QRgb c, int k) {
  return qRgb(std::max(qRed(c) - 3 * k, 0), std::max(qGreen(c) - 3 * k, 0), std::max(qBlue(c) - 3 * k, 0));
}

// Every pixel line of the cell's left edge follows the shade of `color`.
bool ShadedCell(const QImage& img, const QRect& cell, QRgb color) {
  for (int k = 0; k < cell.height(); ++k)
    if (img.pixel(cell.left(), cell.top() + k) != Shade(color, k)) return false;
  return true;
}

}  // namespace

class LogLastTest : public QObject {
  Q_OBJECT

 private slots:
  void designWithoutSettings() {
    TLogLast log(nullptr);
    QCOMPARE(log.objectName(), QStringLiteral("LogLast"));
    QCOMPARE(log.windowTitle(), QStringLiteral("Оперативный журнал"));
    QVERIFY(log.windowFlags() & Qt::Tool);
    QVERIFY(!(log.windowFlags() & Qt::WindowCloseButtonHint));
    QCOMPARE(log.size(), QSize(1053, 182));
    QCOMPARE(log.font().pixelSize(), 13);
    QVERIFY(log.findChild<QFrame*>(QStringLiteral("PanelLog")));
    QCOMPARE(log.Grid()->objectName(), QStringLiteral("StringGrid1"));
    QCOMPARE(log.Timer()->objectName(), QStringLiteral("Timer1"));
    QCOMPARE(log.Timer()->interval(), 1000);
    QVERIFY(log.Timer()->isActive());
    QCOMPARE(log.Grid()->Model().rowCount(), 100);
    QCOMPARE(log.Grid()->Model().columnCount(), 6);
    const QStringList headers{" Дата", " Время", " Объект", " Расположение", " Событие", " Примечание"};
    for (int c = 0; c < 6; ++c)
      QCOMPARE(log.Grid()->Model().headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), headers[c]);
    QCOMPARE(log.Grid()->rowHeight(0), 18);
    QCOMPARE(log.Grid()->horizontalHeader()->height(), 18);
    QCOMPARE(log.Grid()->CurrentRow(), 0);
    // The design check marks.
    QVERIFY(log.UseColor());
    QVERIFY(!log.ShowNew());
    QVERIFY(!log.ShowOnMap());
    QVERIFY(log.Header());
  }

  void contextMenuItems() {
    TLogLast log(nullptr);
    QStringList names;
    QStringList captions;
    for (QAction* a : log.PopupMenu()->actions()) {
      names << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
      captions << a->text();
    }
    QCOMPARE(names, (QStringList{"pmUseColor", "pmShowNew", "pmShowOnMap", "-", "pmHeader", "-", "pmSavePos",
                                 "pmClear"}));
    QCOMPARE(captions[0], QStringLiteral("  &Использовать цветовую раскраску"));
    QCOMPARE(captions[1], QStringLiteral("  П&оказывать новое сообщение в журнале"));
    QCOMPARE(captions[2], QStringLiteral("  Показывать объект на карте при просмотре журнала"));
    QCOMPARE(captions[4], QStringLiteral("  &Заголовок"));
    QCOMPARE(captions[6], QStringLiteral("  З&апомнить положение на экране"));  // lined up with the others
    QCOMPARE(captions[7], QStringLiteral("  &Очистить журнал"));
  }

  void entriesShiftAndTheHundredFirstPushesOut() {
    Window w;
    for (int n = 1; n <= 101; ++n) w.log->AddLogEntry(Numbered(n));
    QCOMPARE(w.log->Row(0).texts[5], QStringLiteral("N101"));
    QCOMPARE(w.log->Row(0).object, 101);
    QCOMPARE(w.log->Row(99).texts[5], QStringLiteral("N2"));
    QCOMPARE(w.log->Row(99).object, 2);
    for (int i = 0; i < 100; ++i) QCOMPARE(w.log->Row(i).object, 101 - i);
    QCOMPARE(w.grid()->Model().rowCount(), 100);
    // Texts arrive in code page 1251 and keep every letter.
    QCOMPARE(w.log->Row(0).texts[2], QStringLiteral("Лифт"));
    QCOMPARE(w.grid()->Model().index(0, 4).data().toString(), QStringLiteral("Событие"));
  }

  void entryKeepsItsNumbers() {
    Window w;
    w.log->AddLogEntry(Entry(42, 0x123456, 0x654321, "d", "t", "o", "l", "e", "n"));
    w.log->AddLogEntry(Entry(7, 1, 2, "d2", "t2", "o2", "l2", "e2", "n2"));
    QCOMPARE(w.log->Row(1).color, 0x123456);
    QCOMPARE(w.log->Row(1).fontColor, 0x654321);
    QCOMPARE(w.log->Row(1).object, 42);
    QCOMPARE(w.log->Row(1).texts[3], QStringLiteral("l"));
    QCOMPARE(w.log->Row(0).texts[0], QStringLiteral("d2"));
    QCOMPARE(w.log->Row(2).object, 0);  // empty rows hold zeros
    QVERIFY(w.log->Row(2).texts[0].isEmpty());
  }

  void selectionFollowsItsEntryUntilItDropsOff() {
    Window w;
    w.log->show();
    for (int n = 1; n <= 10; ++n) w.log->AddLogEntry(Numbered(n));
    QSignalSpy show(w.log, &TLogLast::ShowObjectOnMapRequested);
    QSignalSpy hide(w.log, &TLogLast::HideMapMarkerRequested);
    w.Click(3);  // entry 7
    QCOMPARE(show.count(), 1);
    QCOMPARE(show.at(0).at(0).toInt(), 7);
    QScrollBar* bar = w.grid()->verticalScrollBar();
    for (int n = 11; n <= 160; ++n) {
      const int top = bar->value();
      w.log->AddLogEntry(Numbered(n));
      const int row = 3 + (n - 10);
      if (row < 100) {
        QCOMPARE(w.grid()->SelectedRow(), row);
        QCOMPARE(w.log->Row(row).object, 7);
      } else {
        QCOMPARE(w.grid()->SelectedRow(), -1);
      }
      // The view stays at the newest entries; scrolled down, it keeps its entries.
      QCOMPARE(bar->value(), top == 0 ? 0 : std::min(top + 1, bar->maximum()));
      if (n == 40) bar->setValue(row - 3);  // the selected entry in view, newer ones above it
      if (n == 41) {
        const QImage img = w.Cells();
        QVERIFY(ShadedCell(img, w.CellRect(row, 3), Rgb(TLogGrid::kSelectedColor)));
        QVERIFY(!ShadedCell(img, w.CellRect(row - 1, 3), Rgb(TLogGrid::kSelectedColor)));
      }
    }
    // The map marker circled entry 7's object all along and went with it.
    QCOMPARE(show.count(), 1);
    QCOMPARE(hide.count(), 1);
  }

  void emptyRowsAreNeverSelected() {
    Window w;
    w.log->show();
    QCOMPARE(w.grid()->SelectedRow(), -1);
    w.Click(4);
    QCOMPARE(w.grid()->SelectedRow(), -1);
    w.log->AddLogEntry(Numbered(1));
    QCOMPARE(w.grid()->SelectedRow(), -1);
    QVERIFY(CountColor(w.Cells(), Rgb(TLogGrid::kSelectedColor)) == 0);
  }

  void showNewSelectsAndShowsTheNewEntry() {
    Window w;
    w.log->show();
    QSignalSpy show(w.log, &TLogLast::ShowObjectOnMapRequested);
    w.log->AddLogEntry(Numbered(1));
    QCOMPARE(show.count(), 0);
    w.log->findChild<QAction*>(QStringLiteral("pmShowNew"))->trigger();
    QVERIFY(w.log->ShowNew());
    w.log->AddLogEntry(Numbered(2));
    w.Click(1);  // away from the first row ...
    show.clear();
    w.log->AddLogEntry(Numbered(3));  // ... and back with the new entry
    QCOMPARE(w.grid()->CurrentRow(), 0);
    QCOMPARE(show.count(), 1);
    QCOMPARE(show.at(0).at(0).toInt(), 3);
  }

  void rowClickShowsTheObject() {
    Window w;  // empty settings: ShowOnMap reads as on
    w.log->show();
    QVERIFY(w.log->ShowOnMap());
    w.log->AddLogEntry(Numbered(10));
    w.log->AddLogEntry(Numbered(20));
    QSignalSpy show(w.log, &TLogLast::ShowObjectOnMapRequested);
    QSignalSpy hide(w.log, &TLogLast::HideMapMarkerRequested);
    w.Click(1);
    QCOMPARE(show.count(), 1);
    QCOMPARE(show.at(0).at(0).toInt(), 10);
    w.Click(1);  // the same row again shows it again
    QCOMPARE(show.count(), 2);
    QTest::keyClick(w.grid(), Qt::Key_Up);  // keys choose rows too
    QCOMPARE(show.count(), 3);
    QCOMPARE(show.at(2).at(0).toInt(), 20);
    QCOMPARE(hide.count(), 0);
    // An empty row hides the marker instead.
    w.Click(5);
    QCOMPARE(hide.count(), 1);
    QCOMPARE(show.count(), 3);
    // With pmShowOnMap off every click hides it.
    w.log->findChild<QAction*>(QStringLiteral("pmShowOnMap"))->trigger();
    w.Click(0);
    QCOMPARE(hide.count(), 2);
    QCOMPARE(show.count(), 3);
  }

  void rightAndMiddleButtonOpenTheMenu() {
    Window w;
    w.log->show();
    w.log->AddLogEntry(Numbered(1));
    QSignalSpy hide(w.log, &TLogLast::HideMapMarkerRequested);
    w.Click(4, 2, Qt::RightButton);
    QTRY_VERIFY(w.log->PopupMenu()->isVisible());
    QCOMPARE(w.grid()->CurrentRow(), 0);  // the menu button does not select
    w.log->PopupMenu()->hide();
    w.Click(4, 2, Qt::MiddleButton);
    QTRY_VERIFY(w.log->PopupMenu()->isVisible());
    w.log->PopupMenu()->hide();
    QCOMPARE(hide.count(), 0);
  }

  void colours() {
    Window w;
    w.log->resize(900, 400);
    w.log->show();
    // Oldest first: row 0 ends up the last one added.
    w.log->AddLogEntry(Entry(1, 0x000000, 0xFFFFFF, "d", "t", "white on black", "", ""));  // row 4
    w.log->AddLogEntry(Entry(2, 0, 0, "d", "t", "no colours", "", ""));                    // row 3
    w.log->AddLogEntry(Entry(3, 0x0000FF, 0xFFFFFF, "d", "t", "white on red", "", ""));    // row 2
    w.log->AddLogEntry(Entry(4, 0x00FFFF, 0xFF0000, "d", "t", "blue on yellow", "", ""));  // row 1
    w.log->AddLogEntry(Entry(5, 0x00FF00, 0x000000, "d", "t", "selected", "", ""));        // row 0
    w.grid()->SelectRow(0);
    QCOMPARE(w.grid()->SelectedRow(), 0);
    QImage img = w.Cells();
    SaveShot(img, "journal_colours");
    const QRect sel = w.CellRect(0, 3);
    QVERIFY(sel.height() >= 17);
    QVERIFY(ShadedCell(img, sel, Rgb(0xA0561E)));                        // selected: dark blue ...
    QVERIFY(CountColor(img.copy(w.CellRect(0, 2)), Rgb(0xFFFFFF)) > 0);  // ... with white text
    QVERIFY(ShadedCell(img, w.CellRect(1, 3), Rgb(0x00FFFF)));
    QVERIFY(CountColor(img.copy(w.CellRect(1, 2)), Rgb(0xFF0000)) > 0);
    QVERIFY(ShadedCell(img, w.CellRect(2, 5), Rgb(0x0000FF)));
    QVERIFY(ShadedCell(img, w.CellRect(3, 3), Rgb(0xFFFFFF)));  // both colours 0: black on white
    QVERIFY(CountColor(img.copy(w.CellRect(3, 2)), Rgb(0x000000)) > 0);
    QVERIFY(ShadedCell(img, w.CellRect(4, 3), Rgb(0x000000)));  // black stays black under white text
    QVERIFY(CountColor(img.copy(w.CellRect(4, 2)), Rgb(0xFFFFFF)) > 0);
    QVERIFY(ShadedCell(img, w.CellRect(8, 1), Rgb(0xFFFFFF)));  // empty row
    // The header row: white shade, black text.
    const QImage header =
        w.grid()->horizontalHeader()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int k = 0; k < 17; ++k) QCOMPARE(header.pixel(2, k), Shade(Rgb(0xFFFFFF), k));
    QVERIFY(CountColor(header, qRgb(0, 0, 0)) > 0);
    // Plain colours: silver cells, flat.
    w.log->findChild<QAction*>(QStringLiteral("pmUseColor"))->trigger();
    QVERIFY(!w.log->UseColor());
    img = w.Cells();
    SaveShot(img, "journal_plain");
    const QRect plain = w.CellRect(2, 5);
    QCOMPARE(img.pixel(plain.left(), plain.top()), Rgb(0xC0C0C0));
    QCOMPARE(img.pixel(plain.left(), plain.bottom()), Rgb(0xC0C0C0));
    const QImage plainHeader =
        w.grid()->horizontalHeader()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(plainHeader.pixel(2, 2), Rgb(0xE2E2E2));
  }

  void textPlacement() {
    Window w;
    w.log->show();
    w.log->AddLogEntry(Entry(1, 0xFFFFFF, 0x000000, "12.03.24", "08:02:11", "Лифт", "", ""));
    w.grid()->SelectRow(5);
    const QImage img = w.Cells();
    // Columns 0 and 1 centred, column 2 from 4 pixels in.
    auto inkColumns = [&](const QRect& cell, int& first, int& last) {
      first = -1;
      last = -1;
      for (int x = cell.left(); x <= cell.right(); ++x)
        for (int y = cell.top(); y <= cell.bottom(); ++y)
          if (img.pixel(x, y) != Shade(qRgb(255, 255, 255), y - cell.top())) {
            if (first < 0) first = x;
            last = x;
          }
    };
    int first, last;
    const QRect date = w.CellRect(0, 0);
    inkColumns(date, first, last);
    QVERIFY(first > date.left() + 4);
    QVERIFY(qAbs((first - date.left()) - (date.right() - last)) <= 3);
    const QRect object = w.CellRect(0, 2);
    inkColumns(object, first, last);
    QVERIFY(first >= object.left() + 4 && first <= object.left() + 6);
  }

  void clearEmptiesAndSelectsNothing() {
    Window w;
    w.log->show();
    for (int n = 1; n <= 3; ++n) w.log->AddLogEntry(Numbered(n));
    w.Click(2);
    w.log->findChild<QAction*>(QStringLiteral("pmClear"))->trigger();
    for (int i = 0; i < 100; ++i) {
      QCOMPARE(w.log->Row(i).object, 0);
      QCOMPARE(w.log->Row(i).color, 0);
      QVERIFY(w.log->Row(i).texts[0].isEmpty());
    }
    QCOMPARE(w.grid()->CurrentRow(), 0);
    QCOMPARE(w.grid()->SelectedRow(), -1);
    w.log->AddLogEntry(Numbered(9));
    QCOMPARE(w.grid()->SelectedRow(), -1);
    QCOMPARE(w.log->Row(0).object, 9);
    QCOMPARE(w.log->Row(1).object, 0);
  }

  void settingsSurviveARestart() {
    QTemporaryDir dir;
    const std::string path = (dir.path() + "/Vertamo.ini").toStdString();
    {
      TFastIni ini(path);
      TLogLast log(&ini);
      log.show();
      log.findChild<QAction*>(QStringLiteral("pmUseColor"))->trigger();   // off
      log.findChild<QAction*>(QStringLiteral("pmShowNew"))->trigger();    // on
      log.findChild<QAction*>(QStringLiteral("pmShowOnMap"))->trigger();  // off (read as on)
      log.findChild<QAction*>(QStringLiteral("pmHeader"))->trigger();     // off
      QVERIFY(!ini.Modified());  // nothing is written before pmSavePos
      log.Grid()->setColumnWidth(2, 321);
      log.findChild<QAction*>(QStringLiteral("pmSavePos"))->trigger();
      QVERIFY(ini.Modified());
      QCOMPARE(ini.ReadString("LogLast", "UseColor", ""), std::string("0"));
      QCOMPARE(ini.ReadString("LogLast", "ShowNew", ""), std::string("1"));
      QCOMPARE(ini.ReadString("LogLast", "ShowOnMap", ""), std::string("0"));
      QCOMPARE(ini.ReadString("LogLast", "Header", ""), std::string("0"));
      QCOMPARE(ini.ReadInteger("LogLast", "ColWidths2", 0), 321);
      for (const char* key : {"Left", "Top", "Width", "Height", "ColWidths0", "ColWidths5"})
        QVERIFY2(ini.ValueExists("LogLast", key), key);
    }
    TFastIni ini(path);
    TLogLast log(&ini);
    QVERIFY(!log.UseColor());
    QVERIFY(!log.Grid()->UseColor());
    QVERIFY(log.ShowNew());
    QVERIFY(!log.ShowOnMap());
    QVERIFY(!log.Header());
    QVERIFY(log.windowFlags() & Qt::FramelessWindowHint);
  }

  void headerSwitchesTheCaptionBar() {
    TLogLast log(nullptr);
    log.show();
    QAction* header = log.findChild<QAction*>(QStringLiteral("pmHeader"));
    header->trigger();
    QVERIFY(log.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(log.isVisible());
    header->trigger();
    QVERIFY(!(log.windowFlags() & Qt::FramelessWindowHint));
    QVERIFY(log.windowFlags() & Qt::WindowTitleHint);
    QVERIFY(log.isVisible());
  }

  void shareWidthsOnEveryResize() {
    Window w;
    w.log->show();
    QCoreApplication::processEvents();
    const int panel = w.log->findChild<QFrame*>(QStringLiteral("PanelLog"))->contentsRect().width();
    const int shares[6] = {7, 7, 22, 22, 20, 20};
    for (int c = 0; c < 6; ++c) QCOMPARE(w.grid()->columnWidth(c), panel * shares[c] / 100);
    w.log->resize(600, 300);
    QCoreApplication::processEvents();
    const int narrow = w.log->findChild<QFrame*>(QStringLiteral("PanelLog"))->contentsRect().width();
    QCOMPARE(w.grid()->columnWidth(2), narrow * 22 / 100);
    // Never narrower than 200 pixels.
    w.log->resize(120, 300);
    QCoreApplication::processEvents();
    QCOMPARE(w.log->width(), 200);
  }

  void savedWidthsAppliedOnceAfterStart() {
    Window w(
        "[LogLast]\r\nColWidths0=50\r\nColWidths1=60\r\nColWidths2=70\r\nColWidths4=90\r\nColWidths5="
        "100\r\n");
    w.log->show();
    QTRY_COMPARE(w.grid()->columnWidth(0), 50);
    QCOMPARE(w.grid()->columnWidth(1), 60);
    QCOMPARE(w.grid()->columnWidth(2), 70);
    QCOMPARE(w.grid()->columnWidth(4), 90);
    QCOMPARE(w.grid()->columnWidth(5), 100);
    const int panel = w.log->findChild<QFrame*>(QStringLiteral("PanelLog"))->contentsRect().width();
    QCOMPARE(w.grid()->columnWidth(3), panel * 22 / 100);  // never saved: the share stays
    // The next resize brings the shares back, and the saved widths do not return.
    w.log->resize(w.log->width() - 100, w.log->height());
    QCoreApplication::processEvents();
    const int now = w.log->findChild<QFrame*>(QStringLiteral("PanelLog"))->contentsRect().width();
    QCOMPARE(w.grid()->columnWidth(0), now * 7 / 100);
    w.log->hide();
    w.log->show();
    QCoreApplication::processEvents();
    QCOMPARE(w.grid()->columnWidth(0), now * 7 / 100);
  }

  void savedPositionBeyondTheScreenComesBack() {
    const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
    const std::string ini = "[LogLast]\r\nLeft=" + std::to_string(desktop.right() + 500) +
                            "\r\nTop=" + std::to_string(desktop.bottom() + 1) +
                            "\r\nWidth=400\r\nHeight=150\r\n";
    Window w(ini);
    QCOMPARE(w.log->frameGeometry().right(), desktop.right());
    QCOMPARE(w.log->frameGeometry().bottom(), desktop.bottom());
  }

  void f5ReconnectsAndEnterActivatesTheMainWindow() {
    Window w;
    w.log->show();
    QList<QString> calls;
    connect(w.log, &TLogLast::ReconnectRequested, [&] { calls << QStringLiteral("Reconnect"); });
    connect(w.log, &TLogLast::ActivateMainWindowRequested, [&] { calls << QStringLiteral("Activate"); });
    QTest::keyClick(w.grid(), Qt::Key_F5);
    QCOMPARE(calls, (QList<QString>{"Reconnect", "Activate"}));
    calls.clear();
    QTest::keyClick(w.grid(), Qt::Key_Return);
    QTest::keyClick(w.grid(), Qt::Key_Enter);
    QTest::keyClick(w.log, Qt::Key_Return);  // anywhere in the window
    QCOMPARE(calls, (QList<QString>{"Activate", "Activate", "Activate"}));
    calls.clear();
    QTest::keyClick(w.grid(), Qt::Key_Down);
    QTest::keyClick(w.grid(), Qt::Key_A);
    QVERIFY(calls.isEmpty());
  }

  void idleReturnAfterAMinute() {
    Window w;
    w.log->show();
    w.log->activateWindow();
    if (!QTest::qWaitForWindowActive(w.log)) QSKIP("this platform does not activate windows");
    QSignalSpy activate(w.log, &TLogLast::ActivateMainWindowRequested);
    for (int i = 0; i < 60; ++i) w.log->TimerTick();
    QCOMPARE(w.log->IdleCount(), 60);
    QCOMPARE(activate.count(), 0);
    QTest::keyClick(w.grid(), Qt::Key_Down);  // a key starts the minute again
    QCOMPARE(w.log->IdleCount(), 0);
    for (int i = 0; i < 60; ++i) w.log->TimerTick();
    QCOMPARE(activate.count(), 0);
    w.log->TimerTick();
    QCOMPARE(activate.count(), 1);
    // Not the active window: the count starts again.
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    w.log->TimerTick();
    QCOMPARE(w.log->IdleCount(), 0);
  }

  void closingOnlyHidesTheWindow() {
    Window w;
    w.log->show();
    w.log->AddLogEntry(SampleEntries().front());
    QVERIFY(w.log->close());
    QCoreApplication::processEvents();
    QVERIFY(!w.log->isVisible());
    w.log->show();  // "Вид → Оперативный журнал"
    QCOMPARE(w.log->Row(0).object, SampleEntries().front().object);
  }

  // A district's journal: newest first, every row in its entry's colours
  // (none at all: white), the selected row blue.
  void aDistrictsJournalAsShown() {
    Window w;
    w.log->resize(1053, 300);
    w.log->show();
    const std::vector<TLogEntry> entries = SampleEntries();
    for (const TLogEntry& e : entries) w.log->AddLogEntry(e);
    w.grid()->SelectRow(0);
    QCoreApplication::processEvents();
    SaveShot(w.log->grab().toImage(), "journal_window");
    const QImage img = w.Cells();
    QVERIFY(ShadedCell(img, w.CellRect(0, 3), Rgb(TLogGrid::kSelectedColor)));
    for (int row = 0; row < static_cast<int>(entries.size()); ++row) {
      const TLogEntry& e = entries[entries.size() - 1 - static_cast<size_t>(row)];
      QCOMPARE(w.log->Row(row).object, e.object);
      QCOMPARE(w.grid()->Model().index(row, 4).data().toString(),
               QString::fromStdString(vertamo::Cp1251ToUtf8(e.texts[4])));
      const int background = e.color == 0 && e.fontColor == 0 ? 0xFFFFFF : e.color;
      if (row > 0)
        QVERIFY2(ShadedCell(img, w.CellRect(row, 3), Rgb(background)), qPrintable(QString::number(row)));
    }
  }
};

QTEST_MAIN(LogLastTest)
#include "log_last_test.moc"
