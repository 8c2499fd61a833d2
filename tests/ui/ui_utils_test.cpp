// The shared helpers of the windows: colour values, code page 1251 text, the
// shaded fill and the font settings.
#include <QApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include "settings/fast_ini.h"
#include "uikit/fill_shaded.h"
#include "uikit/font_settings.h"
#include "uikit/qt_text.h"
#include "uikit/win_color.h"

using namespace vertamo::ui;
using vertamo::TFastIni;

namespace {

// The lines of one section as Save writes them.
QStringList SectionLines(const TFastIni& ini, const QString& section) {
  const QStringList all = QString::fromLatin1(ini.ToText().c_str()).split(QStringLiteral("\r\n"));
  QStringList out;
  bool in = false;
  for (const QString& line : all) {
    if (line.startsWith('['))
      in = line == '[' + section + ']';
    else if (in && !line.isEmpty())
      out << line;
  }
  return out;
}

}  // namespace

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

  void loadFontFromEmptySection() {
    QTemporaryDir dir;
    TFastIni ini((dir.path() + "/Vertamo.ini").toStdString());
    TUiFont f;
    f.font = QFont(QStringLiteral("Liberation Serif"), 20);
    f.font.setBold(true);
    f.font.setItalic(true);
    f.font.setUnderline(true);
    f.color = 0x123456;
    LoadFont(ini, f, "FormView", 10);
    QCOMPARE(f.font.family(), QStringLiteral("Arial"));
    QCOMPARE(f.font.pointSize(), 10);
    QVERIFY(!f.font.bold());
    QVERIFY(!f.font.italic());
    QVERIFY(f.font.underline());  // neither stored nor changed
    QCOMPARE(f.color, 0x123456);  // the font's previous colour
    QVERIFY(!ini.Modified());     // reading writes nothing
  }

  void fontRoundTrip_data() {
    QTest::addColumn<QString>("face");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<int>("color");
    QTest::addColumn<QString>("colorText");
    QTest::newRow("system window text") << "Tahoma" << 12 << false << false << kClWindowText << "-16777208";
    QTest::newRow("system button face") << "Arial" << 9 << true << false << kClBtnFace << "-16777201";
    QTest::newRow("plain red, bold italic") << "Liberation Mono" << 14 << true << true << 0x0000FF << "255";
    QTest::newRow("Cyrillic face") << QStringLiteral("Шрифт Дисп") << 10 << false << true << 0xFFFFFF
                                   << "16777215";
  }
  void fontRoundTrip() {
    QFETCH(QString, face);
    QFETCH(int, size);
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    QFETCH(int, color);
    QFETCH(QString, colorText);
    QTemporaryDir dir;
    const std::string file = (dir.path() + "/Vertamo.ini").toStdString();
    {
      TFastIni ini(file);
      TUiFont f;
      f.font = QFont(face);
      f.font.setPointSize(size);
      f.font.setBold(bold);
      f.font.setItalic(italic);
      f.color = color;
      SaveFont(ini, f, "Printer");
      const QStringList lines = SectionLines(ini, QStringLiteral("Printer"));
      QCOMPARE(lines.size(), 5);
      QVERIFY(lines[0].startsWith(QStringLiteral("FONT=")));
      QCOMPARE(lines[1], QStringLiteral("FontSize=%1").arg(size));
      QCOMPARE(lines[2], QStringLiteral("FontBold=%1").arg(bold ? 1 : 0));
      QCOMPARE(lines[3], QStringLiteral("FontItalic=%1").arg(italic ? 1 : 0));
      QCOMPARE(lines[4], "FontColor=" + colorText);
      QCOMPARE(ini.ReadString("Printer", "FONT", ""), ToCp1251(face));  // code page 1251 in the file
    }                                                                   // saved to the disk here
    TFastIni ini(file);
    TUiFont back;
    back.color = 0x00FF00;
    LoadFont(ini, back, "Printer", 7);
    QCOMPARE(back.font.family(), face);
    QCOMPARE(back.font.pointSize(), size);
    QCOMPARE(back.font.bold(), bold);
    QCOMPARE(back.font.italic(), italic);
    QCOMPARE(back.color, color);
    QCOMPARE(WinColorToQColor(back.color), WinColorToQColor(color));
  }

  void fontSizes() {
    QTemporaryDir dir;
    TFastIni ini((dir.path() + "/Vertamo.ini").toStdString());
    // A font sized in pixels is stored in points.
    TUiFont f;
    f.font = QFont(QStringLiteral("Arial"));
    f.font.setPixelSize(16);
    SaveFont(ini, f, "LTime");
    QVERIFY(ini.ReadInteger("LTime", "FontSize", 0) > 0);
    // A stored size that is not positive falls back to the caller's default.
    ini.WriteInteger("LTime", "FontSize", 0);
    LoadFont(ini, f, "LTime", 12);
    QCOMPARE(f.font.pointSize(), 12);
    ini.WriteString("LTime", "FontSize", "abc");
    LoadFont(ini, f, "LTime", 11);
    QCOMPARE(f.font.pointSize(), 11);
  }

  void cellText() {
    QImage img(200, 40, QImage::Format_RGB32);
    auto ink = [&](const QRect& cell, int& first, int& last, int& top, int& bottom) {
      first = last = top = bottom = -1;
      for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
          if (img.pixel(x, y) != qRgb(255, 255, 255)) {
            QVERIFY(cell.contains(x, y));  // cut at the cell
            if (first < 0 || x < first) first = x;
            last = std::max(last, x);
            if (top < 0) top = y;
            bottom = y;
          }
    };
    const QRect cell(20, 5, 120, 20);
    int first, last, top, bottom;
    for (bool centred : {false, true}) {
      img.fill(Qt::white);
      QPainter p(&img);
      DrawCellText(p, cell, QStringLiteral("Лифт 12"), Qt::black, centred);
      p.end();
      ink(cell, first, last, top, bottom);
      if (centred)
        QVERIFY(qAbs((first - cell.left()) - (cell.right() - last)) <= 2);
      else
        QVERIFY(first >= cell.left() + 4 && first <= cell.left() + 6);
      QVERIFY(qAbs((top - cell.top()) - (cell.bottom() - bottom)) <= 4);
    }
    // Too long for the cell: cut, and a centred text keeps its first pixel in.
    img.fill(Qt::white);
    QPainter p(&img);
    DrawCellText(p, QRect(20, 5, 30, 20), QStringLiteral("Очень длинный текст"), Qt::black, true);
    DrawCellText(p, QRect(100, 5, 30, 20), QString(), Qt::black, false);
    p.end();
    ink(QRect(20, 5, 30, 20), first, last, top, bottom);
    QVERIFY(first >= 21);
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
