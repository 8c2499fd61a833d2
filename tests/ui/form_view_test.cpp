// The report window: filled from a counter's report, its painting, the row
// height and resize rules, the context menu and keys, export, "Показывать на
// карте", and its settings.
#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

#include "journal/report.h"
#include "journal/ui/form_view.h"
#include "platform/cp1251.h"
#include "settings/fast_ini.h"
#include "uikit/qt_text.h"
#include "support/temp_folder.h"
#include "ui/widget_shots.h"

using vertamo::TExportFormat;
using vertamo::TFastIni;
using vertamo::TListRequest;
using vertamo::Utf8ToCp1251;
using vertamo::testing::ReadWholeFile;
using vertamo::testing::TempFolder;
using vertamo::ui::OpenCounterReport;
using vertamo::ui::TFormView;
using vertamo::ui::TReportMapLink;

namespace {

std::string Cp(const char* utf8) { return Utf8ToCp1251(utf8); }

// A server that answers every report request with the same recorded reply.
struct RecordedServer {
  std::vector<std::string> requests;
  std::vector<std::string> reply;
  bool answer = true;
  TListRequest Request() {
    return [this](const std::string& request, vertamo::TListAnswer done) {
      requests.push_back(request);
      done(answer, answer ? reply : std::vector<std::string>{});
    };
  }
};

std::vector<std::string> SampleReply() {
  return {Cp(R"(VIEWHEADER T1="Лифт" T2="Адрес" T3="Время")"),
          Cp(R"(VIEW T1="Лифт 1.2" T2="ул. Ленина, 5" T3="12.05.2024" OBJ=3)"),
          Cp(R"(VIEW T1="Датчик;двери" T2="пр. Мира." T3="3.14" OBJ=-1)"),
          Cp(R"(VIEW T1="Конец." T2="" T3="." OBJ=7)"), "END-not-removed-by-the-test"};
}

struct MapLinkRecorder {
  std::vector<int> shown;
  int hidden = 0;
  TReportMapLink Link() {
    return {[this](int object) { shown.push_back(object); }, [this] { ++hidden; }};
  }
};

void ClickRow(TFormView& view, int gridRow) {
  QTableView* grid = view.StringGrid1;
  const QRect cell = grid->visualRect(grid->model()->index(gridRow, 1));
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

}  // namespace

class FormViewTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    folder_ = std::make_unique<TempFolder>();
    ini_ = std::make_unique<TFastIni>(folder_->file("Vertamo.ini"));
    server_.requests.clear();
    server_.reply = SampleReply();
    server_.answer = true;
  }
  void cleanup() {
    delete view_.data();
    ini_.reset();
    folder_.reset();
  }

  void counterOpensItsReport() {
    MapLinkRecorder map;
    TFormView* view = OpenCounterReport(view_, "LiftB", nullptr, ini_.get(), server_.Request(), map.Link());
    QVERIFY(view != nullptr);
    QCOMPARE(view_.data(), view);
    QVERIFY(view->isVisible());
    QCOMPARE(view->windowTitle(), QStringLiteral("Неисправные лифты..."));
    QCOMPARE(server_.requests, std::vector<std::string>{"MOUSEDOWN LIFTBREAK"});
    QCOMPARE(view->objectName(), QStringLiteral("FormView"));

    const auto* model = view->StringGrid1->model();
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(model->columnCount(), 4);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("№"));
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Лифт"));
    QCOMPARE(model->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Время"));
    QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("1"));
    QCOMPARE(model->index(2, 0).data().toString(), QStringLiteral("3"));
    QCOMPARE(model->index(0, 2).data().toString(), QStringLiteral("ул. Ленина, 5"));
    QCOMPARE(view->Table().Object(1), 3);
    QCOMPARE(view->Table().Object(2), -1);
    QCOMPARE(view->Table().Object(3), 7);
  }

  void aRefreshReplacesTheTableInTheSameWindow() {
    MapLinkRecorder map;
    QPointer<TFormView> view = OpenCounterReport(view_, "LiftB", nullptr, ini_.get(), server_.Request(),
                                                 map.Link(), QStringLiteral("Центральная (10.0.0.5:9900)"));
    QCOMPARE(view->StringGrid1->model()->rowCount(), 3);
    const QRect place = view->geometry();
    server_.reply = {Cp(R"(VIEWHEADER T1="Лифт" T2="Адрес" T3="Время")"), Cp(R"(VIEW T1="Лифт 9" T2="ул. Лесная, 12" T3="06:10" OBJ=9)")};
    view->Refresh();
    QCOMPARE(server_.requests, (std::vector<std::string>{"MOUSEDOWN LIFTBREAK", "MOUSEDOWN LIFTBREAK"}));
    QCOMPARE(view_.data(), view.data());
    QCOMPARE(view->StringGrid1->model()->rowCount(), 1);
    QCOMPARE(view->Table().Object(1), 9);
    QCOMPARE(view->geometry(), place);
    QVERIFY2(view->Heading().startsWith(QStringLiteral("Сервер: Центральная (10.0.0.5:9900). Составлен: ")),
             qPrintable(view->Heading()));
    QCOMPARE(view->PrintData().heading, vertamo::ui::ToCp1251(view->Heading()));
  }

  void anotherCounterReplacesTheOpenReport() {
    MapLinkRecorder map;
    QPointer<TFormView> first =
        OpenCounterReport(view_, "LiftB", nullptr, ini_.get(), server_.Request(), map.Link());
    QVERIFY(first);
    OpenCounterReport(view_, "OhrAlr", nullptr, ini_.get(), server_.Request(), map.Link());
    QVERIFY(!first);  // closed and gone
    QVERIFY(view_);
    QCOMPARE(view_->windowTitle(), QStringLiteral("Охранные датчики..."));
    OpenCounterReport(view_, "PuErr", nullptr, ini_.get(), server_.Request(), map.Link());
    QCOMPARE(view_->windowTitle(), QStringLiteral("Неисправные переговорные устройства..."));
    QCOMPARE(server_.requests,
             (std::vector<std::string>{"MOUSEDOWN LIFTBREAK", "MOUSEDOWN OHRALR", "MOUSEDOWN PUERR"}));
    // The settings of the closed ones were stored.
    QVERIFY(ini_->SectionExists("FormView"));

    // Any other sender closes the open report and opens nothing.
    QPointer<TFormView> last = view_.data();
    QCOMPARE(OpenCounterReport(view_, "Clk", nullptr, ini_.get(), server_.Request(), map.Link()), nullptr);
    QVERIFY(!last);
    QVERIFY(!view_);
    QCOMPARE(server_.requests.size(), size_t(3));
  }

  void anAnswerFillsOnlyTheWindowThatAskedForIt() {
    // Answers held back until the test gives them, as the server's come later.
    std::vector<vertamo::TListAnswer> held;
    const vertamo::TListRequest later = [&](const std::string&, vertamo::TListAnswer done) {
      held.push_back(std::move(done));
    };
    MapLinkRecorder map;
    TFormView* first = OpenCounterReport(view_, "LiftB", nullptr, ini_.get(), later, map.Link());
    QCOMPARE(first->Table().RowCount(), 2);  // open and empty until the answer
    TFormView* second = OpenCounterReport(view_, "OhrAlr", nullptr, ini_.get(), later, map.Link());
    QCOMPARE(held.size(), size_t(2));
    held[0](true, SampleReply());  // the first window has gone: nothing, nowhere
    QCOMPARE(second->Table().RowCount(), 2);
    held[1](true, SampleReply());
    QCOMPARE(second->Table().RowCount(), 4);
  }

  void noAnswerLeavesAnEmptyWindow() {
    server_.answer = false;
    MapLinkRecorder map;
    TFormView* view = OpenCounterReport(view_, "PuErr", nullptr, ini_.get(), server_.Request(), map.Link());
    QVERIFY(view && view->isVisible());
    QCOMPARE(view->StringGrid1->model()->rowCount(), 1);
    QCOMPARE(view->StringGrid1->model()->index(0, 0).data().toString(), QString());
    QCOMPARE(view->StringGrid1->model()->headerData(1, Qt::Horizontal).toString(), QString());
    // Its empty row is never selected: no blue row, even when clicked.
    QVERIFY(QTest::qWaitForWindowExposed(view));
    ClickRow(*view, 0);
    QVERIFY(!view->StringGrid1->selectionModel()->hasSelection());
    const QImage shot = view->StringGrid1->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(vertamo::test::CountColor(shot, qRgb(0x1E, 0x56, 0xA0)), 0);
  }

  void contextMenuItemsInOrder() {
    TFormView* view = Open();
    QStringList items;
    for (QAction* a : view->PopupMenu1->actions())
      items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    const QStringList expected = {QStringLiteral("&Экспорт в текстовый файл"),
                                  QStringLiteral("Экспорт в \"Open Office\" и \"Microsoft &Excel\""),
                                  QStringLiteral("-"),
                                  QStringLiteral("Увеличить шрифт"),
                                  QStringLiteral("Уменьшить шрифт"),
                                  QStringLiteral("-"),
                                  QStringLiteral("Шрифт"),
                                  QStringLiteral("-"),
                                  QStringLiteral("Печать"),
                                  QStringLiteral("-"),
                                  QStringLiteral("Показывать на карте")};
    QCOMPARE(items, expected);
    QVERIFY(view->pmShowOnMap->isCheckable());
    QVERIFY(!view->pmShowOnMap->isChecked());  // the default
    QCOMPARE(view->BitBtnClose->text(), QStringLiteral("       &Закрыть"));
    QCOMPARE(view->BitBtnClose->size(), QSize(169, 49));
    QCOMPARE(view->Panel1->height(), 70);
  }

  void rowHeightFollowsTheFont() {
    TFormView* view = Open();
    // The rule is applied once the window has settled.
    const auto expected = [view] {
      return qRound(view->GridFont().font.pointSizeF() * view->logicalDpiY() / 72.0) + 8;
    };
    QTRY_COMPARE(view->StringGrid1->RowHeight(), expected());
    QCOMPARE(view->GridFont().font.pointSize(), 10);
    QCOMPARE(view->StringGrid1->rowHeight(0), expected());
    QCOMPARE(view->StringGrid1->horizontalHeader()->height(), expected());
    view->pmFontUp->trigger();
    QCOMPARE(view->GridFont().font.pointSize(), 11);
    QCOMPARE(view->StringGrid1->RowHeight(), expected());
    for (int i = 0; i < 15; ++i) view->mFontDown->trigger();
    QCOMPARE(view->GridFont().font.pointSize(), 1);  // Qt fonts stop at 1 point
    QCOMPARE(view->StringGrid1->RowHeight(), expected());
    QVERIFY(view->StringGrid1->RowHeight() >= 8);
    // The font dialog.
    view->Dialogs.chooseFont = [](const QFont& f, std::function<void(bool, const QFont&)> closed) {
      QFont chosen = f;
      chosen.setPointSize(20);
      closed(true, chosen);
    };
    view->pmFont->trigger();
    QCOMPARE(view->GridFont().font.pointSize(), 20);
    QCOMPARE(view->StringGrid1->RowHeight(), expected());
    QVERIFY(view->windowFlags().testFlag(Qt::WindowStaysOnTopHint));  // on top afterwards
    view->Dialogs.chooseFont = [](const QFont& f, std::function<void(bool, const QFont&)> closed) {
      closed(false, f);
    };
    view->pmFont->trigger();
    QCOMPARE(view->GridFont().font.pointSize(), 20);
  }

  void resizeSharesTheColumns() {
    TFormView* view = Open();
    view->resize(1000, 500);
    QCoreApplication::processEvents();
    const int rest = view->width() - view->StringGrid1->columnWidth(0);
    QCOMPARE(view->StringGrid1->columnWidth(0), 64);
    QCOMPARE(view->StringGrid1->columnWidth(1), rest * 50 / 100);
    QCOMPARE(view->StringGrid1->columnWidth(2), rest * 30 / 100);
    QCOMPARE(view->StringGrid1->columnWidth(3), rest * 20 / 100);
    view->resize(200, 500);
    QCoreApplication::processEvents();
    QCOMPARE(view->width(), 300);
    QCOMPARE(view->StringGrid1->columnWidth(1), (300 - 64) * 50 / 100);
    // The close button stays centred in its panel.
    const QRect button = view->BitBtnClose->geometry();
    QVERIFY(qAbs(button.center().x() - view->Panel1->width() / 2) <= 1);
  }

  void cellsAreShadedInTheColumnsColours() {
    TFormView* view = Open();
    view->resize(700, 400);
    QTRY_VERIFY(view->StringGrid1->RowHeight() > 20);
    view->StringGrid1->clearSelection();
    view->StringGrid1->setCurrentIndex(QModelIndex());
    const QImage shot = view->StringGrid1->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    vertamo::test::SaveShot(view->grab().toImage(), "form_view");
    const QTableView* grid = view->StringGrid1;
    // Column colours 0x00BBGGRR: white, light yellow, light green, light cyan.
    const int colours[4] = {0xFFFFFF, 0xBDFFFF, 0xD9FFD9, 0xFFFFE1};
    for (int col = 0; col < 4; ++col) {
      const QRect cell = grid->visualRect(grid->model()->index(1, col));
      const QRgb top = shot.pixel(cell.left() + 2, cell.top());
      QCOMPARE(top, vertamo::test::Rgb(colours[col]));
      // Line k is each part less 3 k, held at 0.
      const QRgb base = vertamo::test::Rgb(colours[col]);
      const QRgb line5 = shot.pixel(cell.left() + 2, cell.top() + 5);
      QCOMPARE(qRed(line5), std::max(qRed(base) - 15, 0));
      QCOMPARE(qBlue(line5), std::max(qBlue(base) - 15, 0));
    }
    // The selected row is white on a dark blue; its number cell stays white.
    view->StringGrid1->selectRow(0);
    const QImage selected =
        view->StringGrid1->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect c1 = grid->visualRect(grid->model()->index(0, 1));
    QCOMPARE(selected.pixel(c1.right() - 2, c1.top()), qRgb(0x1E, 0x56, 0xA0));
    QVERIFY(vertamo::test::CountColor(selected.copy(c1), qRgb(255, 255, 255)) > 0);  // the text
    const QRect c0 = grid->visualRect(grid->model()->index(0, 0));
    QCOMPARE(selected.pixel(c0.left() + 1, c0.top()), qRgb(255, 255, 255));
  }

  void showOnMapFollowsTheClickedRow() {
    MapLinkRecorder map;
    TFormView* view = OpenCounterReport(view_, "LiftB", nullptr, ini_.get(), server_.Request(), map.Link());
    QVERIFY(QTest::qWaitForWindowExposed(view));
    // Row 1 is the current row from the start: showing the window reports nothing.
    QCOMPARE(view->StringGrid1->currentIndex().row(), 0);
    QVERIFY(view->StringGrid1->selectionModel()->isRowSelected(0, {}));
    QVERIFY(map.shown.empty());
    QCOMPARE(map.hidden, 0);
    // Unchecked: a click hides the marker.
    ClickRow(*view, 2);
    QCOMPARE(map.hidden, 1);
    QVERIFY(map.shown.empty());
    view->pmShowOnMap->trigger();
    QVERIFY(view->pmShowOnMap->isChecked());
    ClickRow(*view, 0);  // object 3
    QCOMPARE(map.shown, std::vector<int>{3});
    ClickRow(*view, 1);  // object -1: the marker stays where it is
    QCOMPARE(map.shown, std::vector<int>{3});
    QCOMPARE(map.hidden, 1);
    ClickRow(*view, 2);  // object 7
    QCOMPARE(map.shown, (std::vector<int>{3, 7}));
    // The keys move the selection too.
    QTest::keyClick(view->StringGrid1, Qt::Key_Up);
    QCOMPARE(view->StringGrid1->currentIndex().row(), 1);
    QCOMPARE(map.shown, (std::vector<int>{3, 7}));
    QTest::keyClick(view->StringGrid1, Qt::Key_Up);
    QCOMPARE(map.shown, (std::vector<int>{3, 7, 3}));
    view->pmShowOnMap->trigger();
    ClickRow(*view, 2);
    QCOMPARE(map.hidden, 2);
  }

  void exportKeysWriteTheFileAndClose_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray csv = QByteArray::fromStdString(
        Cp("№;Лифт;Адрес;Время\r\n1;Лифт 1.2;ул. Ленина, 5;12.05.2024\r\n2;Датчик;двери;пр. Мира.;3,14\r\n"
           "3;Конец.;;.\r\n"));
    const QByteArray txt =
        QByteArray::fromStdString(Cp("№\tЛифт\tАдрес\tВремя\r\n1\tЛифт 1.2\tул. Ленина, "
                                     "5\t12.05.2024\r\n2\tДатчик;двери\tпр. Мира.\t3,14\r\n"
                                     "3\tКонец.\t\t.\r\n"));
    const QString csvQuestion = QStringLiteral(
        "Отчет сохранен в виде файла \nдля Microsoft Excel или OpenOffice...\nОткрыть сохраненный файл ?");
    const QString txtQuestion =
        QStringLiteral("Отчет сохранен в виде текстового файла...\nОткрыть сохраненный файл ?");
    QTest::newRow("Alt+T, No") << int(Qt::Key_T) << false << txtQuestion << txt;
    QTest::newRow("Alt+T, Yes") << int(Qt::Key_T) << true << txtQuestion << txt;
    QTest::newRow("Alt+E, No") << int(Qt::Key_E) << false << csvQuestion << csv;
    QTest::newRow("Alt+E, Yes") << int(Qt::Key_E) << true << csvQuestion << csv;
  }
  void exportKeysWriteTheFileAndClose() {
    QFETCH(int, key);
    QFETCH(bool, yes);
    QFETCH(QString, question);
    QFETCH(QByteArray, expected);
    TFormView* view = Open();
    QPointer<TFormView> alive = view;
    const QString path = QString::fromStdString(folder_->file("report.out"));
    std::vector<TExportFormat> asked;
    QStringList questions;
    QStringList opened;
    view->Dialogs.chooseExportFile = [&](TExportFormat f, std::function<void(const QString&)> chosen) {
      asked.push_back(f);
      chosen(path);
    };
    view->Dialogs.askOpen = [&](const QString& q, std::function<void(bool)> answered) {
      questions << q;
      answered(yes);
    };
    // No program takes the file: the dispatcher is told.
    QStringList told;
    view->Dialogs.openFile = [&](const QString& p) {
      opened << p;
      return false;
    };
    view->Dialogs.tell = [&](const QString& text) { told << text; };
    view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(view));
    QTest::keyClick(view->StringGrid1, Qt::Key(key), Qt::AltModifier);
    QCOMPARE(asked.size(), size_t(1));
    QCOMPARE(asked[0], key == Qt::Key_E ? TExportFormat::Csv : TExportFormat::Text);
    QCOMPARE(QByteArray::fromStdString(ReadWholeFile(path.toStdString())), expected);
    QCOMPARE(questions, QStringList{question});
    QCOMPARE(opened, yes ? QStringList{path} : QStringList{});
    QCOMPARE(told, yes ? QStringList{vertamo::ui::NotOpenedText(path)} : QStringList{});
    QTRY_VERIFY(!alive);  // closed, whatever the answer
  }

  void exportCancelledOrFailedKeepsTheWindow() {
    TFormView* view = Open();
    int questions = 0;
    view->Dialogs.askOpen = [&](const QString&, std::function<void(bool)> answered) {
      ++questions;
      answered(false);
    };
    view->Dialogs.chooseExportFile = [](TExportFormat, std::function<void(const QString&)>) {};  // cancelled
    view->Export(TExportFormat::Csv);
    const QString bad = QString::fromStdString(folder_->file("no/such/folder/r.csv"));
    view->Dialogs.chooseExportFile = [&](TExportFormat, std::function<void(const QString&)> chosen) { chosen(bad); };
    view->Export(TExportFormat::Text);
    QCOMPARE(questions, 0);
    QCoreApplication::processEvents();
    QVERIFY(view_);
    QVERIFY(view->isVisible());
  }

  void printAndEscapeKeys() {
    TFormView* view = Open();
    QPointer<TFormView> alive = view;
    int prints = 0;
    bool onTopWhilePrinting = true;
    view->Dialogs.print = [&](TFormView& v, std::function<void()> done) {
      ++prints;
      onTopWhilePrinting = v.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
      done();
    };
    view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(view));
    QTest::keyClick(view->StringGrid1, Qt::Key_P, Qt::AltModifier);
    QCOMPARE(prints, 1);
    QVERIFY(!onTopWhilePrinting);
    QVERIFY(view->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(QTest::qWaitForWindowExposed(view));
    view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(view));
    QTest::keyClick(view->StringGrid1, Qt::Key_Escape);
    QTRY_VERIFY(!alive);
  }

  void printDataIsTheGridAsShown() {
    TFormView* view = Open();
    view->resize(800, 400);
    QCoreApplication::processEvents();
    const vertamo::TPrintGrid grid = view->PrintData();
    QCOMPARE(grid.cells.size(), size_t(4));
    QCOMPARE(grid.cells[0][0], Cp("№"));
    QCOMPARE(grid.cells[2][1], Cp("Датчик;двери"));
    QCOMPARE(grid.colWidths.size(), size_t(4));
    QCOMPARE(grid.colWidths[1], view->StringGrid1->columnWidth(1));
    QCOMPARE(grid.referenceWidth, view->width());
  }

  void settingsAreStoredOnCloseAndReadOnCreation() {
    {
      TFormView* view = Open();
      view->pmShowOnMap->setChecked(true);
      view->pmFontUp->trigger();
      view->pmFontUp->trigger();
      view->StringGrid1->setColumnWidth(2, 111);
      view->close();
    }
    QTRY_VERIFY(!view_);
    QCOMPARE(ini_->ReadBool("FormView", "ShowOnMap", false), true);
    QCOMPARE(ini_->ReadInteger("FormView", "FontSize", 0), 12);
    QCOMPARE(ini_->ReadInteger("FormView", "LiftB_col3", 0), 111);
    QVERIFY(ini_->ValueExists("FormView", "LiftB_col1"));
    QVERIFY(ini_->ValueExists("FormView", "LiftB_col4"));
    QVERIFY(!ini_->ValueExists("FormView", "LiftB_col5"));
    QVERIFY(ini_->ValueExists("FormView", "Left"));
    QVERIFY(ini_->ValueExists("FormView", "FONT"));

    TFormView* again = Open();
    QVERIFY(again->pmShowOnMap->isChecked());
    QCOMPARE(again->GridFont().font.pointSize(), 12);
    QCOMPARE(again->StringGrid1->columnWidth(2), 111);  // the saved widths win over the first layout
  }

  void eachReportKeepsItsOwnColumnWidths() {
    const char* kinds[3] = {"LiftB", "OhrAlr", "PuErr"};
    for (int k = 0; k < 3; ++k) {
      TFormView* view = OpenCounterReport(view_, kinds[k], nullptr, ini_.get(), server_.Request(), map_.Link());
      QVERIFY(QTest::qWaitForWindowExposed(view));
      QVERIFY(view->StringGrid1->columnWidth(3) < 300);  // not another report's width
      view->StringGrid1->setColumnWidth(3, 300 + k);
      view->close();
      QTRY_VERIFY(!view_);
    }
    for (int k = 0; k < 3; ++k) {
      TFormView* view = OpenCounterReport(view_, kinds[k], nullptr, ini_.get(), server_.Request(), map_.Link());
      QVERIFY(QTest::qWaitForWindowExposed(view));
      QCOMPARE(view->StringGrid1->columnWidth(3), 300 + k);
    }
  }

 private:
  TFormView* Open() {
    TFormView* view = OpenCounterReport(view_, "LiftB", nullptr, ini_.get(), server_.Request(), map_.Link());
    if (view) (void)QTest::qWaitForWindowExposed(view);
    return view;
  }

  std::unique_ptr<TempFolder> folder_;
  std::unique_ptr<TFastIni> ini_;
  QPointer<TFormView> view_;
  RecordedServer server_;
  MapLinkRecorder map_;
};

QTEST_MAIN(FormViewTest)
#include "form_view_test.moc"
