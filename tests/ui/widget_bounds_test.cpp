// Qt widgets through the settings engine's window and grid interfaces.
#include <QTableWidget>
#include <QTest>

#include "platform/cp1251.h"
#include "settings/fast_ini.h"
#include "uikit/widget_bounds.h"
#include "support/temp_folder.h"

using namespace vertamo;
using namespace vertamo::ui;
using vertamo::testing::ReadWholeFile;
using vertamo::testing::TempFolder;
using vertamo::testing::WriteWholeFile;

class WidgetBoundsTest : public QObject {
  Q_OBJECT

 private slots:
  void windowBoundsRoundTrip() {
    TempFolder dir;
    QWidget window;
    window.setObjectName(QStringLiteral("ФормаТест"));
    TWidgetBounds bounds(&window);
    QCOMPARE(QString::fromStdString(bounds.name()), QString::fromStdString(Utf8ToCp1251("ФормаТест")));
    bounds.setLeft(12);
    bounds.setTop(34);
    bounds.setWidth(320);
    bounds.setHeight(240);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.frameGeometry(), QRect(12, 34, 320, 240));
    QCOMPARE(bounds.left(), 12);
    QCOMPARE(bounds.top(), 34);
    QCOMPARE(bounds.width(), 320);
    QCOMPARE(bounds.height(), 240);
    {
      TFastIni ini(dir.file("a.ini"));
      ini.WriteFormBounds(&bounds);
    }
    QCOMPARE(QString::fromStdString(ReadWholeFile(dir.file("a.ini"))),
             QString::fromStdString(
                 Utf8ToCp1251("[ФормаТест]\r\nLeft=12\r\nTop=34\r\nWidth=320\r\nHeight=240\r\n")));

    WriteWholeFile(dir.file("a.ini"),
                   Utf8ToCp1251("[ФормаТест]\r\nLeft=5\r\nTop=6\r\nWidth=400\r\nHeight=300\r\n"));
    TFastIni ini(dir.file("a.ini"));
    ini.ReadFormBounds(&bounds);
    QTRY_COMPARE(window.frameGeometry(), QRect(5, 6, 400, 300));
  }

  void aVanishedWindowIsHarmless() {
    auto* window = new QWidget;
    TWidgetBounds bounds(window);
    delete window;
    bounds.setLeft(1);
    bounds.setWidth(1);
    QCOMPARE(bounds.width(), 0);
    QCOMPARE(bounds.name(), std::string());
  }

  void tableColumnWidths() {
    TempFolder dir;
    QWidget window;
    window.setObjectName(QStringLiteral("FormView"));
    auto* table = new QTableWidget(2, 3, &window);
    table->setObjectName(QStringLiteral("StringGrid1"));
    TTableColumns columns(table);
    QCOMPARE(QString::fromStdString(columns.name()), QStringLiteral("StringGrid1"));
    QCOMPARE(QString::fromStdString(columns.ownerName()), QStringLiteral("FormView"));
    QCOMPARE(columns.columnCount(), 3);
    for (int i = 0; i < 3; ++i) columns.setWidth(i, 50 + i);
    {
      TFastIni ini(dir.file("g.ini"));
      ini.WriteGridColWidths(&columns);
    }
    QCOMPARE(QString::fromStdString(ReadWholeFile(dir.file("g.ini"))),
             QStringLiteral(
                 "[FormView]\r\nStringGrid1_col1=50\r\nStringGrid1_col2=51\r\nStringGrid1_col3=52\r\n"));
    WriteWholeFile(dir.file("g.ini"), "[FormView]\r\nStringGrid1_col2=99\r\n");
    TFastIni ini(dir.file("g.ini"));
    ini.ReadGridColWidths(&columns);
    QCOMPARE(table->columnWidth(0), 50);
    QCOMPARE(table->columnWidth(1), 99);
    QCOMPARE(table->columnWidth(2), 52);
  }
};

QTEST_MAIN(WidgetBoundsTest)
#include "widget_bounds_test.moc"
