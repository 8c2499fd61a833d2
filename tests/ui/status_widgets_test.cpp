// The counters, the speaker symbol and the dial: what they draw and how they
// change state.
#include <QSignalSpy>
#include <QtTest>

#include "map/ui/bigspk.h"
#include "uikit/indicator.h"
#include "map/ui/valind.h"
#include "ui/widget_shots.h"

using vertamo::test::CountColor;
using vertamo::test::Rendered;
using vertamo::test::Rgb;
using vertamo::test::SaveShot;
using vertamo::ui::TBigSpk;
using vertamo::ui::TIndicator;
using vertamo::ui::TValInd;

namespace {

// A parent in a known colour, standing in for a map tab.
class Host : public QWidget {
 public:
  Host() {
    resize(400, 300);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x20, 0x60, 0x30));
    setPalette(pal);
  }
};

class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
};

bool IsGrey(QRgb c) { return qRed(c) == qGreen(c) && qGreen(c) == qBlue(c); }

}  // namespace

class StatusWidgetsTest : public QObject {
  Q_OBJECT

 private slots:
  // ---------------------------------------------------------------- TIndicator
  void indicatorDefaults() {
    TIndicator ind;
    QCOMPARE(ind.Min(), 0);
    QCOMPARE(ind.Max(), 127);
    QCOMPARE(ind.Position(), 0);
    QCOMPARE(ind.Marker(), 0);
    QCOMPARE(ind.Theme(), 6);
    QVERIFY(ind.Caption().isEmpty());
    QCOMPARE(ind.GetFont().pointSize(), 8);
    QCOMPARE(ind.size(), QSize(100, 68));  // the face of theme 6
    QCOMPARE(ind.PenColor(), ind.Background().pixelColor(2, 2));
    QVERIFY(ind.testAttribute(Qt::WA_OpaquePaintEvent));
  }

  void indicatorAngles_data() {
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("angle");
    QTest::newRow("min points left") << 0 << 127 << 0 << 120;
    QTest::newRow("max points right") << 0 << 127 << 127 << 59;
    QTest::newRow("middle") << 0 << 127 << 63 << 90;                 // 63 * 61 / 127 = 30.26
    QTest::newRow("below min truncates") << 0 << 127 << -10 << 124;  // -610 / 127 = -4.8
    QTest::newRow("offset range") << -100 << 100 << 0 << 90;         // 100 * 61 / 200 = 30.5
    QTest::newRow("min equals max") << 5 << 5 << 5 << 0;
    QTest::newRow("min above max") << 10 << 5 << 7 << 0;
    QTest::newRow("huge range") << -2000000000 << 2000000000 << 2000000000 << 59;
  }
  void indicatorAngles() {
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, value);
    QFETCH(int, angle);
    TIndicator ind;
    ind.SetMin(min);
    ind.SetMax(max);
    QCOMPARE(ind.GetAlfa(value), angle);
  }

  void indicatorPoints() {
    QCOMPARE(TIndicator::GetPoint(90, 84), QPoint(49, 19));
    QCOMPARE(TIndicator::GetPoint(0, 51), QPoint(100, 103));
    QCOMPARE(TIndicator::GetPoint(180, 10), QPoint(39, 103));
    // 30 degrees: cos * 96 = 83.1 and sin * 96 = 48.0, truncated toward zero.
    QCOMPARE(TIndicator::GetPoint(30, 96), QPoint(49 + 83, 103 - 47));
  }

  void indicatorClamps() {
    TIndicator ind;
    ind.SetPosition(200);
    QCOMPARE(ind.Position(), 127);
    ind.SetPosition(-3);
    QCOMPARE(ind.Position(), 0);
    ind.SetMarker(-5);
    QCOMPARE(ind.Marker(), 0);  // which hides the marker
    ind.SetMarker(500);
    QCOMPARE(ind.Marker(), 127);
  }

  void indicatorLamp_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("marker");
    QTest::addColumn<int>("color");
    QTest::newRow("silent") << 0 << 50 << 0x808080;
    QTest::newRow("below marker") << 10 << 50 << 0x00FF00;
    QTest::newRow("at marker") << 50 << 50 << 0x0000FF;
    QTest::newRow("no marker") << 10 << 0 << 0x0000FF;
  }
  void indicatorLamp() {
    QFETCH(int, position);
    QFETCH(int, marker);
    QFETCH(int, color);
    Host host;
    TIndicator ind(&host);
    ind.SetMarker(marker);
    ind.SetPosition(position);
    host.show();
    const QImage img = Rendered(ind);
    // The lamp fills 46..53 x 61..63 and nothing more.
    for (int y = 61; y <= 63; ++y)
      for (int x = 46; x <= 53; ++x) QCOMPARE(img.pixel(x, y), Rgb(color));
    QVERIFY(img.pixel(45, 62) != Rgb(color));
    QVERIFY(img.pixel(54, 62) != Rgb(color));
    QVERIFY(img.pixel(49, 60) != Rgb(color));
    QVERIFY(img.pixel(49, 64) != Rgb(color));
  }

  void indicatorNeedleAndMarker() {
    Host host;
    TIndicator ind(&host);
    host.show();
    const QRgb face = ind.Background().pixel(48, 35);
    const QRgb pen = ind.PenColor().rgb();
    QVERIFY(face != pen);
    // Needle at 90 degrees runs from (49, 19) to (49, 52); the marker at 90
    // degrees from (49, 7) to (49, 14).
    ind.SetPosition(63);
    QImage img = Rendered(ind);
    QCOMPARE(img.pixel(48, 35), pen);
    QCOMPARE(img.pixel(48, 10), ind.Background().pixel(48, 10));  // no marker yet
    ind.SetMarker(63);
    img = Rendered(ind);
    QCOMPARE(img.pixel(48, 10), pen);
    SaveShot(img, "indicator_63_63");
    // Position 0 turns the needle to 120 degrees: the vertical line is gone.
    ind.SetPosition(0);
    img = Rendered(ind);
    QCOMPARE(img.pixel(48, 35), face);
    const QPoint mid = TIndicator::GetPoint(120, 68);
    QCOMPARE(img.pixel(mid), pen);
  }

  void indicatorCaption() {
    Host host;
    TIndicator ind(&host);
    host.show();
    ind.SetPosition(100);
    const QImage before = Rendered(ind);
    ind.SetCaption(QStringLiteral("Микрофон"));
    const QImage after = Rendered(ind);
    SaveShot(after, "indicator_caption");
    // The caption sits in the band from y = 32 and is centred on x = 50.
    const QFontMetrics fm(ind.GetFont());
    const int w = fm.horizontalAdvance(ind.Caption());
    int changed = 0;
    int outside = 0;
    for (int y = 0; y < 68; ++y)
      for (int x = 0; x < 100; ++x)
        if (before.pixel(x, y) != after.pixel(x, y)) {
          ++changed;
          if (y < 32 || y >= 32 + fm.height() || x < 50 - w / 2 - 1 || x > 50 - w / 2 + w + 1) ++outside;
        }
    QVERIFY(changed > 20);
    QCOMPARE(outside, 0);
    QCOMPARE(after.pixel(50, 40) == after.pixel(50, 40), true);
  }

  void indicatorThemes() {
    TIndicator ind;
    const QImage colourFace = ind.Background();
    // There is no face for theme 2: the face stays, the size and pen are read again.
    ind.SetTheme(2);
    QCOMPARE(ind.Theme(), 2);
    QCOMPARE(ind.Background(), colourFace);
    QCOMPARE(ind.size(), QSize(100, 68));
    QCOMPARE(ind.PenColor(), colourFace.pixelColor(2, 2));
    // Theme 5 greys the face, and the pen with it.
    ind.SetTheme(5);
    QCOMPARE(ind.Theme(), 5);
    int coloured = 0;
    for (int y = 0; y < 68; ++y)
      for (int x = 0; x < 100; ++x) coloured += IsGrey(ind.Background().pixel(x, y)) ? 0 : 1;
    QCOMPARE(coloured, 0);
    const QRgb c = colourFace.pixel(30, 30);
    QCOMPARE(ind.Background().pixel(30, 30),
             qRgb((qRed(c) + qGreen(c) + qBlue(c)) / 3, (qRed(c) + qGreen(c) + qBlue(c)) / 3,
                  (qRed(c) + qGreen(c) + qBlue(c)) / 3));
    QVERIFY(IsGrey(ind.PenColor().rgb()));
    // Theme 6 brings the colour face back; out-of-range themes are ignored.
    ind.SetTheme(6);
    QCOMPARE(ind.Background(), colourFace);
    ind.SetTheme(7);
    ind.SetTheme(-1);
    QCOMPARE(ind.Theme(), 6);
  }

  // ---------------------------------------------------------------- TValInd
  void counterDefaults() {
    TValInd v;
    QVERIFY(v.isHidden());
    QCOMPARE(v.geometry(), QRect(10, 10, 200, 135));
    QCOMPARE(v.Value(), -1);
    QCOMPARE(v.NumberText(), QStringLiteral("?"));
    QCOMPARE(v.Type(), 0);
    QVERIFY(v.CaptionText().isEmpty());
    QVERIFY(v.testAttribute(Qt::WA_OpaquePaintEvent));
  }

  void counterTypes_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("background");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("caption");
    QTest::newRow("0") << 0 << 7 << 0xFFFFFF << 0x000000 << QString();
    QTest::newRow("1 zero") << 1 << 0 << 0x000000 << 0x00FF00 << QStringLiteral("Неисправно лифтов");
    QTest::newRow("1 three") << 1 << 3 << 0x000000 << 0x0000FF << QStringLiteral("Неисправно лифтов");
    QTest::newRow("2") << 2 << 12 << 0x00FFFF << 0x0000FF << QStringLiteral("Срабатываний шлейфов");
    QTest::newRow("3") << 3 << 4 << 0x0000FF << 0x000000 << QStringLiteral("Неисправно ПУ");
  }
  void counterTypes() {
    QFETCH(int, type);
    QFETCH(int, value);
    QFETCH(int, background);
    QFETCH(int, number);
    QFETCH(QString, caption);
    Host host;
    TValInd v(&host);
    v.SetType(type);
    v.SetValue(value);
    v.show();
    host.show();
    QCOMPARE(v.BackgroundColor(), background);
    QCOMPARE(v.NumberColor(), number);
    QCOMPARE(v.CaptionText(), caption);
    const QImage img = Rendered(v);
    SaveShot(img, QStringLiteral("counter_type%1_%2").arg(type).arg(value));
    // Black frame, the box colour below the number, the number in its colour.
    QCOMPARE(img.pixel(0, 0), qRgb(0, 0, 0));
    QCOMPARE(img.pixel(199, 134), qRgb(0, 0, 0));
    QCOMPARE(img.pixel(3, 130), Rgb(background));
    QVERIFY(CountColor(img, Rgb(number)) > 50);
    // The number is as large as the box allows: much taller than the caption.
    const auto layout = v.ComputeLayout();
    QVERIFY(layout.numberSize > 3 * layout.captionSize);
  }

  void counterCaptionBand() {
    Host host;
    TValInd v(&host);
    v.SetType(0);
    v.SetCaptionText(QStringLiteral("A"));
    v.SetValue(1);
    v.show();
    host.show();
    const QImage img = Rendered(v);
    const int h = v.ComputeLayout().captionHeight;
    QVERIFY(h > 5);
    // Line i of the band, 1 .. h + 1, is grey 255 - 3i; x = 1 .. 198.
    for (int i = 0; i <= h; ++i) {
      const int g = 255 - 3 * i;
      QCOMPARE(img.pixel(1, 1 + i), qRgb(g, g, g));
      QCOMPARE(img.pixel(198, 1 + i), qRgb(g, g, g));
    }
    QCOMPARE(img.pixel(1, h + 2), qRgb(255, 255, 255));  // box colour below the band
  }

  void counterTypeOneUsesGreenOnlyForZero() {
    TValInd v;
    v.SetType(1);
    QCOMPARE(v.NumberColor(), 0x0000FF);  // "?"
    v.SetValue(0);
    QCOMPARE(v.NumberColor(), 0x00FF00);
    v.SetValue(1);
    QCOMPARE(v.NumberColor(), 0x0000FF);
    v.SetType(9);  // ignored
    QCOMPARE(v.Type(), 1);
  }

  void counterNewShowsQuestionMark() {
    Host host;
    TValInd v(&host);
    v.SetType(2);
    v.show();
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    PaintCounter counter;
    v.installEventFilter(&counter);
    v.SetValue(-1);
    QCoreApplication::processEvents();
    QCOMPARE(counter.paints, 0);
    v.SetValue(8);
    QTRY_VERIFY(counter.paints > 0);
    const int after = counter.paints;
    v.SetValue(8);
    QCoreApplication::processEvents();
    QCOMPARE(counter.paints, after);
  }

  void counterNarrowShrinksFonts() {
    Host host;
    TValInd v(&host);
    v.SetType(2);  // "Срабатываний шлейфов" is far wider than 40 px at any legible size
    v.setGeometry(0, 0, 40, 60);
    v.SetValue(1234567890);  // wider than 38 px even at size 5
    auto layout = v.ComputeLayout();
    QCOMPARE(layout.captionSize, 5);
    QCOMPARE(layout.numberSize, 5);
    // A wide, low counter: the number is limited by the height.
    v.setGeometry(0, 0, 300, 40);
    v.SetValue(1);
    layout = v.ComputeLayout();
    QVERIFY(layout.numberSize >= 5);
    const QFont f = [&] {
      QFont font = v.font();
      font.setPointSize(layout.numberSize);
      return font;
    }();
    QVERIFY(QFontMetrics(f, &v).height() <= 40 - layout.captionHeight - 4 || layout.numberSize == 5);
    v.show();
    host.show();
    SaveShot(Rendered(v), "counter_wide_low");
  }

  void counterCaptionIsCut() {
    TValInd v;
    v.SetCaptionText(QString(100, QLatin1Char('x')));
    QCOMPARE(v.CaptionText().size(), 63);
  }

  void counterFontName() {
    TValInd v;
    v.SetFontName(QStringLiteral("Liberation Serif"));
    QCOMPARE(v.FontName(), QStringLiteral("Liberation Serif"));
  }

  void counterDoubleClick() {
    Host host;
    TValInd v(&host);
    v.show();
    host.show();
    QSignalSpy spy(&v, &TValInd::DblClick);
    QTest::mouseDClick(&v, Qt::LeftButton, {}, QPoint(50, 50));
    QCOMPARE(spy.count(), 1);
    QTest::mouseDClick(&v, Qt::RightButton, {}, QPoint(50, 50));
    QCOMPARE(spy.count(), 1);
  }

  // ---------------------------------------------------------------- TBigSpk
  void speakerDefaults() {
    TBigSpk s;
    QCOMPARE(s.objectName(), QStringLiteral("BigSpk"));
    QCOMPARE(s.size(), QSize(130, 130));
    QVERIFY(s.isHidden());
    QCOMPARE(s.CurrentIndex(), -1);
    QCOMPARE(s.CallState(), 0);
    QVERIFY(s.Timer().isActive());
    QCOMPARE(s.Timer().interval(), 1000);
    for (int i = 0; i < 3; ++i) {
      QCOMPARE(s.Picture(i).size(), QSize(130, 130));
      QVERIFY(s.Picture(i).hasAlphaChannel());
      QCOMPARE(qAlpha(s.Picture(i).pixel(0, 0)), 0);  // transparent corners
    }
  }

  void speakerBlinks() {
    TBigSpk s;
    s.SetPicture(0);
    s.TimerTick();
    QCOMPARE(s.CurrentIndex(), 0);
    QCOMPARE(s.toolTip(), QStringLiteral("Вызов диспетчера: вызовов нет"));  // its tip says what it shows
    s.SetCallState(1);
    QCOMPARE(s.toolTip(), QStringLiteral("Вызов диспетчера: идёт вызов (символ мигает)"));
    QCOMPARE(s.CurrentIndex(), 0);  // the next tick starts the blinking
    QList<int> seen;
    for (int i = 0; i < 5; ++i) {
      s.TimerTick();
      seen << s.CurrentIndex();
    }
    QCOMPARE(seen, (QList<int>{2, 1, 2, 1, 2}));
    s.SetCallState(0);
    s.TimerTick();
    QCOMPARE(s.CurrentIndex(), 0);
    // A new call starts again with frame 2.
    s.SetCallState(3);
    s.TimerTick();
    QCOMPARE(s.CurrentIndex(), 2);
  }

  void speakerIgnoresUnknownPictures() {
    TBigSpk s;
    s.SetPicture(1);
    s.SetPicture(3);
    s.SetPicture(-1);
    QCOMPARE(s.CurrentIndex(), 1);
  }

  void speakerDrawsCurrentPicture() {
    Host host;
    TBigSpk s(&host);
    s.move(20, 30);
    s.show();
    host.show();
    const QRgb map = qRgb(0x20, 0x60, 0x30);
    QImage img = Rendered(s);
    QCOMPARE(img.pixel(65, 65), map);  // no picture yet
    for (int i = 0; i < 3; ++i) {
      s.SetPicture(i);
      img = Rendered(s);
      SaveShot(img, QStringLiteral("speaker_%1").arg(i));
      QCOMPARE(img.pixel(0, 0), map);  // transparent corner shows the map
      QCOMPARE(img.pixel(15, 65), s.Picture(i).pixel(15, 65) | 0xFF000000u);  // opaque badge
    }
    QVERIFY(s.Picture(0).pixel(110, 65) != s.Picture(2).pixel(110, 65));  // waves only while calling
  }
};

QTEST_MAIN(StatusWidgetsTest)
#include "status_widgets_test.moc"
