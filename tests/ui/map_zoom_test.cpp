// Zoom and scrolling of the maps, and the places of the windows, on two
// screens: a 1280 x 800 one (primary) and a 1920 x 1080 one to its right.
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolTip>
#include <QWheelEvent>

#include "map/ui/map_board.h"
#include "map/ui/map_items.h"
#include "map/ui/map_view.h"
#include "shell/map_zoom_menu.h"
#include "settings/window_places.h"
#include "journal/ui/log_last.h"
#include "uikit/qt_text.h"
#include "uikit/widget_bounds.h"
#include "ui/widget_shots.h"
#include "ui/workstation_fixture.h"

using namespace vertamo;
using namespace vertamo::ui;
using vertamo::test::Workstation;

namespace {

// The journal's strip beside the main window: 200 pixels on either screen.
const int kSharedJournalHeight = vertamo::SharedJournalHeight(800);

const QRect kSmallScreen(0, 0, 1280, 800);
const QRect kLargeScreen(1280, 0, 1920, 1080);

TMapView* Page(Workstation& w, int map) { return w.form->Maps().View(map); }

// The whole map inside its view.
bool AllInView(TMapView* view) {
  return view->viewport()->rect().contains(view->ToView(QRectF(QPointF(0, 0), view->Extent())));
}

// The windows as the screen shows them: the main window and the journal.
QImage Screen(Workstation& w, const QRect& screen) {
  QImage image(screen.size(), QImage::Format_RGB32);
  image.fill(Qt::darkGray);
  QPainter painter(&image);
  for (QWidget* window : {static_cast<QWidget*>(w.form.get()), static_cast<QWidget*>(w.form->LogLast())})
    painter.drawImage(window->geometry().topLeft() - screen.topLeft(), window->grab().toImage());
  return image;
}

void Place(QWidget* window, const QRect& outer) {
  TWidgetBounds bounds(window);
  bounds.setLeft(outer.left());
  bounds.setTop(outer.top());
  bounds.setWidth(outer.width());
  bounds.setHeight(outer.height());
}

}  // namespace

class MapZoomTest : public QObject {
  Q_OBJECT

 private slots:
  void theDemoMapScrollsAt100AndFitsTheTab() {
    Workstation w(std::make_shared<orvexsim::Scenario>(orvexsim::BuildDemoScenario()));
    QVERIFY(w.WaitForMaps());
    // A first start on the small screen: the main window above the journal.
    QTRY_VERIFY(w.form->LogLast() && w.form->LogLast()->isVisible());
    QTRY_COMPARE(w.form->frameGeometry(), QRect(0, 0, 1280, 800 - kSharedJournalHeight));
    QTRY_COMPARE(w.form->LogLast()->frameGeometry(), QRect(0, 600, 1280, kSharedJournalHeight));
    std::vector<double> fitted;
    for (const char* screen : {"1280x800", "1920x1080"}) {
      if (QByteArray(screen) == "1920x1080") {
        Place(w.form.get(), kLargeScreen.adjusted(0, 0, 0, -kSharedJournalHeight));
        Place(w.form->LogLast(), QRect(kLargeScreen.left(), kLargeScreen.bottom() + 1 - kSharedJournalHeight,
                                       kLargeScreen.width(), kSharedJournalHeight));
        QTRY_COMPARE(w.form->frameGeometry(), kLargeScreen.adjusted(0, 0, 0, -kSharedJournalHeight));
      }
      const QRect area = QByteArray(screen) == "1280x800" ? kSmallScreen : kLargeScreen;
      for (int map = 0; map < w.form->PageControl1->count(); ++map) {
        w.form->ShowMap(map);
        TMapView* page = Page(w, map);
        TMapView* zoom = page;
        if (area == kSmallScreen) {
          // A first start: the map larger than its tab shows whole.
          QVERIFY(zoom->Fitting());
          if (map == 0) QVERIFY(zoom->Zoom() < 1.0);
          QVERIFY(AllInView(page));
          QTRY_VERIFY(!zoom->horizontalScrollBar()->isVisible() && !zoom->verticalScrollBar()->isVisible());
        }
        if (area == kLargeScreen) {
          // Fitted on the small screen, and still fitted on the large one.
          QVERIFY(zoom->Fitting());
          QVERIFY(zoom->Zoom() > fitted[static_cast<size_t>(map)]);
          QVERIFY(AllInView(page));
        }
        w.form->ZoomMenu->mZoom100->trigger();
        QCOMPARE(zoom->Zoom(), 1.0);
        // The whole map is reachable: the bars span what the tab does not show.
        const QSize extent = zoom->Extent().toSize();
        QScrollBar* hbar = zoom->horizontalScrollBar();
        QScrollBar* vbar = zoom->verticalScrollBar();
        QTRY_VERIFY(extent.width() <= page->width() || hbar->isVisible());
        QTRY_VERIFY(extent.height() <= page->height() || vbar->isVisible());
        const QSize view = zoom->viewport()->size();
        QCOMPARE(hbar->maximum() + view.width(), std::max(extent.width(), view.width()));
        QCOMPARE(vbar->maximum() + view.height(), std::max(extent.height(), view.height()));
        if (map == 0) {
          if (area == kSmallScreen) QVERIFY(hbar->isVisible() && vbar->isVisible());  // 1280 x 800 map
          test::SaveShot(Screen(w, area), QStringLiteral("map_zoom_%1_100").arg(screen));
        }
        w.form->ZoomMenu->mZoomFit->trigger();
        QVERIFY(zoom->Fitting());
        if (map == 0 && area == kSmallScreen) QVERIFY(zoom->Zoom() < 1.0);
        QTRY_VERIFY(!zoom->horizontalScrollBar()->isVisible() && !zoom->verticalScrollBar()->isVisible());
        QVERIFY2(AllInView(page), screen);
        fitted.resize(static_cast<size_t>(w.form->PageControl1->count()));
        fitted[static_cast<size_t>(map)] = zoom->Zoom();
        test::SaveShot(Screen(w, area), QStringLiteral("map_zoom_%1_fit_%2").arg(screen).arg(map));
      }
    }
  }

  void clicksHintsAndLinksReachTheirObjectAtAnyZoom() {
    Workstation w(std::make_shared<orvexsim::Scenario>(orvexsim::BuildDemoScenario()));
    QVERIFY(w.WaitForMaps());
    TMapModel& model = w.form->Model();
    TMapView* view = Page(w, 0);
    // Objects of the first map with a picture; a text there linking to another map.
    std::vector<int> objects;
    for (int i = 0; i < model.ObjectList.Count() && objects.size() < 4; ++i)
      if (model.ObjectList.Get(i)->MapIndex == 0 && model.ObjectList.Get(i)->Pictures) objects.push_back(i);
    QVERIFY(objects.size() == 4);
    int link = -1;
    for (int i = 0; i < model.TextList.Count() && link < 0; ++i) {
      const MAPTEXT* text = model.TextList.Get(i);
      if (text->MapIndex == 0 && text->Action == 1 && text->AParam > 0 && w.form->Maps().TextItem(i)) link = i;
    }
    QVERIFY(link >= 0);
    for (double scale : {0.5, 2.0, 1.0}) {
      w.form->ShowMap(0);
      view->SetZoom(scale);
      test::SaveShot(view->grab().toImage(), QStringLiteral("map_zoom_%1").arg(scale * 100));
      for (int index : objects) {
        const MAPOBJECT* object = model.ObjectList.Get(index);
        // The middle of the picture, from the object's map place.
        const QRectF mapRect(object->X, object->Y - TObjectItem::kTopShift, object->Pictures->Width(),
                             object->Pictures->Height());
        view->EnsureVisible(mapRect);
        const QPoint at = view->ToView(mapRect).center();
        const TObjectItem* hit = view->ObjectAt(at);
        QVERIFY2(hit && hit->Number() == index, qPrintable(QString::number(scale)));
        QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view->viewport(), &help);
        QTRY_COMPARE(QToolTip::text(), HintToolTip(object->Hint.str()));
        const std::string request = "MOUSEDOWN OBJ=" + std::to_string(index);
        const int before = w.Requests(request);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTRY_COMPARE_WITH_TIMEOUT(w.Requests(request), before + 1, 5000);
      }
      // The link, clicked where its text shows.
      const MAPTEXT* text = model.TextList.Get(link);
      const QRectF textRect(text->X, text->Y - 4, 4, 4);
      view->EnsureVisible(textRect);
      const QPoint at = view->ToView(textRect).center();
      QCOMPARE(view->TextAt(at), w.form->Maps().TextItem(link));
      QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
      QCOMPARE(w.form->PageControl1->currentIndex(), text->AParam);
    }
  }

  void ctrlWheelZoomsAroundTheMouseAndEachMapKeepsItsZoom() {
    auto w = std::make_unique<Workstation>();
    QVERIFY(w->WaitForMaps());
    TMapView* page = Page(*w, 0);
    TMapView* zoom = page;
    zoom->SetZoom(3.0);  // larger than the tab both ways
    const QPoint at(120, 90);
    const QPointF mapPoint = zoom->ToMap(at);
    QWheelEvent wheel(at, page->viewport()->mapToGlobal(at), {}, QPoint(0, 120), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(page->viewport(), &wheel);
    QCOMPARE(zoom->Zoom(), NextZoomStep(3.0, true));
    QVERIFY((zoom->ToMap(at) - mapPoint).manhattanLength() < 1.0);
    // Map 0 at 50 %, map 2 fitted, map 1 untouched.
    zoom->SetZoom(0.5);
    w->form->ShowMap(2);
    w->form->ZoomMenu->mZoomFit->trigger();
    const double fitted = Page(*w, 2)->Zoom();
    QVERIFY(fitted > 1.0);  // the small cellar map grows to the tab
    w->form->ShowMap(0);
    QCOMPARE(LiftOnView(*w), QRect(5, 9, 16, 12));  // 10,18 32 x 24 at 50 %

    // A restart in the same work folder.
    const std::string folder = w->settings->WorkFolder;
    auto settings = std::make_unique<TAppSettings>("/opt/vertamo/", "vertamo");
    w->form.reset();
    const std::string ini = testing::ReadWholeFile(w->dir.file("Vertamo.ini"));
    QVERIFY(ini.find(Utf8ToCp1251("[MapZoom]\r\nРайон=50\r\nПодвал=0\r\n")) != std::string::npos);
    settings->ChooseWorkFolder("Vertamo", w->dir.path());
    TFormOptions options;
    options.timings = test::QuickTimings();
    w->form = std::make_unique<TFormVertamo>(*settings, options);
    w->form->show();
    QVERIFY(w->WaitForMaps());
    QCOMPARE(Page(*w, 0)->Zoom(), 0.5);
    QVERIFY(!Page(*w, 0)->Fitting());
    QCOMPARE(Page(*w, 1)->Zoom(), 1.0);
    QVERIFY(Page(*w, 2)->Fitting());
    QTRY_COMPARE(LiftOnView(*w), QRect(5, 9, 16, 12));
    w->form.reset();
    settings.reset();
    w.reset();
  }

  // A fitted map shown for the first time gets its size while the tab widget
  // holds its updates off; it must paint once the switch is over, not keep
  // showing what the screen had before.
  void aMapTabOpenedForTheFirstTimePaintsItsOwnMap() {
    QTabWidget pageControl;
    pageControl.resize(400, 300);
    TMapModel model;
    const QRgb colours[] = {0xFF2040A0, 0xFFA04020};
    for (QRgb colour : colours) model.MapList.Add("Map", true)->Picture->Pixels = testing::SolidImage(800, 600, colour);
    TMapBoard board(&pageControl);
    board.Build(model);
    for (int m = 0; m < 2; ++m) board.View(m)->ZoomByDefault();
    pageControl.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pageControl));
    for (int tab : {1, 0, 1}) {
      pageControl.tabBar()->setCurrentIndex(tab);
      QWidget* viewport = board.View(tab)->viewport();
      QTRY_COMPARE(viewport->grab().toImage().pixel(viewport->rect().center()), colours[static_cast<size_t>(tab)]);
    }
  }

  void savedPlacesOpenInsideTheirScreen() {
    struct Case {
      QRect saved, expected;
    } cases[] = {
        {{-3000, 5000, 2500, 1500}, kSmallScreen},                // larger than any screen, nowhere
        {{100, 700, 700, 500}, {100, 300, 700, 500}},             // reaching below the screen
        {{1300, 100, 2500, 1500}, kLargeScreen},                  // larger than its screen
        {{1400, 50, 800, 600}, {1400, 50, 800, 600}},             // inside: as saved
    };
    for (const Case& c : cases) {
      QWidget window;
      window.setObjectName(QStringLiteral("Window"));
      window.show();
      QVERIFY(QTest::qWaitForWindowExposed(&window));
      testing::TempFolder dir;
      TFastIni ini(dir.file("a.ini"));
      ini.WriteInteger("Window", "Left", c.saved.left());
      ini.WriteInteger("Window", "Top", c.saved.top());
      ini.WriteInteger("Window", "Width", c.saved.width());
      ini.WriteInteger("Window", "Height", c.saved.height());
      TWidgetBounds bounds(&window);
      ini.ReadFormBounds(&bounds);
      QTRY_COMPARE(window.frameGeometry(), c.expected);
    }
    // The main window saved on a larger screen.
    testing::TempFolder dir;
    testing::WriteWholeFile(dir.file("Vertamo.ini"),
                            "[FormVertamo]\r\nLeft=-10\r\nTop=0\r\nWidth=1920\r\nHeight=1080\r\n");
    test::OfflineWindow window(dir.path());
    window.form->show();
    // Whole on this screen, and off the journal, which takes the bottom.
    QTRY_COMPARE(window.form->frameGeometry().topLeft(), kSmallScreen.topLeft());
    QCOMPARE(window.form->frameGeometry().width(), kSmallScreen.width());
    const QRect journal = window.form->LogLast()->frameGeometry();
    QVERIFY(kSmallScreen.contains(journal));
    QVERIFY(!window.form->frameGeometry().intersects(journal));
    QCOMPARE(window.form->frameGeometry().bottom() + 1, journal.top());
  }

  void aFirstStartShowsTheMainWindowAndTheJournalSideBySide() {
    testing::TempFolder dir;
    test::OfflineWindow window(dir.path());
    TFormVertamo& form = *window.form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_VERIFY(form.LogLast()->isVisible());
    QTRY_COMPARE(form.LogLast()->frameGeometry().height(), kSharedJournalHeight);
    QVERIFY(!form.frameGeometry().intersects(form.LogLast()->frameGeometry()));
    QVERIFY(kSmallScreen.contains(form.frameGeometry()));
    QVERIFY(kSmallScreen.contains(form.LogLast()->frameGeometry()));
  }

 private:
  // The first lift's picture as its view shows it.
  // Where the first lift shows, from the map's top left corner.
  static QRect LiftOnView(Workstation& w) {
    const TMapView* view = Page(w, 0);
    return view->ToView(w.form->Maps().ObjectItem(0)->sceneBoundingRect())
        .translated(-view->ToView(QRectF(0, 0, 1, 1)).topLeft());
  }
};

// The two screens, before the application starts.
int main(int argc, char** argv) {
  testing::TempFolder config;
  testing::WriteWholeFile(
      config.file("screens.json"),
      R"({"screens": [
           {"name": "small", "x": 0, "y": 0, "width": 1280, "height": 800, "logicalDpi": 96, "dpr": 1},
           {"name": "large", "x": 1280, "y": 0, "width": 1920, "height": 1080, "logicalDpi": 96, "dpr": 1}]})");
  qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + config.file("screens.json").c_str());
  QApplication app(argc, argv);
  MapZoomTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "map_zoom_test.moc"
