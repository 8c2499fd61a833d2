// The maps on screen: what a map's scene shows of its objects and texts, where
// at a zoom, what the mouse does on it, and how the view zooms and scrolls.
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QtTest>

#include "map/map_model.h"
#include "map/ui/map_board.h"
#include "map/ui/map_items.h"
#include "map/ui/map_view.h"
#include "platform/cp1251.h"
#include "support/solid_image.h"
#include "ui/widget_shots.h"

using namespace vertamo;
using namespace vertamo::ui;
using vertamo::testing::SolidImage;

namespace {

constexpr QRgb kMap = 0xFF102030, kRed = 0xFFFF0000, kGreen = 0xFF00FF00;

// A tab widget of 400 x 330 showing the maps of its model: map 0, 400 x 300,
// with a lift of two states (red, green, 32 x 24) at 10,20 and a text; map 1,
// 1600 x 1200, for zooming.
struct Desk {
  QTabWidget tabs;
  TMapModel model;
  TMapBoard board{&tabs};

  Desk() {
    tabs.resize(400, 330);
    model.MapList.Add("Small", true)->Picture->Pixels = SolidImage(400, 300, kMap);
    model.MapList.Add("Large", true)->Picture->Pixels = SolidImage(1600, 1200, kMap);
    model.PictureSets.FindOrCreateSet("lift", 1, 1);
    for (QRgb colour : {kRed, kGreen})
      model.PictureSets.AddPicture("lift", TBitmap{SolidImage(32, 24, colour), false});
    MAPOBJECT lift;
    lift.SetX(10);
    lift.SetY(20);
    lift.SetName(Utf8ToCp1251("Лифт 1"));
    lift.SetHint(Utf8ToCp1251("Лифт 1$ул. <Лесная>"));
    lift.SetCapVisible(true);
    lift.SetCY(2);
    lift.Pictures = model.PictureSets.FindSet("lift");
    model.ObjectList.Add(lift);
    MAPTEXT link;
    link.X = 200;
    link.Y = 104;
    link.Caption = Utf8ToCp1251("На карту 2");
    link.Action = 1;
    link.AParam = 1;
    model.TextList.Add(link);
  }
  void Show() {
    board.Build(model);
    tabs.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tabs));
  }
  TMapView& View(int map) { return *board.View(map); }
  QRgb Pixel(int map, QPoint at) { return View(map).viewport()->grab().toImage().pixel(at); }
};

}  // namespace

class MapSceneTest : public QObject {
  Q_OBJECT

 private slots:
  void aMapIsFilledOnlyWhenFirstNeeded() {
    Desk desk;
    desk.Show();
    QVERIFY(desk.View(0).Filled());
    QVERIFY(!desk.View(1).Filled());
    // An item asked for fills its map.
    desk.model.ObjectList.Get(0)->SetMapIndex(1);
    desk.board.Build(desk.model);
    QVERIFY(!desk.View(1).Filled());
    QVERIFY(desk.board.ObjectItem(0) != nullptr);
    QVERIFY(desk.View(1).Filled());
  }

  void anObjectShowsThePictureOfItsState() {
    Desk desk;
    desk.Show();
    // The picture sits at the server's X and 2 pixels above its Y.
    const QPoint middle(10 + 16, 18 + 12);
    QCOMPARE(desk.Pixel(0, middle), kRed);
    QCOMPARE(desk.Pixel(0, QPoint(9, 18)), kMap);
    desk.model.ObjectList.Get(0)->SetIdx(1);
    desk.board.PictureChanged(0);
    QTRY_COMPARE(desk.Pixel(0, middle), kGreen);
    // A state outside the set paints nothing: the map shows.
    desk.model.ObjectList.Get(0)->SetIdx(2);
    desk.board.PictureChanged(0);
    QTRY_COMPARE(desk.Pixel(0, middle), kMap);
    QCOMPARE(desk.board.Pictures().Conversions(), 2);  // each picture once
  }

  void anObjectIsWhereTheZoomPutsIt() {
    Desk desk;
    desk.Show();
    TObjectItem* lift = desk.board.ObjectItem(0);
    desk.View(0).SetZoom(2.0);
    QCOMPARE(desk.View(0).ToView(lift->sceneBoundingRect()), QRect(20, 36, 64, 48));
    QCOMPARE(desk.Pixel(0, QPoint(20 + 32, 36 + 24)), kRed);
    desk.View(0).SetZoom(0.5);  // smaller than the tab: in its middle
    const QPoint origin = desk.View(0).ToView(QRectF(0, 0, 1, 1)).topLeft();
    QCOMPARE(desk.View(0).ToView(lift->sceneBoundingRect()).translated(-origin), QRect(5, 9, 16, 12));
  }

  void captions_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("boxed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("name") << 0 << "" << false << "Лифт 1";
    QTest::newRow("caption") << 2 << "Л-1" << false << "Л-1";
    QTest::newRow("type 1 boxed") << 1 << "Л-1" << true << "Л-1";
  }
  void captions() {
    QFETCH(int, type);
    QFETCH(QString, caption);
    QFETCH(bool, boxed);
    QFETCH(QString, shown);
    Desk desk;
    MAPOBJECT& lift = *desk.model.ObjectList.Get(0);
    lift.SetType(type);
    lift.SetCaption(Utf8ToCp1251(caption.toStdString()));
    lift.SetCX(-5);
    desk.Show();
    TCaptionItem* label = desk.board.ObjectItem(0)->Caption();
    QVERIFY(label != nullptr);
    QCOMPARE(label->Text(), shown);
    QCOMPARE(label->Boxed(), boxed);
    // Below the picture, shifted by CX and CY: 10 - 5, 18 + 24 + 2.
    QCOMPARE(label->scenePos(), QPointF(5, 44));
    // A new caption from the change feed.
    lift.SetCaption(Utf8ToCp1251("Новый"));
    desk.board.CaptionChanged(0);
    QCOMPARE(label->Text(), QStringLiteral("Новый"));
  }

  void objectsWithoutCaptionOrPictures() {
    Desk desk;
    MAPOBJECT bare;
    bare.SetX(30);
    bare.SetY(40);
    desk.model.ObjectList.Add(bare);
    desk.Show();
    TObjectItem* item = desk.board.ObjectItem(1);
    QCOMPARE(item->sceneBoundingRect(), QRectF(30, 38, 16, 16));
    QVERIFY(item->Caption() == nullptr);
  }

  void transparentPicturesShowTheMapThrough() {
    Desk desk;
    Image image = SolidImage(4, 4, 0xFFFFFFFF);  // white all round ...
    image.argb[5] = kGreen;                      // ... but a green pixel at 1,1
    desk.model.PictureSets.FindOrCreateSet("dot", 1, 1);
    desk.model.PictureSets.AddPicture("dot", TBitmap{image, true});
    MAPOBJECT dot;
    dot.SetX(100);
    dot.SetY(102);
    dot.Pictures = desk.model.PictureSets.FindSet("dot");
    desk.model.ObjectList.Add(dot);
    desk.Show();
    QCOMPARE(desk.Pixel(0, QPoint(101, 101)), kGreen);
    QCOMPARE(desk.Pixel(0, QPoint(100, 100)), kMap);
  }

  void texts_data() {
    QTest::addColumn<int>("flags");
    QTest::addColumn<QRectF>("place");
    QTest::addColumn<bool>("filled");
    const int autoSize = kTextVisible | kTextAutoSize;
    QTest::newRow("server's size, opaque") << int(kTextVisible) << QRectF(200, 100, 120, 30) << true;
    QTest::newRow("server's size, transparent") << int(kTextVisible | kTextTransparent) << QRectF(200, 100, 120, 30)
                                                << false;
    QTest::newRow("auto size") << autoSize << QRectF() << true;
  }
  void texts() {
    QFETCH(int, flags);
    QFETCH(QRectF, place);
    QFETCH(bool, filled);
    Desk desk;
    MAPTEXT& text = *desk.model.TextList.Get(0);
    text.Flags = static_cast<uint8_t>(flags);
    text.W = 120;
    text.H = 30;
    text.Color = 0x0000FF;  // red
    desk.Show();
    TTextItem* item = desk.board.TextItem(0);
    if (place.isNull()) {
      // As large as its words, four pixels above the server's Y.
      QCOMPARE(item->scenePos(), QPointF(200, 100));
      const QSizeF words = QFontMetricsF(item->Font()).size(0, item->Text());
      QCOMPARE(item->boundingRect().size(), QSizeF(std::ceil(words.width()), std::ceil(words.height())));
    } else {
      QCOMPARE(item->sceneBoundingRect(), place);
    }
    QCOMPARE(desk.Pixel(0, QPoint(201, 101)) == kRed, filled);
  }

  void invisibleTextsAreNotDrawn() {
    Desk desk;
    desk.model.TextList.Get(0)->Flags = kTextTransparent;
    desk.Show();
    QVERIFY(desk.board.TextItem(0) == nullptr);
  }

  void theMouseOnTheMap() {
    Desk desk;
    desk.Show();
    TMapView& view = desk.View(0);
    QSignalSpy objects(&desk.board, &TMapBoard::ObjectPressed);
    QSignalSpy texts(&desk.board, &TMapBoard::TextPressed);
    // Any button on the picture (a double click presses twice); nothing on its caption.
    QTest::mouseClick(view.viewport(), Qt::RightButton, {}, QPoint(20, 25));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(20, 25));
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, QPoint(20, 25));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(12, 46));
    QCOMPARE(objects.count(), 3);
    QCOMPARE(objects.at(0).at(0).toInt(), 0);
    QCOMPARE(objects.at(0).at(1).value<Qt::MouseButton>(), Qt::RightButton);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ShiftModifier, QPoint(203, 103));
    QCOMPARE(texts.count(), 1);
    QCOMPARE(texts.at(0).at(2).value<Qt::KeyboardModifiers>(), Qt::ShiftModifier);
    // Over a text with an action it lights up; over the pictures it stays
    // lit; over the bare map it goes out.
    const QColor font = desk.board.TextItem(0)->FontColor();
    QTest::mouseMove(view.viewport(), QPoint(203, 103));
    QTRY_COMPARE(desk.board.HotText(), 0);
    QCOMPARE(desk.board.TextItem(0)->BackgroundColor(), font);
    QTest::mouseMove(view.viewport(), QPoint(20, 25));
    QTest::qWait(20);
    QCOMPARE(desk.board.HotText(), 0);
    QTest::mouseMove(view.viewport(), QPoint(300, 250));
    QTRY_COMPARE(desk.board.HotText(), -1);
    QVERIFY(!desk.model.TextList.Get(0)->Highlighted);
  }

  void theHintIsTheRecordsAsSent() {
    Desk desk;
    desk.Show();
    QCOMPARE(HintToolTip(desk.model.ObjectList.Get(0)->Hint.str()),
             QStringLiteral("<p style='white-space:pre'>Лифт 1\nул. &lt;Лесная&gt;</p>"));
    QCOMPARE(HintToolTip(""), QString());
  }

  void aLargeMapFitsUntilTheDispatcherZooms() {
    Desk desk;
    desk.Show();
    desk.tabs.setCurrentIndex(1);
    TMapView& view = desk.View(1);
    QSignalSpy zoomed(&view, &TMapView::Zoomed);
    view.ZoomByDefault();
    QCOMPARE(zoomed.count(), 0);  // not a choice of the dispatcher's
    QVERIFY(view.Zoom() < 1.0);
    QTRY_VERIFY(!view.horizontalScrollBar()->isVisible() && !view.verticalScrollBar()->isVisible());
    // Fitted, it stays so as the window grows, enlarged by half at most; a
    // tab larger still shows it as designed, in the middle.
    desk.tabs.resize(2000, 1600);
    QTRY_VERIFY2(view.Zoom() > 1.1 && view.Zoom() <= 1.5, qPrintable(QString::number(view.Zoom())));
    desk.tabs.resize(3000, 2400);
    QTRY_COMPARE(view.Zoom(), 1.0);
    QTRY_VERIFY((view.ToView(QRectF(0, 0, 1600, 1200)).center() - view.viewport()->rect().center()).manhattanLength() <= 2);
    desk.tabs.resize(400, 330);
    QTRY_VERIFY(view.Zoom() < 1.0);
    // The dispatcher's 100 %: scroll bars.
    view.SetZoom(1.0);
    QCOMPARE(zoomed.count(), 1);
    QTRY_VERIFY(view.verticalScrollBar()->isVisible());
  }

  void ctrlAndTheWheelZoomAroundTheMouse() {
    Desk desk;
    desk.Show();
    desk.tabs.setCurrentIndex(1);
    TMapView& view = desk.View(1);
    view.SetZoom(1.0);
    const QPoint mouse(150, 100);
    const QPointF under = view.ToMap(mouse);
    QWheelEvent wheel(mouse, view.viewport()->mapToGlobal(mouse), {}, QPoint(0, 120), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &wheel);
    QCOMPARE(view.Zoom(), 1.1);
    QVERIFY((view.ToMap(mouse) - under).manhattanLength() < 1.5);
    // The wheel alone scrolls, Shift across.
    const int top = view.verticalScrollBar()->value(), left = view.horizontalScrollBar()->value();
    QWheelEvent down(mouse, view.viewport()->mapToGlobal(mouse), {}, QPoint(0, -120), Qt::NoButton, {},
                     Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &down);
    QCOMPARE(view.verticalScrollBar()->value(), top + 60);
    QWheelEvent across(mouse, view.viewport()->mapToGlobal(mouse), {}, QPoint(0, -120), Qt::NoButton,
                       Qt::ShiftModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &across);
    QCOMPARE(view.horizontalScrollBar()->value(), left + 60);
  }

  void zoomSteps() {
    QCOMPARE(NextZoomStep(1.0, true), 1.1);
    QCOMPARE(NextZoomStep(1.0, false), 0.9);
    QCOMPARE(NextZoomStep(0.8, true), 0.9);  // from a fitted zoom to the next step
    QCOMPARE(NextZoomStep(4.0, true), 4.0);
    QCOMPARE(NextZoomStep(0.1, false), 0.1);
  }

  void theMarkerSurroundsItsObject() {
    Desk desk;
    desk.Show();
    QVERIFY(desk.board.ShowMarker(0));
    QCOMPARE(desk.board.Marked(), &desk.View(0));
    // Twice the picture's size, centred on it.
    QCOMPARE(desk.View(0).Marker(), QRectF(10 - 16, 18 - 12, 64, 48));
    desk.board.HideMarker();
    QVERIFY(!desk.View(0).MarkerShown());
    QVERIFY(!desk.board.ShowMarker(7));  // no such object
  }
};

QTEST_MAIN(MapSceneTest)
#include "map_scene_test.moc"
