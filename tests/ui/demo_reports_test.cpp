// The counters' reports against orvex-sim's demo district: each counter's
// double-click shows the report of that moment (the objects the server counts),
// and from the report window the export (Alt+E), printing to a PDF file
// (Alt+P), "Показывать на карте" with the main window's marker, and Escape.
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QtTest>
#include <memory>

#include "journal/ui/form_print.h"
#include "journal/ui/form_view.h"
#include "map/ui/map_view.h"
#include "map/ui/valind.h"
#include "support/pdf_pages.h"
#include "ui/workstation_fixture.h"

using namespace vertamo;
using namespace vertamo::ui;
using vertamo::testing::HasTool;
using vertamo::testing::PdfPages;

namespace {

std::string Cp(const std::string& utf8) { return Utf8ToCp1251(utf8); }

// One row of a report as the server makes it for the objects it counts.
struct ExpectedRow {
  std::string t1, t2, t3;  // code page 1251
  int object = -1;
};

void ClickRow(TFormView& view, int gridRow) {
  QTableView* grid = view.StringGrid1;
  grid->scrollTo(grid->model()->index(gridRow, 1));
  const QRect cell = grid->visualRect(grid->model()->index(gridRow, 1));
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

}  // namespace

class DemoReportsTest : public QObject {
  Q_OBJECT

 private:
  std::shared_ptr<orvexsim::Scenario> scenario_;
  std::unique_ptr<orvexsim::Catalog> catalog_;
  std::unique_ptr<test::Workstation> w_;

  TValInd* Counter(const QString& name) const {
    if (name == QLatin1String("LiftB")) return w_->form->Overlays().LiftB;
    if (name == QLatin1String("OhrAlr")) return w_->form->Overlays().OhrAlr;
    return w_->form->Overlays().PuErr;
  }

  static int CountOf(const orvexsim::Counts& counts, const QString& name) {
    if (name == QLatin1String("LiftB")) return counts.liftBreak;
    if (name == QLatin1String("OhrAlr")) return counts.ohrAlr;
    return counts.puErr;
  }

  static orvexsim::StateRole RoleOf(const QString& name) {
    if (name == QLatin1String("LiftB")) return orvexsim::StateRole::LiftFault;
    if (name == QLatin1String("OhrAlr")) return orvexsim::StateRole::LoopTriggered;
    return orvexsim::StateRole::IntercomFault;
  }

  // The report the server makes now for the counter: the objects whose state
  // counts for it, in list order, with name, place and the state's name.
  std::vector<ExpectedRow> ServerReport(const QString& name) const {
    const orvexsim::View now = w_->server.Snapshot();
    std::vector<ExpectedRow> rows;
    for (int obj : now.ObjectsWithRole(RoleOf(name))) {
      const orvexsim::ObjectDef& o = scenario_->objects[obj];
      rows.push_back({Cp(o.name), Cp(o.place), Cp(catalog_->StateName(obj, now.Object(obj).idx)), obj});
    }
    return rows;
  }

  // Every object of the window shows the state the server has now, and the
  // counters its figures: the feed has caught up.
  bool CaughtUp() const {
    const orvexsim::View now = w_->server.Snapshot();
    const orvexsim::Counts counts = w_->server.CountsNow();
    TMapModel& model = w_->form->Model();
    if (model.ObjectList.Count() != now.ObjectCount()) return false;
    for (int i = 0; i < now.ObjectCount(); ++i)
      if (model.ObjectList.Get(i)->Idx != now.Object(i).idx) return false;
    return w_->form->Overlays().LiftB->Value() == counts.liftBreak && w_->form->Overlays().OhrAlr->Value() == counts.ohrAlr &&
           w_->form->Overlays().PuErr->Value() == counts.puErr;
  }

  // The window shows the district of the moment, and its connection has
  // passed on every line of the feed: it has polled twice since.
  bool Settled() const {
    if (!QTest::qWaitFor([&] { return CaughtUp(); }, 10000)) return false;
    const int polls = w_->Requests("GETCHANGES");
    return QTest::qWaitFor([&] { return w_->Requests("GETCHANGES") >= polls + 2; }, 10000);
  }

  // Double-clicks the counter and returns the report window it opened.
  TFormView* OpenReport(const QString& name) {
    TValInd* counter = Counter(name);
    if (!counter->isVisible()) return nullptr;
    QTest::mouseDClick(counter, Qt::LeftButton, {}, QPoint(5, 5));
    if (!QTest::qWaitFor([&] { return !w_->form->FormView.isNull(); }, 5000)) return nullptr;
    TFormView* view = w_->form->FormView;
    if (qEnvironmentVariableIsSet("DEMO_REPORTS_DUMP")) {
      const auto record = w_->server.Record();
      for (size_t i = record.size() > 8 ? record.size() - 8 : 0; i < record.size(); ++i)
        qInfo("record %d %lld %s", record[i].connection, (long long)record[i].micros, record[i].line.c_str());
    }
    if (!QTest::qWaitForWindowExposed(view)) return nullptr;
    // The window opens empty and fills when the server's answer arrives;
    // every report of the demo has a header.
    QTest::qWaitFor([&] { return view && !view->Table().Cell(0, 1).empty(); }, 5000);
    return view;
  }

  // The window's rows are the server's report of the moment.
  static void CompareRows(const TFormView& view, const std::vector<ExpectedRow>& expected) {
    const TReportTable& table = view.Table();
    if (qEnvironmentVariableIsSet("DEMO_REPORTS_DUMP")) Dump(table);
    QCOMPARE(table.RowCount(), int(expected.size()) + 1);
    for (size_t i = 0; i < expected.size(); ++i) {
      const int r = int(i) + 1;
      QCOMPARE(table.Cell(r, 0), std::to_string(r));
      QCOMPARE(table.Cell(r, 1), expected[i].t1);
      QCOMPARE(table.Cell(r, 2), expected[i].t2);
      QCOMPARE(table.Cell(r, 3), expected[i].t3);
      QCOMPARE(table.Object(r), expected[i].object);
    }
  }

  static void Dump(const TReportTable& table) {
    for (int r = 0; r < table.RowCount(); ++r)
      qInfo("%d: [%s] [%s] [%s] [%s] obj %d", r, Cp1251ToUtf8(table.Cell(r, 0)).c_str(),
            Cp1251ToUtf8(table.Cell(r, 1)).c_str(), Cp1251ToUtf8(table.Cell(r, 2)).c_str(),
            Cp1251ToUtf8(table.Cell(r, 3)).c_str(), table.Object(r));
  }

  static void CompareHeader(const TFormView& view, const orvexsim::ReportDef& def) {
    const TReportTable& table = view.Table();
    if (qEnvironmentVariableIsSet("DEMO_REPORTS_DUMP")) Dump(table);
    QCOMPARE(table.Cell(0, 0), Cp("№"));
    for (int c = 0; c < 3; ++c) QCOMPARE(table.Cell(0, c + 1), Cp(def.header[c]));
  }

  const orvexsim::ReportDef& DefOf(const QString& name) const {
    if (name == QLatin1String("LiftB")) return scenario_->reports.liftBreak;
    if (name == QLatin1String("OhrAlr")) return scenario_->reports.ohrAlr;
    return scenario_->reports.puErr;
  }

 private slots:
  void initTestCase() {
    scenario_ = std::make_shared<orvexsim::Scenario>(orvexsim::BuildDemoScenario());
    catalog_ = std::make_unique<orvexsim::Catalog>(scenario_);
    // Every counter shows at least two objects (a report of one row offers no
    // other row to click).
    auto allShow = [](const orvexsim::Server& server) {
      const orvexsim::Counts c = server.CountsNow();
      return c.liftBreak >= 2 && c.ohrAlr >= 2 && c.puErr >= 2;
    };
    w_ = std::make_unique<test::Workstation>(scenario_, [&](orvexsim::Server& server) {
      server.StepLive(600);
      for (int seconds = 0; seconds < 4 * 3600 && !allShow(server); seconds += 10) server.StepLive(10);
    });
    QVERIFY(w_->started);
    QVERIFY(w_->WaitForMaps(20000));
    QVERIFY(Settled());
    QVERIFY2(allShow(w_->server), "the demo district never showed all three counters");
    const orvexsim::Counts counts = w_->server.CountsNow();
    qInfo("counters: %d faulty lifts, %d loops, %d intercom units", counts.liftBreak, counts.ohrAlr,
          counts.puErr);
    for (const char* name : {"LiftB", "OhrAlr", "PuErr"})
      QVERIFY2(Counter(QLatin1String(name))->isVisible(), name);
  }

  void cleanupTestCase() { w_.reset(); }

  void cleanup() {
    if (w_ && w_->form->FormView) {
      QPointer<TFormView> view = w_->form->FormView;
      view->close();
      QTRY_VERIFY(!view);
    }
  }

  void eachCounter_data() {
    QTest::addColumn<QString>("counter");
    QTest::addColumn<QString>("title");
    QTest::newRow("LiftB") << QStringLiteral("LiftB") << QStringLiteral("Неисправные лифты...");
    QTest::newRow("OhrAlr") << QStringLiteral("OhrAlr") << QStringLiteral("Охранные датчики...");
    QTest::newRow("PuErr") << QStringLiteral("PuErr")
                           << QStringLiteral("Неисправные переговорные устройства...");
  }

  // The report of the moment, the marker, printing, Escape, and the export.
  void eachCounter() {
    QFETCH(QString, counter);
    QFETCH(QString, title);
    TFormVertamo& form = *w_->form;
    form.ShowMap(0);
    const std::vector<ExpectedRow> expected = ServerReport(counter);
    if (qEnvironmentVariableIsSet("DEMO_REPORTS_DUMP"))
      for (const ExpectedRow& r : expected)
        qInfo("expected [%s] [%s] [%s] obj %d", Cp1251ToUtf8(r.t1).c_str(), Cp1251ToUtf8(r.t2).c_str(),
              Cp1251ToUtf8(r.t3).c_str(), r.object);
    QVERIFY(!expected.empty());
    QCOMPARE(Counter(counter)->Value(), int(expected.size()));
    QCOMPARE(CountOf(w_->server.CountsNow(), counter), int(expected.size()));

    // The double-click: the report of that moment.
    TFormView* view = OpenReport(counter);
    QVERIFY(view);
    QPointer<TFormView> alive = view;
    QCOMPARE(view->windowTitle(), title);
    CompareHeader(*view, DefOf(counter));
    if (QTest::currentTestFailed()) return;
    CompareRows(*view, expected);
    if (QTest::currentTestFailed()) return;

    // "Показывать на карте" from the context menu: a click on each row shows
    // its object on its map with the marker. Row 1 is the current row when the
    // window opens, and only a change of row counts as a click: it comes last.
    QVERIFY(view->PopupMenu1->actions().contains(view->pmShowOnMap));
    if (!view->pmShowOnMap->isChecked()) view->pmShowOnMap->trigger();
    QVERIFY(view->pmShowOnMap->isChecked());
    QVERIFY(expected.size() >= 2);
    for (size_t k = 1; k <= expected.size(); ++k) {
      const size_t i = k % expected.size();
      form.Maps().HideMarker();
      ClickRow(*view, int(i));
      const MAPOBJECT* object = form.Model().ObjectList.Get(expected[i].object);
      QVERIFY(object);
      QCOMPARE(form.PageControl1->currentIndex(), object->MapIndex);
      QCOMPARE(form.Maps().Marked(), form.Maps().View(object->MapIndex));
      // Centred on the picture.
      const QPointF apart = form.Maps().Marked()->Marker().center() -
                            form.Maps().ObjectItem(expected[i].object)->sceneBoundingRect().center();
      QVERIFY2(apart.manhattanLength() < 0.01, qPrintable(QStringLiteral("row %1").arg(i + 1)));
    }
    // Switched off again: a click hides the marker.
    view->pmShowOnMap->trigger();
    QVERIFY(!view->pmShowOnMap->isChecked());
    ClickRow(*view, 1);
    QVERIFY(!form.Maps().Marked());

    // Alt+P: the real printing of the grid, to a PDF file.
    const QString pdf = QString::fromStdString(w_->dir.file((counter + ".pdf").toStdString()));
    QFile::remove(pdf);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPageSize(QPageSize(QPageSize::A4));
    TPrintOutcome outcome;
    int prints = 0;
    view->Dialogs.print = [&](TFormView& v, std::function<void()> done) {
      ++prints;
      TPrintDialogs dialogs;
      dialogs.run = [](TFormPrint&, QPrinter&, std::function<void(bool)> closed) { closed(true); };
      dialogs.stop = [](const QString& text, const QString&) { qWarning("stop: %s", qPrintable(text)); };
      PrintGrid(&v, v.windowTitle(), v.PrintData(), w_->settings->MainIni.get(), printer, dialogs,
                [&outcome, done](const TPrintOutcome& result) {
                  outcome = result;
                  done();
                });
    };
    view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(view));
    QTest::keyClick(view->StringGrid1, Qt::Key_P, Qt::AltModifier);
    QCOMPARE(prints, 1);
    QCOMPARE(outcome.result, TPrintResult::Printed);
    QVERIFY(outcome.pages >= 1);
    QVERIFY(QFileInfo(pdf).size() > 0);
    QFile pdfFile(pdf);
    QVERIFY(pdfFile.open(QIODevice::ReadOnly));
    QVERIFY(pdfFile.read(5) == "%PDF-");
    pdfFile.close();
    const int pages = PdfPages(pdf);
    QVERIFY2(pages >= 1, qPrintable(QString::number(pages)));
    QCOMPARE(pages, outcome.pages);
    // What the pages say: the title and every row's object.
    if (HasTool("pdftotext")) {
      QProcess text;
      text.start(QStringLiteral("pdftotext"),
                 {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
      QVERIFY(text.waitForFinished(30000));
      const QString printed = QString::fromUtf8(text.readAllStandardOutput()).simplified();
      QVERIFY2(printed.contains(title), qPrintable(printed));
      // The heading: the server and when the report was made.
      QVERIFY2(printed.contains(QStringLiteral("Сервер: ")) &&
                   printed.contains(QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"))),
               qPrintable(printed));
      for (const ExpectedRow& row : expected)
        QVERIFY2(printed.contains(QString::fromStdString(Cp1251ToUtf8(row.t1))), qPrintable(printed));
    }
    QVERIFY(alive);  // printing keeps the window

    // Escape closes it.
    QVERIFY(QTest::qWaitForWindowExposed(view));
    view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(view));
    QTest::keyClick(view->StringGrid1, Qt::Key_Escape);
    QTRY_VERIFY(!alive);
    QVERIFY(form.FormView.isNull());

    // Again, for the export: Alt+E writes the CSV file and the window closes.
    form.ShowMap(0);
    view = OpenReport(counter);
    QVERIFY(view);
    alive = view;
    CompareRows(*view, expected);  // nothing changed in between
    if (QTest::currentTestFailed()) return;
    const QString csv = QString::fromStdString(w_->dir.file((counter + ".csv").toStdString()));
    QFile::remove(csv);
    std::vector<TExportFormat> asked;
    QStringList questions;
    QStringList opened;
    view->Dialogs.chooseExportFile = [&](TExportFormat f, std::function<void(const QString&)> chosen) {
      asked.push_back(f);
      chosen(csv);
    };
    view->Dialogs.askOpen = [&](const QString& q, std::function<void(bool)> answered) {
      questions << q;
      answered(false);
    };
    view->Dialogs.openFile = [&](const QString& p) {
      opened << p;
      return true;
    };
    view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(view));
    QTest::keyClick(view->StringGrid1, Qt::Key_E, Qt::AltModifier);
    QCOMPARE(asked, std::vector<TExportFormat>{TExportFormat::Csv});
    QCOMPARE(questions.size(), 1);
    QVERIFY(opened.isEmpty());
    QTRY_VERIFY(!alive);

    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const orvexsim::ReportDef& def = DefOf(counter);
    const std::string headerRow =
        Cp("№") + ";" + Cp(def.header[0]) + ";" + Cp(def.header[1]) + ";" + Cp(def.header[2]) + "\r\n";
    QVERIFY(bytes.startsWith(QByteArray::fromStdString(headerRow)));
    // CR LF line ends only, and as many lines as the report has rows.
    QVERIFY(bytes.endsWith("\r\n"));
    QCOMPARE(bytes.count("\r\n"), qsizetype(expected.size()) + 1);
    QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
    QCOMPARE(bytes.count('\r'), bytes.count("\r\n"));
    // Code page 1251: the Russian texts are single bytes, no UTF-8 in sight.
    QVERIFY(bytes.startsWith("\xB9;"));                    // "№"
    QVERIFY(!bytes.contains(QByteArray("\xE2\x84\x96")));  // "№" in UTF-8
    // The whole file, byte for byte; the demo's cells are all text (names,
    // addresses with their points, states), written as they are.
    std::string whole = headerRow;
    for (size_t i = 0; i < expected.size(); ++i)
      whole +=
          std::to_string(i + 1) + ";" + expected[i].t1 + ";" + expected[i].t2 + ";" + expected[i].t3 + "\r\n";
    QCOMPARE(bytes, QByteArray::fromStdString(whole));
    QCOMPARE(QString::fromStdString(Cp1251ToUtf8(bytes.toStdString())).count(QStringLiteral("\r\n")),
             int(expected.size()) + 1);
  }

  // A double-click on another counter closes the open report and shows the
  // other one.
  void anotherCounterReplacesTheOpenReport() {
    QPointer<TFormView> first = OpenReport(QStringLiteral("LiftB"));
    QVERIFY(first);
    TFormView* second = OpenReport(QStringLiteral("OhrAlr"));
    QVERIFY(second);
    QTRY_VERIFY(!first);
    QCOMPARE(second->windowTitle(), QStringLiteral("Охранные датчики..."));
    const std::vector<ExpectedRow> expected = ServerReport(QStringLiteral("OhrAlr"));
    CompareRows(*second, expected);

    // The context menu's entries do what the keys do: printing, then the
    // text export (TAB), which closes the window.
    QPointer<TFormView> alive = second;
    int prints = 0;
    second->Dialogs.print = [&](TFormView&, std::function<void()> done) {
      ++prints;
      done();
    };
    QVERIFY(second->PopupMenu1->actions().contains(second->pmPrint));
    second->pmPrint->trigger();
    QCOMPARE(prints, 1);
    const QString txt = QString::fromStdString(w_->dir.file("OhrAlr.txt"));
    QFile::remove(txt);
    second->Dialogs.chooseExportFile = [&](TExportFormat f, std::function<void(const QString&)> chosen) {
      if (f == TExportFormat::Text) chosen(txt);
    };
    second->Dialogs.askOpen = [](const QString&, std::function<void(bool)> answered) { answered(false); };
    QVERIFY(second->PopupMenu1->actions().contains(second->pmText));
    second->pmText->trigger();
    QTRY_VERIFY(!alive);
    QFile file(txt);
    QVERIFY(file.open(QIODevice::ReadOnly));
    std::string whole = Cp("№\tДатчик\tАдрес\tСостояние\r\n");
    for (size_t i = 0; i < expected.size(); ++i)
      whole += std::to_string(i + 1) + "\t" + expected[i].t1 + "\t" + expected[i].t2 + "\t" + expected[i].t3 +
               "\r\n";
    QCOMPARE(file.readAll(), QByteArray::fromStdString(whole));
  }

  // The district moves on: the next double-click shows the new moment.
  void theReportFollowsTheDistrict() {
    const std::vector<ExpectedRow> before = ServerReport(QStringLiteral("LiftB"));
    auto changed = [&] {
      const std::vector<ExpectedRow> now = ServerReport(QStringLiteral("LiftB"));
      if (now.size() != before.size() || now.empty()) return !now.empty();
      for (size_t i = 0; i < now.size(); ++i)
        if (now[i].object != before[i].object || now[i].t3 != before[i].t3) return true;
      return false;
    };
    for (int minutes = 0; minutes < 120 && !changed(); ++minutes) w_->server.StepLive(60);
    QVERIFY2(changed(), "the faulty lifts never changed");
    QVERIFY(Settled());
    w_->form->ShowMap(0);
    TFormView* view = OpenReport(QStringLiteral("LiftB"));
    QVERIFY(view);
    CompareRows(*view, ServerReport(QStringLiteral("LiftB")));
    QCOMPARE(w_->form->Overlays().LiftB->Value(), int(ServerReport(QStringLiteral("LiftB")).size()));
  }
};

QTEST_MAIN(DemoReportsTest)
#include "demo_reports_test.moc"
