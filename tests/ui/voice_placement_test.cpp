// Where the voice window comes up by itself: off the clicked object, over as
// little of the map as the screen allows, inside the screen.
#include <QTest>

#include "voice/ui/voice_placement.h"

using vertamo::ui::kKeepClearMargin;
using vertamo::ui::VoiceWindowPlace;

namespace {

long long Covered(const QRect& a, const QRect& b) {
  const QRect r = a & b;
  return r.isEmpty() ? 0 : static_cast<long long>(r.width()) * r.height();
}

}  // namespace

class VoicePlacementTest : public QObject {
  Q_OBJECT

 private slots:
  void thePlaceKeepsOffTheObjectAndTheMap() {
    struct Row {
      const char* name;
      QRect screen, map, clicked;
      long long covered;  // of the map, at most
    };
    const QSize window(857, 619);
    const Row rows[] = {
        // Room right of the map: none of it is covered.
        {"room beside the map", QRect(0, 0, 1920, 1200), QRect(2, 21, 905, 528), QRect(12, 39, 32, 24), 0},
        // The map fills the screen: the lift stays free wherever it is.
        {"lift in the middle", QRect(0, 0, 1920, 1080), QRect(0, 0, 1920, 1080), QRect(944, 528, 32, 24),
         857LL * 619},
        {"lift in a corner", QRect(0, 0, 1280, 1024), QRect(0, 0, 1280, 1024), QRect(1240, 990, 32, 24),
         857LL * 619},
        {"second screen", QRect(1920, 0, 1280, 1024), QRect(1920, 0, 1280, 400), QRect(2500, 300, 32, 24), 0},
        {"no clicked object", QRect(0, 0, 1920, 1200), QRect(0, 0, 1920, 500), QRect(), 0},
    };
    for (const Row& row : rows) {
      const QPoint near = row.clicked.isEmpty() ? row.map.center() : row.clicked.center();
      const QRect placed(VoiceWindowPlace(row.screen, row.map, row.clicked, window, near), window);
      const QRect kept =
          row.clicked.adjusted(-kKeepClearMargin, -kKeepClearMargin, kKeepClearMargin, kKeepClearMargin);
      QVERIFY2(row.screen.contains(placed), row.name);
      QVERIFY2(row.clicked.isEmpty() || !placed.intersects(kept), row.name);
      QVERIFY2(Covered(placed, row.map) <= row.covered, row.name);
    }
  }

  void aWindowLargerThanTheScreenGoesToItsCorner() {
    QCOMPARE(VoiceWindowPlace(QRect(100, 50, 800, 600), QRect(), QRect(), QSize(857, 619), QPoint()),
             QPoint(100, 50));
  }

  void aSmallScreenGivesUpTheMarginBeforeTheObject() {
    // 1280 x 1024 and the lift near the middle: only a place that touches
    // the margin around it keeps the lift itself free.
    const QRect screen(0, 0, 1280, 1024), lift(600, 380, 32, 24);
    const QRect placed(VoiceWindowPlace(screen, screen, lift, QSize(857, 619), QPoint()), QSize(857, 619));
    QVERIFY(screen.contains(placed));
    QVERIFY(!placed.intersects(lift));
  }
};

QTEST_MAIN(VoicePlacementTest)
#include "voice_placement_test.moc"
