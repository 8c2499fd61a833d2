// The main window while the server is away: the last maps stay, greyed, under
// a banner with the server, the time and the reason, until the next load
// replaces them; F5 clears them at once.
#include <QLabel>
#include <QPointer>
#include <QRegularExpression>
#include <QScrollBar>
#include <QToolTip>
#include <QtTest>

#include "map/ui/map_items.h"
#include "map/ui/map_view.h"
#include "map/ui/valind.h"
#include "shell/map_zoom_menu.h"
#include "ui/widget_shots.h"
#include "ui/workstation_fixture.h"

using namespace vertamo;
using namespace vertamo::ui;
using vertamo::test::Workstation;

namespace {

TLinkDown Down(TLinkFault fault, const char* server, const QDateTime& since) {
  TLinkDown event;
  event.fault = fault;
  event.server = Utf8ToCp1251(server);
  event.host = "10.0.0.5";
  event.port = 9900;
  event.since = std::chrono::system_clock::time_point(std::chrono::milliseconds(since.toMSecsSinceEpoch()));
  return event;
}

struct TWheelCounter : QObject {
  int count = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    count += event->type() == QEvent::Wheel;
    return false;
  }
};

}  // namespace

class StaleViewTest : public QObject {
  Q_OBJECT

 private slots:
  void bannerNamesServerTimeAndReason() {
    const QDateTime now(QDate(2026, 12, 7), QTime(9, 30, 0));
    struct {
      TLinkDown event;
      QString text;
    } cases[] = {
        {Down(TLinkFault::Refused, "Центральная", QDateTime(now.date(), QTime(8, 5, 9))),
         "Нет связи с сервером Центральная (10.0.0.5:9900) с 08:05:09: соединение отклонено"},
        {Down(TLinkFault::NoAnswer, "", QDateTime(now.date(), QTime(9, 0, 0))),
         "Нет связи с сервером 10.0.0.5:9900 с 09:00:00: нет ответа"},
        // A link lost before midnight says the day too.
        {Down(TLinkFault::WrongLogin, "Центральная", QDateTime(QDate(2026, 12, 6), QTime(23, 59, 10))),
         "Нет связи с сервером Центральная (10.0.0.5:9900) с 06.12 23:59:10: неверное имя или пароль"},
    };
    for (const auto& c : cases) QCOMPARE(LinkDownText(c.event, now), c.text);
  }

  void mapsStayGreyedUntilTheServerReturns() {
    Workstation w;
    QVERIFY(w.started);
    QVERIFY(w.WaitForMaps());
    TFormVertamo& form = *w.form;
    QLabel* banner = form.findChild<QLabel*>("StaleBanner");
    QWidget* curtain = form.findChild<QWidget*>("StaleCurtain");
    QVERIFY(banner && curtain);
    QVERIFY(!banner->isVisible() && !curtain->isVisible());
    const int tabs = form.PageControl1->count();
    QPointer<QWidget> page = form.PageControl1->currentWidget();
    const QRgb background = qRgb(0x40, 0x50, 0x60);  // map 0's background
    QVERIFY(test::CountColor(test::Rendered(*form.PageControl1), background) > 0);

    // The server goes away in the middle of the feed.
    const uint16_t port = w.server.Port();
    w.server.Stop();
    QTRY_VERIFY_WITH_TIMEOUT(banner->text().endsWith("соединение отклонено"), 10000);
    const QRegularExpression text(QStringLiteral(
        "^Нет связи с сервером Тестовый сервер \\(127\\.0\\.0\\.1:%1\\) с \\d\\d:\\d\\d:\\d\\d: ").arg(port));
    QVERIFY2(text.match(banner->text()).hasMatch(), qPrintable(banner->text()));
    QVERIFY(banner->isVisible());
    // The maps, the counters and the pictures stay, greyed; clicks reach the curtain only.
    QVERIFY(form.PageControl1->isVisible());
    QCOMPARE(form.PageControl1->count(), tabs);
    QCOMPARE(form.PageControl1->currentWidget(), page.data());
    QVERIFY(form.Overlays().LiftB->isVisible());
    QVERIFY(curtain->isVisible());
    TMapView* map = qobject_cast<TMapView*>(form.PageControl1->currentWidget());
    QVERIFY(map);
    const QPoint onLift = form.PageControl1->mapFromGlobal(form.Maps().ScreenArea(0).center());
    QCOMPARE(form.PageControl1->childAt(onLift), curtain);
    // ... while the hints of the pictures below still show.
    const QPoint global = form.PageControl1->mapToGlobal(onLift);
    QHelpEvent help(QEvent::ToolTip, curtain->mapFromGlobal(global), global);
    QApplication::sendEvent(curtain, &help);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), HintToolTip(w.Object(0)->Hint.str()));
    QToolTip::hideText();
    // ... and the wheel still reaches the map.
    TWheelCounter wheels;
    map->viewport()->installEventFilter(&wheels);
    QWheelEvent wheel(curtain->mapFromGlobal(QPointF(global)), QPointF(global), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(curtain, &wheel);
    QCOMPARE(wheels.count, 1);
    // ... and so do the scroll bars of a map larger than its tab.
    for (int step = 0; step < 4; ++step) form.ZoomMenu->mZoomIn->trigger();
    QScrollBar* bar = map->verticalScrollBar();
    QTRY_VERIFY(bar->isVisible());
    bar->setValue(0);
    // Below the handle, above the arrow at the end.
    const QPoint trough =
        curtain->mapFromGlobal(bar->mapToGlobal(QPoint(bar->width() / 2, bar->height() - bar->width() - 3)));
    QCOMPARE(form.PageControl1->childAt(curtain->mapTo(form.PageControl1, trough)), curtain);
    QTest::mousePress(curtain, Qt::LeftButton, {}, trough);
    QTest::mouseRelease(curtain, Qt::LeftButton, {}, trough);
    QVERIFY2(bar->value() > 0, qPrintable(QString::number(bar->value())));
    form.ZoomMenu->mZoom100->trigger();
    QCOMPARE(test::CountColor(test::Rendered(*form.PageControl1), background), 0);
    QCOMPARE(form.windowTitle(), QStringLiteral("Подключение..."));
    QTRY_COMPARE(form.StatusText(1), QStringLiteral("Пауза..."));
    test::SaveShot(form.grab().toImage(), "stale_view");
    form.resize(520, 500);
    QTest::qWait(200);
    test::SaveShot(form.grab().toImage(), "stale_view_narrow");

    // Back on the same port: the next load replaces the stale maps.
    orvexsim::Server again;
    orvexsim::ServerOptions options = test::QuietServer();
    options.port = port;
    options.faults = {{orvexsim::FaultKind::Delay, orvexsim::Step::GetMap, -1, -1, 500}};
    std::string error;
    QVERIFY2(again.Start(test::SmallDistrict(), options, &error), error.c_str());
    // Logged in: the banner says the maps are on their way, the stale ones stay until then.
    QTRY_VERIFY_WITH_TIMEOUT(banner->text().startsWith("Связь с сервером Тестовый сервер восстановлена"), 20000);
    QVERIFY(curtain->isVisible() && !page.isNull());
    test::SaveShot(form.grab().toImage(), "stale_view_loading");
    QTRY_VERIFY_WITH_TIMEOUT(page.isNull(), 20000);
    QVERIFY(w.WaitForMaps());
    QVERIFY(!banner->isVisible() && !curtain->isVisible());
    QCOMPARE(form.PageControl1->count(), tabs);
    // The counters of the new load sit on its first map.
    QTRY_COMPARE(form.Overlays().LiftB->parentWidget(), form.PageControl1->currentWidget());
    QVERIFY(form.Overlays().LiftB->isVisible());
    QVERIFY(test::CountColor(test::Rendered(*form.PageControl1), background) > 0);
    again.Stop();
  }

  void f5ClearsTheStaleMapsAtOnce() {
    Workstation w;
    QVERIFY(w.started);
    QVERIFY(w.WaitForMaps());
    QWidget* curtain = w.form->findChild<QWidget*>("StaleCurtain");
    w.server.Stop();
    QTRY_VERIFY_WITH_TIMEOUT(curtain->isVisible(), 10000);
    QTest::keyClick(w.form.get(), Qt::Key_F5);
    QCOMPARE(w.form->PageControl1->count(), 0);
    QVERIFY(!w.form->PageControl1->isVisible());
    QVERIFY(!curtain->isVisible());
    QVERIFY(w.form->LabelSrv->isVisible());
    // Still no server: the banner comes back over the server label, with the reason.
    QLabel* banner = w.form->findChild<QLabel*>("StaleBanner");
    QTRY_VERIFY_WITH_TIMEOUT(banner->isVisible(), 10000);
    QVERIFY(banner->text().endsWith("соединение отклонено"));
    QVERIFY(!curtain->isVisible());
    test::SaveShot(w.form->grab().toImage(), "stale_without_maps");
  }
};

QTEST_MAIN(StaleViewTest)
#include "stale_view_test.moc"
