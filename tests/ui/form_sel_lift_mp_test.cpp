// The cabin / machine-room selector: the picture rule of the cabin caption,
// the keys a dispatcher uses, and its bounds under "FormSelLiftMp".
#include <QApplication>
#include <QPushButton>
#include <QPointer>
#include <QTimer>
#include <optional>
#include <QtTest>

#include "platform/cp1251.h"
#include "settings/fast_ini.h"
#include "support/temp_folder.h"
#include "voice/ui/form_sel_lift_mp.h"
#include "widget_shots.h"

using vertamo::TCallUnit;
using vertamo::TFastIni;
using vertamo::Utf8ToCp1251;
using vertamo::testing::TempFolder;
using vertamo::ui::OpenCallUnitChoice;
using vertamo::ui::TFormSelLiftMp;

namespace {

QImage Icon(const QPushButton* button) { return button->icon().pixmap(button->iconSize()).toImage(); }

// Shows the dialog as the map does (modal) and waits until it has the keyboard.
void ShowActive(TFormSelLiftMp& dialog) {
  dialog.open();
  dialog.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&dialog));
}

}  // namespace

class FormSelLiftMpTest : public QObject {
  Q_OBJECT

 private slots:
  void CabinPictureFollowsTheCaption_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("roomPicture");
    QTest::addColumn<QString>("shown");
    const QString start = QStringLiteral("        Начать разговор с КАБИНОЙ ЛИФТА               ");
    QTest::newRow("Кабина") << QStringLiteral("Кабина") << true << QStringLiteral("Кабина");
    QTest::newRow("Связь с лифтом") << QStringLiteral("Связь с лифтом") << false
                                    << QStringLiteral("Связь с лифтом");
    QTest::newRow("Лифт") << QStringLiteral("Лифт") << true << QStringLiteral("Лифт");
    QTest::newRow("server default") << QStringLiteral("Начать разговор с КАБИНОЙ ЛИФТА") << false
                                    << QStringLiteral("Начать разговор с КАБИНОЙ ЛИФТА");
    QTest::newRow("empty") << QString() << false << start;
  }

  void CabinPictureFollowsTheCaption() {
    QFETCH(QString, caption);
    QFETCH(bool, roomPicture);
    QFETCH(QString, shown);
    TFormSelLiftMp dialog(nullptr);
    QCOMPARE(dialog.Choice, TFormSelLiftMp::kCancelled);
    const QImage own = Icon(dialog.ButtonLift);
    const QImage room = Icon(dialog.ButtonMO);
    QVERIFY(own != room);
    dialog.SetCabinCaption(caption);
    dialog.SetRoomCaption(QString());
    QCOMPARE(dialog.ButtonLift->text(), shown);
    QCOMPARE(dialog.ButtonMO->text(), QStringLiteral("       Начать разговор с МАШИННЫМ ПОМЕЩЕНИЕМ"));
    QCOMPARE(Icon(dialog.ButtonLift), roomPicture ? room : own);
  }

  void KeysChooseOrCancel_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("choice");
    QTest::newRow("Enter") << int(Qt::Key_Return) << int(QDialog::Accepted) << 0;
    QTest::newRow("Esc") << int(Qt::Key_Escape) << int(QDialog::Rejected) << 255;
    QTest::newRow("1") << int(Qt::Key_1) << int(QDialog::Accepted) << 0;
    QTest::newRow("2") << int(Qt::Key_2) << int(QDialog::Accepted) << 1;
  }

  // Keys go where the dispatcher's keys go: to the focused button, which
  // right after showing is "Отмена", first in the tab order.
  void KeysChooseOrCancel() {
    QFETCH(int, key);
    QFETCH(int, result);
    QFETCH(int, choice);
    TFormSelLiftMp dialog(nullptr);
    ShowActive(dialog);
    QCOMPARE(QApplication::focusWidget(), dialog.Button3);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), result);
    QCOMPARE(int(dialog.Choice), choice);
  }

  void CloseBoxAndCancelButtonCancel() {
    for (const bool closeBox : {true, false}) {
      TFormSelLiftMp dialog(nullptr);
      ShowActive(dialog);
      if (closeBox)
        vertamo::test::SaveShot(dialog.grab().toImage(), QStringLiteral("form_sel_lift_mp_defaults"));
      if (closeBox)
        dialog.close();
      else
        dialog.Button3->click();
      QCOMPARE(dialog.result(), int(QDialog::Rejected));
      QCOMPARE(dialog.Choice, TFormSelLiftMp::kCancelled);
    }
  }

  // The title names the lift and the house both units' texts name; texts
  // that name none (the defaults) leave the lift's name alone.
  void TitleNamesTheLiftAndItsHouse() {
    const struct {
      const char* cabin;
      const char* room;
      const char* title;
    } rows[] = {
        {"Кабина лифта 2, ул. Лесная, 12, подъезд 1", "Машинное помещение, ул. Лесная, 12, подъезд 1",
         "Вызов: Лифт 2, ул. Лесная, 12, подъезд 1"},
        {"Начать разговор с КАБИНОЙ ЛИФТА", "Начать разговор с МАШИННЫМ ПОМЕЩЕНИЕМ", "Вызов: Лифт 2"},
        {"Кабина, ул. Лесная, 12", "Крыша, ул. Садовая, 12", "Вызов: Лифт 2"},  // a shared "12" is no house
        {"Кабина, ", "Крыша, ", "Вызов: Лифт 2"},
    };
    for (const auto& row : rows)
      QCOMPARE(vertamo::ui::SelectorTitle(Utf8ToCp1251("Лифт 2"), Utf8ToCp1251(row.cabin), Utf8ToCp1251(row.room)),
               QString::fromUtf8(row.title));
  }

  // The map's question: the server's texts in, the unit chosen out; the
  // bounds stay in the settings for the next time.
  void theSelectorShowsTheTextsAndKeepsTheBounds() {
    TempFolder dir;
    TFastIni ini(dir.file("Vertamo.ini"));
    std::optional<TCallUnit> chosen;
    QPointer<TFormSelLiftMp> dialog = OpenCallUnitChoice(nullptr, &ini, Utf8ToCp1251("Кабина"), Utf8ToCp1251("Крыша"),
                                                         {}, [&](TCallUnit unit) { chosen = unit; });
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QCOMPARE(dialog->ButtonLift->text(), QStringLiteral("Кабина"));
    vertamo::test::SaveShot(dialog->grab().toImage(), QStringLiteral("form_sel_lift_mp"));
    QVERIFY(!chosen);  // opened without a loop of its own
    QTest::keyClick(dialog, Qt::Key_2);
    QCOMPARE(chosen, std::optional<TCallUnit>(TCallUnit::MachineRoom));
    QTRY_VERIFY(!dialog);  // gone once closed
    QVERIFY(ini.ValueExists("FormSelLiftMp", "Left"));
    ini.WriteInteger("FormSelLiftMp", "Left", 123);
    ini.WriteInteger("FormSelLiftMp", "Top", 77);
    TFormSelLiftMp again(&ini);
    ShowActive(again);
    QCOMPARE(again.frameGeometry().topLeft(), QPoint(123, 77));
    QCOMPARE(again.size(), QSize(481, 243));
  }
};

QTEST_MAIN(FormSelLiftMpTest)
#include "form_sel_lift_mp_test.moc"
