// The main window against orvex-sim: the maps as the dispatcher sees them, the
// overlays, the marker, the clock, the journal, the text links and the change
// feed's updates.
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTime>
#include <QToolTip>
#include <QtTest>

#include "journal/ui/form_view.h"
#include "journal/ui/log_grid.h"
#include "journal/ui/log_last.h"
#include "map/ui/bigspk.h"
#include "map/ui/map_board.h"
#include "map/ui/map_items.h"
#include "map/ui/map_view.h"
#include "map/ui/valind.h"
#include "uikit/win_color.h"
#include "ui/widget_shots.h"
#include "ui/workstation_fixture.h"

using namespace vertamo;
using namespace vertamo::ui;
using vertamo::test::Workstation;

namespace {

TObjectItem* Pict(Workstation& w, int object) { return w.form->Maps().ObjectItem(object); }
TTextItem* LabelOf(Workstation& w, int text) { return w.form->Maps().TextItem(text); }

// Where an overlay is from the top left corner of the map in front (a map
// smaller than its tab is centred in it).
QRect OnMap(Workstation& w, const QWidget* overlay) {
  const TMapView* view = w.form->Maps().View(w.form->PageControl1->currentIndex());
  return overlay->geometry().translated(-view->ToView(QRectF(0, 0, 1, 1)).topLeft());
}

// The colour of the middle of an object's picture as its map shows it now.
QRgb ShownAt(Workstation& w, int object) {
  const vertamo::test::TObjectSpot spot = vertamo::test::SpotOf(*w.form, object);
  const QRect area = w.form->Maps().View(w.Object(object)->MapIndex)->ToView(Pict(w, object)->sceneBoundingRect());
  return spot.map->grab().toImage().pixel(area.center()) & 0xFFFFFFu;
}

std::string LogLine(int object, int color, int fontColor, const std::string& event) {
  return "LOG OBJ=" + std::to_string(object) + " COLOR=" + std::to_string(color) +
         " FONTCOLOR=" + std::to_string(fontColor) + " T0=\"01.01.26\" T1=\"10:00:00\" T2=\"Лифт\"" +
         " T3=\"ул. Лесная, 12\" T4=\"" + event + "\" T5=\"Примечание\"";
}

}  // namespace

class WorkstationTest : public QObject {
  Q_OBJECT

 private slots:
  void connectingStateUntilTheMapsArrive() {
    // A server that never answers the map list: the window stays connecting.
    auto scenario = test::SmallDistrict();
    scenario->faults.push_back({orvexsim::FaultKind::Stall, orvexsim::Step::GetMap});
    Workstation w(scenario);
    QVERIFY(w.started);
    QTRY_COMPARE(w.form->Client()->Stage(), int(kStageMaps));
    QCOMPARE(w.form->windowTitle(), QStringLiteral("Подключение..."));
    QVERIFY(w.form->LabelSrv->isVisible());
    QCOMPARE(w.form->LabelSrv->text(), QStringLiteral("Подключение к серверу Тестовый сервер"));
    QVERIFY(!w.form->PageControl1->isVisible());
    QTRY_COMPARE(w.form->StatusText(0), QStringLiteral("Получение карт"));
    QTRY_VERIFY(w.form->LoadProgress->isVisible());  // the catalogue is loading
  }

  void tabsCaptionsAndTheFirstMap() {
    Workstation w;
    QVERIFY(w.WaitForMaps());
    QTabWidget* tabs = w.form->PageControl1;
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->tabPosition(), QTabWidget::South);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Район"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Холл"));
    QCOMPARE(tabs->tabText(2), QStringLiteral("Подвал"));
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(w.form->windowTitle(), QStringLiteral("Район"));
    QVERIFY(tabs->isVisible());
    QTRY_COMPARE(w.form->StatusText(0), QStringLiteral("OK"));
    QTRY_VERIFY(w.form->StatusText(1).startsWith(QStringLiteral("Обновление: ")));
    QVERIFY(!w.form->LoadProgress->isVisible());  // gone with the maps

    // The backgrounds: map 1 has none.
    QVERIFY(!w.form->Maps().View(0)->Scene().Picture().isNull());
    QVERIFY(w.form->Maps().View(1)->Scene().Picture().isNull());

    // A tab chosen by the dispatcher captions the window.
    tabs->setCurrentIndex(2);
    QCOMPARE(w.form->windowTitle(), QStringLiteral("Подвал"));
    vertamo::test::SaveShot(w.form->grab().toImage(), "workstation_maps");
  }

  void objectGeometryHintsAndCaptions() {
    Workstation w;
    QVERIFY(w.WaitForMaps());
    // The object at 10,20 with 32 x 24 pictures, caption at CX 0, CY 2.
    TObjectItem* lift1 = Pict(w, 0);
    QVERIFY(lift1);
    QCOMPARE(lift1->sceneBoundingRect(), QRectF(10, 18, 32, 24));
    QCOMPARE(lift1->Caption()->scenePos(), QPointF(10, 44));
    QCOMPARE(lift1->Caption()->Text(), QStringLiteral("Л1"));
    QVERIFY(!lift1->Caption()->Fill().isValid());  // CAPCOLOR absent: transparent
    QCOMPARE(lift1->scene(), &w.form->Maps().View(0)->Scene());

    // Type 1: a bordered box in the caption colour.
    QVERIFY(Pict(w, 1)->Caption()->Boxed());
    QCOMPARE(Pict(w, 1)->Caption()->Fill(), QColor(255, 0, 0));
    // An empty caption shows the name.
    QCOMPARE(Pict(w, 2)->Caption()->Text(), QStringLiteral("Лифт 3"));
    // No caption shown: no caption at all.
    QVERIFY(!Pict(w, 3)->Caption());

    // The hints use the application's tool-tip font.
    QCOMPARE(QToolTip::font().family(), QStringLiteral("Arial"));
    QCOMPARE(QToolTip::font().pixelSize(), 16);
  }

  void updatesOfTheFeed() {
    Workstation w;
    QVERIFY(w.WaitForMaps());
    // The first poll applied.
    QTRY_VERIFY(w.form->StatusText(1).startsWith(QStringLiteral("Обновление")));
    // A new state shows the picture of it.
    QVERIFY(w.Feed({"UPDATE OBJ=0 IDX=1"}, [&] { return w.Object(0)->Idx == 1; }));
    QTRY_COMPARE(ShownAt(w, 0), qRgb(0xD0, 0, 0) & 0xFFFFFFu);

    // Hint, caption and caption colour.
    QVERIFY(w.Feed({"UPDATE OBJ=0 HINT=\"Неисправен$Заявка\""},
                   [&] { return HintToolTip(w.Object(0)->Hint.str()).contains(QStringLiteral("Неисправен\nЗаявка")); }));
    QVERIFY(w.Feed({"UPDATE OBJ=2 CAPTION=\"Авария\""},
                   [&] { return Pict(w, 2)->Caption()->Text() == QStringLiteral("Авария"); }));
    QVERIFY(w.Feed({"UPDATE OBJ=2 CAPTION=\"\""},
                   [&] { return Pict(w, 2)->Caption()->Text() == QStringLiteral("Лифт 3"); }));
    // A colour on a transparent caption changes the colour, not the transparency;
    // -1 changes nothing.
    QVERIFY(w.Feed({"UPDATE OBJ=0 CAPCOLOR=65280"}, [&] { return w.Object(0)->CapColor == 0x00FF00; }));
    QVERIFY(!Pict(w, 0)->Caption()->Fill().isValid());
    QVERIFY(
        w.Feed({"UPDATE OBJ=0 CAPCOLOR=-1", "UPDATE OBJ=1 IDX=3"}, [&] { return w.Object(1)->Idx == 3; }));
    QCOMPARE(w.Object(0)->CapColor, 0x00FF00);
    // Objects outside the list change nothing.
    QVERIFY(w.Feed({"UPDATE OBJ=99 IDX=1", "UPDATE OBJ=1 IDX=0"}, [&] { return w.Object(1)->Idx == 0; }));
  }

  void overlaysMoveWithTheActiveTab() {
    Workstation w;
    QVERIFY(w.WaitForMaps());
    QWidget* tab0 = w.form->PageControl1->widget(0);
    QWidget* tab2 = w.form->PageControl1->widget(2);
    for (QWidget* overlay : {static_cast<QWidget*>(w.form->Overlays().LiftB), static_cast<QWidget*>(w.form->Overlays().OhrAlr),
                             static_cast<QWidget*>(w.form->Overlays().Clk), static_cast<QWidget*>(w.form->Overlays().BigSpk)}) {
      QCOMPARE(overlay->parentWidget(), tab0);
      QVERIFY(overlay->isVisible());
    }
    QCOMPARE(OnMap(w, w.form->Overlays().LiftB), QRect(200, 10, 80, 50));
    QCOMPARE(w.form->Overlays().LiftB->Value(), 1);
    QCOMPARE(w.form->Overlays().OhrAlr->FontName(), QStringLiteral("Arial"));
    QCOMPARE(OnMap(w, w.form->Overlays().BigSpk), QRect(300, 120, 64, 64));
    // No layout for the faulty intercom units: hidden and without a parent.
    QVERIFY(w.form->Overlays().PuErr->parentWidget() == nullptr);
    QVERIFY(!w.form->Overlays().PuErr->isVisible());
    QVERIFY(!w.form->Overlays().Visible(w.form->Overlays().PuErr));

    w.form->PageControl1->setCurrentIndex(2);
    for (QWidget* overlay : {static_cast<QWidget*>(w.form->Overlays().LiftB), static_cast<QWidget*>(w.form->Overlays().Clk)}) {
      QCOMPARE(overlay->parentWidget(), tab2);
      QVERIFY(overlay->isVisible());
    }
    QCOMPARE(OnMap(w, w.form->Overlays().LiftB), QRect(200, 10, 80, 50));  // same place on the new tab
    QVERIFY(w.form->Overlays().PuErr->parentWidget() == nullptr);

    // On a map shown at half its size they shrink with it; zoomed in and
    // scrolled away, they keep their size and stay in the view.
    TMapView* cellar = w.form->Maps().View(2);
    cellar->SetZoom(0.5);
    QCOMPARE(OnMap(w, w.form->Overlays().LiftB), QRect(100, 5, 40, 25));
    cellar->SetZoom(4.0);
    QTRY_VERIFY(cellar->verticalScrollBar()->maximum() > 0);
    cellar->verticalScrollBar()->setValue(cellar->verticalScrollBar()->maximum());
    QCOMPARE(w.form->Overlays().LiftB->geometry().size(), QSize(80, 50));
    QVERIFY(cellar->viewport()->geometry().contains(w.form->Overlays().LiftB->geometry()));
    cellar->SetZoom(1.0);

    // The feed's counter values and the speaker's call state.
    QVERIFY(
        w.Feed({"LIFTBREAK VALUE=4", "SPEAKER CALL=1"}, [&] { return w.form->Overlays().BigSpk->CallState() == 1; }));
    QCOMPARE(w.form->Overlays().LiftB->Value(), 4);
    vertamo::test::SaveShot(w.form->grab().toImage(), "workstation_overlays");

    // F5: the overlays leave the tabs before the tabs go, and come back with
    // the new load.
    QPointer<TValInd> counter = w.form->Overlays().LiftB;
    QTest::keyClick(w.form.get(), Qt::Key_F5);
    QVERIFY(counter);
    QVERIFY(w.WaitForMaps());
    QCOMPARE(w.form->Overlays().LiftB->parentWidget(), w.form->PageControl1->widget(0));
  }

  void clockShowsHoursAndMinutes() {
    Workstation w;
    QVERIFY(w.WaitForMaps());
    QLabel* clock = w.form->Overlays().Clk;
    QCOMPARE(OnMap(w, clock), QRect(200, 70, 90, 30));
    QCOMPARE(clock->font().family(), QStringLiteral("Arial"));
    QCOMPARE(clock->font().pointSize(), 14);
    QVERIFY(clock->font().bold());
    QVERIFY(!clock->font().italic());
    QVERIFY(clock->autoFillBackground());
    QCOMPARE(clock->palette().color(QPalette::Window), QColor(0, 0, 0));
    QCOMPARE(clock->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    const QString before = QTime::currentTime().toString("hh:mm");
    QTRY_VERIFY(!clock->text().isEmpty());
    const QString after = QTime::currentTime().toString("hh:mm");
    QVERIFY2(clock->text() == before || clock->text() == after, qPrintable(clock->text()));
    QVERIFY(QRegularExpression("^\\d\\d:\\d\\d$").match(clock->text()).hasMatch());
  }

  void markerAroundAnObject() {
    Workstation w;
    QVERIFY(w.WaitForMaps());
    TMapBoard& maps = w.form->Maps();
    // Object 3 lies on map 2: the map comes up, the marker around its picture.
    w.form->ShowObjectOnMap(3);
    QCOMPARE(w.form->PageControl1->currentIndex(), 2);
    QCOMPARE(w.form->windowTitle(), QStringLiteral("Подвал"));
    QCOMPARE(maps.Marked(), maps.View(2));
    QCOMPARE(maps.View(2)->Marker(), QRectF(40 - 6, 48 - 6, 24, 24));  // around 40,48 12 x 12

    // An object without picture, or a number outside the list: hidden, the
    // map stays.
    for (int object : {99, -1}) {
      w.form->ShowObjectOnMap(3);
      QVERIFY(maps.View(2)->MarkerShown());
      w.form->ShowObjectOnMap(object);
      QVERIFY(!maps.View(2)->MarkerShown());
      QCOMPARE(w.form->PageControl1->currentIndex(), 2);
    }
    w.form->ShowObjectOnMap(0);
    QCOMPARE(maps.View(0)->Marker(), QRectF(10 - 16, 18 - 12, 64, 48));
    // Clicks go through it to the lift.
    QSignalSpy pressed(&maps, &TMapBoard::ObjectPressed);
    vertamo::test::ClickObject(*w.form, 0);
    QCOMPARE(pressed.count(), 1);
  }

  void journalRowsAndColours() {
    Workstation w;
    QVERIFY(w.WaitForMaps());
    TLogLast* journal = w.form->LogLast();
    QVERIFY(journal && journal->isVisible());
    QVERIFY(w.Feed({LogLine(2, 0x0000FF, 0xFFFFFF, "Первое")},
                   [&] { return journal->Row(0).texts[4] == QStringLiteral("Первое"); }));
    QCOMPARE(journal->Row(0).color, 0x0000FF);
    QCOMPARE(journal->Row(0).fontColor, 0xFFFFFF);
    QCOMPARE(journal->Row(0).object, 2);
    QCOMPARE(journal->Row(0).texts[2], QStringLiteral("Лифт"));
    // A line without T5 adds nothing.
    std::string noT5 = LogLine(1, 0, 0, "Без примечания");
    noT5.erase(noT5.find(" T5="));
    QVERIFY(w.Feed({noT5, LogLine(1, 0x00FF00, 0, "Второе")},
                   [&] { return journal->Row(0).texts[4] == QStringLiteral("Второе"); }));
    QCOMPARE(journal->Row(1).texts[4], QStringLiteral("Первое"));

    // 101 entries: the newest on top, the oldest lost.
    std::vector<std::string> lines;
    for (int i = 1; i <= 101; ++i) lines.push_back(LogLine(0, 0xFFFFFF, 0, "Событие " + std::to_string(i)));
    QVERIFY(w.Feed(lines, [&] { return journal->Row(0).texts[4] == QStringLiteral("Событие 101"); }));
    QCOMPARE(journal->Row(99).texts[4], QStringLiteral("Событие 2"));

    // The journal's row click shows the object on the map (when switched on).
    emit journal->ShowObjectOnMapRequested(3);
    QCOMPARE(w.form->PageControl1->currentIndex(), 2);
    QVERIFY(w.form->Maps().View(2)->MarkerShown());
    emit journal->HideMapMarkerRequested();
    QVERIFY(!w.form->Maps().View(2)->MarkerShown());

    // A new connection cycle empties the journal of the server's entries;
    // the day so far comes back from its file, pale.
    QTest::keyClick(w.form.get(), Qt::Key_F5);
    QVERIFY(journal->Row(0).earlier);
    QCOMPARE(journal->Row(0).texts[4], QStringLiteral("Событие 101"));
  }

  // An event on a map behind marks its tab until the tab is shown; a click
  // on its journal line shows its object; a click on the blinking speaker
  // shows the object that calls.
  void unseenEventsMarkTheirTabsAndLeadToTheirObject() {
    Workstation w;
    QVERIFY(w.WaitForMaps());
    QCOMPARE(w.form->PageControl1->currentIndex(), 0);
    TTabMarks& marks = *w.form->TabMarks;
    TLogLast* journal = w.form->LogLast();
    // Object 3 lies on map 2.
    QVERIFY(w.Feed({LogLine(3, 0x00FFFF, 0x0000FF, "Вызов диспетчера из кабины"), "UPDATE OBJ=3 IDX=1"},
                   [&] { return marks.Marks().Mark(2).count == 2; }));
    QLabel* badge = marks.Badge(2);
    QVERIFY(badge && badge->isVisible());
    QCOMPARE(badge->text(), QStringLiteral("2"));
    QVERIFY2(badge->styleSheet().contains(QStringLiteral("#ffff00")), qPrintable(badge->styleSheet()));
    QVERIFY(!marks.Badge(0) && !marks.Badge(1));
    // The tab bar makes room for the badge rather than hiding tabs.
    QTabBar* bar = w.form->PageControl1->tabBar();
    QTRY_VERIFY(bar->width() >= bar->sizeHint().width());
    vertamo::test::SaveShot(w.form->grab().toImage(), "unseen_event_tab");
    // The journal line's click brings its map forward, the object marked.
    TLogGrid* grid = journal->Grid();
    const QRect row = grid->visualRect(grid->model()->index(0, 3));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, row.center());
    QCOMPARE(w.form->PageControl1->currentIndex(), 2);
    QVERIFY(w.form->Maps().View(2)->MarkerShown());
    QCOMPARE(marks.Marks().Mark(2).count, 0);
    QVERIFY(!marks.Badge(2));
    // The speaker calls: a click on it shows the calling object.
    w.form->ShowMap(0);
    w.form->Maps().HideMarker();
    QVERIFY(w.Feed({"SPEAKER CALL=1"}, [&] { return w.form->Overlays().BigSpk->CallState() == 1; }));
    QCOMPARE(w.form->CallingObject(), 3);
    QTest::mouseClick(w.form->Overlays().BigSpk, Qt::LeftButton);
    QCOMPARE(w.form->PageControl1->currentIndex(), 2);
    QVERIFY(w.form->Maps().View(2)->MarkerShown());
    // The ring is brief: it goes once its time is up.
    QVERIFY(w.form->MarkerTimer->isActive());
    QCOMPARE(w.form->MarkerTimer->interval(), TFormVertamo::kMarkerMs);
    w.form->MarkerTimer->start(1);
    QTRY_VERIFY(!w.form->Maps().View(2)->MarkerShown());
  }

  void textLinksAndHighlighting() {
    Workstation w;
    QVERIFY(w.WaitForMaps());
    TTextItem* toCellar = LabelOf(w, 0);
    TTextItem* toDistrict = LabelOf(w, 1);
    TTextItem* toHall = LabelOf(w, 4);
    QVERIFY(toCellar && toDistrict && LabelOf(w, 2) && toHall);
    QVERIFY(LabelOf(w, 3) == nullptr);  // invisible: not drawn at all
    TMapView* district = w.form->Maps().View(0);
    const auto click = [&](TMapView* view, TTextItem* text, Qt::MouseButton button, Qt::KeyboardModifiers keys) {
      QTest::mouseClick(view->viewport(), button, keys, view->ToView(text->sceneBoundingRect()).topLeft() + QPoint(3, 3));
    };

    // Not on the right button, not with Ctrl or Shift; the left and middle
    // buttons switch.
    click(district, toCellar, Qt::RightButton, {});
    click(district, toCellar, Qt::LeftButton, Qt::ControlModifier);
    click(district, toCellar, Qt::LeftButton, Qt::ShiftModifier);
    QCOMPARE(w.form->PageControl1->currentIndex(), 0);
    click(district, toCellar, Qt::MiddleButton, {});
    QCOMPARE(w.form->PageControl1->currentIndex(), 2);
    QCOMPARE(w.form->windowTitle(), QStringLiteral("Подвал"));
    // A link to the first map (APARAM=0).
    w.form->ShowMap(1);
    click(w.form->Maps().View(1), toDistrict, Qt::LeftButton, {});
    QCOMPARE(w.form->PageControl1->currentIndex(), 0);

    // Highlighting: one text at a time, swapped colours; the tab bar takes
    // the light off (the map's own cases are the scene's tests).
    const QColor background = toCellar->BackgroundColor(), font = toCellar->FontColor();
    QTest::mouseMove(district->viewport(), district->ToView(toCellar->sceneBoundingRect()).center());
    QTRY_COMPARE(w.form->HotText(), w.Text(0));
    QCOMPARE(toCellar->BackgroundColor(), font);
    QCOMPARE(toCellar->FontColor(), background);
    QTest::mouseMove(district->viewport(), district->ToView(toHall->sceneBoundingRect()).center());
    QTRY_COMPARE(w.form->HotText(), w.Text(4));
    QCOMPARE(toCellar->BackgroundColor(), background);
    QCOMPARE(toHall->FontColor(), QColor(255, 255, 255));
    QTest::mouseMove(w.form->PageControl1->tabBar(), QPoint(5, 5));
    QTRY_VERIFY(w.form->HotText() == nullptr);
    QCOMPARE(toHall->FontColor(), QColor(0, 0, 0));
    // A new load forgets the lit text.
    QTest::mouseMove(district->viewport(), district->ToView(toHall->sceneBoundingRect()).center());
    QTRY_COMPARE(w.form->HotText(), w.Text(4));
    QTest::keyClick(w.form.get(), Qt::Key_F5);
    QVERIFY(w.form->HotText() == nullptr);
  }

  void clickOnAnObjectTellsTheServer() {
    Workstation w;
    QVERIFY(w.WaitForMaps());
    vertamo::test::ClickObject(*w.form, 2, Qt::RightButton);
    vertamo::test::ClickObject(*w.form, 0, Qt::LeftButton);
    QTRY_VERIFY([&] {
      int found = 0;
      for (const auto& entry : w.server.Record())
        if (entry.line == "MOUSEDOWN OBJ=2" || entry.line == "MOUSEDOWN OBJ=0") ++found;
      return found == 2;
    }());
  }

  void counterDoubleClickOpensItsReport() {
    Workstation w;
    QVERIFY(w.WaitForMaps());
    QTest::mouseDClick(w.form->Overlays().OhrAlr, Qt::LeftButton, {}, QPoint(5, 5));
    QTRY_VERIFY(w.form->FormView);
    QCOMPARE(w.form->FormView->windowTitle(), QStringLiteral("Охранные датчики..."));
  }

  void buildFromAHandFilledModel() {
    // Without a connection: the model as a load leaves it, then BuildMaps.
    testing::TempFolder dir;
    TAppSettings settings("/opt/vertamo/", "vertamo");
    settings.ChooseWorkFolder("Vertamo", dir.path());
    TFormOptions options;
    options.startClient = false;
    TFormVertamo form(settings, options);
    TMapModel& model = form.Model();
    model.MapList.Add("A", false);
    model.MapList.Add("B", false);
    for (int map : {1, 7, -1, 0}) {
      MAPOBJECT object;
      object.SetMapIndex(map);
      object.SetX(5 * map);
      model.ObjectList.Add(object);
    }
    MAPTEXT text;
    text.MapIndex = 3;
    model.TextList.Add(text);
    QVERIFY(form.BuildMaps());
    QCOMPARE(form.PageControl1->count(), 2);
    QCOMPARE(form.windowTitle(), QStringLiteral("A"));
    // Objects whose map does not exist are not drawn, nor are such texts.
    TMapBoard& maps = form.Maps();
    QVERIFY(maps.ObjectItem(0) && maps.ObjectItem(3));
    QVERIFY(!maps.ObjectItem(1) && !maps.ObjectItem(2));
    QVERIFY(!maps.TextItem(0));
    QCOMPARE(maps.ObjectItem(0)->scene(), &maps.View(1)->Scene());
    // The marker: not for an object without picture.
    form.ShowObjectOnMap(0);
    QVERIFY(maps.View(1)->MarkerShown());
    form.ShowObjectOnMap(1);
    QVERIFY(!maps.View(1)->MarkerShown());
    QCOMPARE(form.PageControl1->currentIndex(), 1);
    // Updates of objects without picture change the model only.
    form.SetObjectState(1, 3);
    QCOMPARE(model.ObjectList.Get(1)->Idx, 3);
    form.SetObjectCaption(2, "x");
    QCOMPARE(model.ObjectList.Get(2)->Caption.str(), std::string("x"));
    form.SetObjectState(40, 1);  // outside the list: nothing
    // ShowMap outside the tabs: false, nothing changes.
    QVERIFY(!form.ShowMap(2));
    QVERIFY(!form.ShowMap(-1));
    QCOMPARE(form.PageControl1->currentIndex(), 1);
    // ClearMaps: back to connecting, every tab gone.
    form.ClearMaps();
    QCOMPARE(form.PageControl1->count(), 0);
    QCOMPARE(model.ObjectList.Count(), 0);
    QCOMPARE(form.windowTitle(), QStringLiteral("Подключение..."));
    QCOMPARE(maps.Count(), 0);
    // Requests without a connection fail at once.
    QVERIFY(!form.SendCommand("MOUSEDOWN OBJ=0"));
    QVERIFY(!form.SendListCommand("MOUSEDOWN LIFTBREAK"));
  }

  void aCatalogueWithoutMapsStaysConnecting() {
    auto scenario = test::SmallDistrict();
    scenario->maps.clear();
    scenario->objects.clear();
    scenario->texts.clear();
    Workstation w(scenario);
    QTRY_COMPARE(w.form->Client()->Stage(), int(kStagePolling));
    QVERIFY(!w.form->PageControl1->isVisible());
    QCOMPARE(w.form->PageControl1->count(), 0);
    QVERIFY(w.form->LabelSrv->isVisible());
    QCOMPARE(w.form->windowTitle(), QStringLiteral("Подключение..."));
    QVERIFY(!w.form->BuildMaps());
  }

  void progressBarWhileTheCatalogueLoads() {
    // Held at the first background: the bar shows 1 of 3.
    auto scenario = test::SmallDistrict();
    scenario->faults.push_back({orvexsim::FaultKind::Stall, orvexsim::Step::GetPictMap});
    Workstation w(scenario);
    QTRY_COMPARE(w.form->Client()->Stage(), int(kStageBackgrounds));
    QTRY_COMPARE(w.form->StatusText(1), QStringLiteral("Получение подложки карты 1 из 3"));
    QTRY_VERIFY(w.form->LoadProgress->isVisible());
    QCOMPARE(w.form->LoadProgress->maximum(), 3);
    QCOMPARE(w.form->LoadProgress->value(), 1);
    vertamo::test::SaveShot(w.form->grab().toImage(), "workstation_loading");
  }

  void progressBarWithoutATotal() {
    // Held at the first picture set, whose text names the set only: the count
    // the connection thread hands over next to it moves the bar.
    auto scenario = test::SmallDistrict();
    scenario->faults.push_back({orvexsim::FaultKind::Stall, orvexsim::Step::GetPictIml});
    Workstation w(scenario);
    QTRY_COMPARE(w.form->Client()->Stage(), int(kStagePictures));
    QTRY_VERIFY(w.form->StatusText(1).startsWith(QStringLiteral("Получение набора картинок ")));
    QTRY_VERIFY(w.form->LoadProgress->isVisible());
    QTRY_VERIFY(w.form->LoadProgress->maximum() > 0);
    QCOMPARE(w.form->LoadProgress->value(), 1);
    // The counts the connection thread hands over move it.
    w.form->ShowProgress(2, 5);
    QCOMPARE(w.form->LoadProgress->maximum(), 5);
    QCOMPARE(w.form->LoadProgress->value(), 2);
    w.form->ShowProgress(9, 5);
    QCOMPARE(w.form->LoadProgress->value(), 5);
    // F5: the new cycle starts without the bar until its load begins.
    QTest::keyClick(w.form.get(), Qt::Key_F5);
    QTRY_COMPARE(w.form->Client()->Stage(), int(kStagePictures));
    QTRY_VERIFY(w.form->LoadProgress->isVisible());
  }

  void debugLogCacheAndARestartFromTheCache() {
    Workstation w(test::SmallDistrict(), test::QuietServer(), test::QuickTimings(), true, /*debug=*/true);
    QVERIFY(w.WaitForMaps());
    QTRY_VERIFY(testing::ReadWholeFile(w.dir.file("Client.log")).find("GETCHANGES") != std::string::npos);
    const std::string log = testing::ReadWholeFile(w.dir.file("Client.log"));
    QVERIFY(log.find(Utf8ToCp1251("Создание карты 0")) != std::string::npos);
    QVERIFY(log.find(Utf8ToCp1251("Создание объекта карты 3")) != std::string::npos);
    QVERIFY(QDir(QString::fromStdString(w.dir.file("Cache"))).entryList(QDir::Files).size() >= 4);
    const int downloads = w.Requests("GETPICTIML ") + w.Requests("GETPICTMAP ");
    QVERIFY(downloads > 0);
    // F5: the pictures come from the cache (only their checksums are asked).
    const int checks = w.Requests("GETPICTIMLCS ");
    QTest::keyClick(w.form.get(), Qt::Key_F5);
    QVERIFY(w.WaitForMaps());
    QCOMPARE(w.Requests("GETPICTIML ") + w.Requests("GETPICTMAP "), downloads);
    QVERIFY(w.Requests("GETPICTIMLCS ") > checks);
    QTRY_COMPARE(ShownAt(w, 0), qRgb(0, 0xA0, 0) & 0xFFFFFFu);
  }

  void settingsConfirmedWithoutChange() {
    Workstation w;
    QVERIFY(w.WaitForMaps());
    const int connections = w.server.ConnectionsAccepted();
    const int maps = w.form->PageControl1->count();
    testing::WriteWholeFile(w.dir.file("Vertamo.ini"), "old");
    w.form->mSetup->trigger();
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    QVERIFY(dialog);
    dialog->accept();
    // Saved, the label rewritten, no new connection: a reconnect would have
    // cleared the tabs as OK was handled, and the thread polls on over the
    // connection it had.
    QVERIFY(testing::ReadWholeFile(w.dir.file("Vertamo.ini")).find("[ServerInfo]") != std::string::npos);
    QCOMPARE(w.form->LabelSrv->text(), QStringLiteral("Подключение к серверу Тестовый сервер"));
    QCOMPARE(w.form->PageControl1->count(), maps);
    QVERIFY(w.form->PageControl1->isVisible());
    const int polls = w.Requests("GETCHANGES");
    QTRY_VERIFY(w.Requests("GETCHANGES") > polls);
    QCOMPARE(w.server.ConnectionsAccepted(), connections);
  }
};

QTEST_MAIN(WorkstationTest)
#include "workstation_test.moc"
