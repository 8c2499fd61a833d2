// The shared helpers of the windows: colour values, code page 1251 text, the
// shaded fill and the font settings.
#include <QApplication>
#include <QPainter>
#include <QtTest>

#include "shell/fill_shaded.h"
#include "shell/qt_text.h"
#include "shell/win_color.h"

using namespace vertamo::ui;

class UiUtilsTest : public QObject {
  Q_OBJECT

 private slots:
  void plainColoursConvertExactly_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QColor>("color");
    QTest::newRow("red") << 0x0000FF << QColor(255, 0, 0);
    QTest::newRow("green") << 0x00FF00 << QColor(0, 255, 0);
    QTest::newRow("blue") << 0xFF0000 << QColor(0, 0, 255);
    QTest::newRow("yellow") << 0x00FFFF << QColor(255, 255, 0);
    QTest::newRow("grey") << 0x808080 << QColor(128, 128, 128);
    QTest::newRow("mixed") << 0x123456 << QColor(0x56, 0x34, 0x12);
    QTest::newRow("header grey") << 0xE2E2E2 << QColor(0xE2, 0xE2, 0xE2);
    QTest::newRow("palette-relative top byte ignored") << 0x02123456 << QColor(0x56, 0x34, 0x12);
  }
  void plainColoursConvertExactly() {
    QFETCH(int, value);
    QFETCH(QColor, color);
    QCOMPARE(WinColorToQColor(value), color);
    QCOMPARE(QColorToWinColor(color), value & 0xFFFFFF);
  }

  void systemColoursFollowThePalette_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("role");
    QTest::newRow("window text") << int(kSysWindowText) << int(QPalette::Text);
    QTest::newRow("window") << int(kSysWindow) << int(QPalette::Base);
    QTest::newRow("button face") << int(kSysBtnFace) << int(QPalette::Button);
    QTest::newRow("button text") << int(kSysBtnText) << int(QPalette::ButtonText);
    QTest::newRow("highlight") << int(kSysHighlight) << int(QPalette::Highlight);
    QTest::newRow("highlight text") << int(kSysHighlightText) << int(QPalette::HighlightedText);
    QTest::newRow("info background") << int(kSysInfoBk) << int(QPalette::ToolTipBase);
    QTest::newRow("info text") << int(kSysInfoText) << int(QPalette::ToolTipText);
    QTest::newRow("button shadow") << int(kSysBtnShadow) << int(QPalette::Dark);
    QTest::newRow("button highlight") << int(kSysBtnHighlight) << int(QPalette::Light);
  }
  void systemColoursFollowThePalette() {
    QFETCH(int, index);
    QFETCH(int, role);
    // A palette whose every role has its own colour.
    QPalette pal;
    for (int r = 0; r < QPalette::NColorRoles; ++r)
      pal.setColor(QPalette::All, QPalette::ColorRole(r), QColor(r * 9, 255 - r * 9, 100));
    const int value = SysColorValue(index);
    QVERIFY(value < 0);  // stored as a negative number
    QVERIFY(IsSysColor(value));
    QCOMPARE(WinColorToQColor(value, pal), pal.color(QPalette::Active, QPalette::ColorRole(role)));
  }

  void systemColourValues() {
    QCOMPARE(kClWindowText, -16777208);
    QCOMPARE(kClBtnFace, -16777201);
    QVERIFY(!IsSysColor(0xFFFFFF));
    // The application palette answers when none is given.
    QCOMPARE(WinColorToQColor(kClWindowText),
             QApplication::palette().color(QPalette::Active, QPalette::Text));
    // Indices that name no system colour give black.
    QCOMPARE(WinColorToQColor(SysColorValue(25)), QColor(0, 0, 0));
    QCOMPARE(WinColorToQColor(SysColorValue(200)), QColor(0, 0, 0));
  }

  void textBridge() {
    const std::string cp = "\xCE\xEF\xE5\xF0\xE0\xF2\xE8\xE2\xED\xFB\xE9 \xE6\xF3\xF0\xED\xE0\xEB";
    QCOMPARE(FromCp1251(cp), QStringLiteral("Оперативный журнал"));
    QCOMPARE(ToCp1251(QStringLiteral("Оперативный журнал")), cp);
    QCOMPARE(ToCp1251(QStringLiteral("Ёё №")), std::string("\xA8\xB8 \xB9"));
    QCOMPARE(ToCp1251(QStringLiteral("日")), std::string("?"));
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    QCOMPARE(ToCp1251(FromCp1251(all)), all);  // every byte survives
    QCOMPARE(FromCp1251(std::string_view("a\0b", 3)).size(), 3);
  }

  void fillShadedLines_data() {
    QTest::addColumn<QColor>("color");
    QTest::addColumn<int>("height");
    QTest::newRow("white") << QColor(255, 255, 255) << 18;
    QTest::newRow("mixed, parts reach 0 at different lines") << QColor(200, 20, 7) << 30;
    QTest::newRow("black stays black") << QColor(0, 0, 0) << 5;
    QTest::newRow("taller than the shade") << QColor(255, 128, 64) << 100;
    QTest::newRow("one line") << QColor(10, 20, 30) << 1;
  }
  void fillShadedLines() {
    QFETCH(QColor, color);
    QFETCH(int, height);
    QImage img(40, height + 4, QImage::Format_RGB32);
    img.fill(QColor(1, 2, 3));
    {
      QPainter p(&img);
      FillShaded(p, QRect(5, 2, 30, height), color);
    }
    for (int k = 0; k < height; ++k) {
      const QRgb want = qRgb(std::max(color.red() - 3 * k, 0), std::max(color.green() - 3 * k, 0),
                             std::max(color.blue() - 3 * k, 0));
      QCOMPARE(img.pixel(5, 2 + k), want);   // left edge
      QCOMPARE(img.pixel(34, 2 + k), want);  // right edge
      QCOMPARE(img.pixel(4, 2 + k), qRgb(1, 2, 3));
      QCOMPARE(img.pixel(35, 2 + k), qRgb(1, 2, 3));
    }
    QCOMPARE(img.pixel(10, 1), qRgb(1, 2, 3));
    QCOMPARE(img.pixel(10, 2 + height), qRgb(1, 2, 3));
  }

  void fillShadedEmptyRect() {
    QImage img(10, 10, QImage::Format_RGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    FillShaded(p, QRect(2, 2, 0, 5), Qt::white);
    FillShaded(p, QRect(2, 2, 5, 0), Qt::white);
    p.end();
    QCOMPARE(img.pixel(2, 2), qRgb(0, 0, 0));
  }
};

QTEST_MAIN(UiUtilsTest)
#include "ui_utils_test.moc"
