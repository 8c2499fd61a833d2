// The main window's first start and close on a fresh and on a hand-written
// work folder.
#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <csignal>

#include "platform/folders.h"
#include "journal/ui/journal_day_view.h"
#include "journal/ui/log_last.h"
#include "shell/form_vertamo.h"
#include "shell/termination_notifier.h"
#include "uikit/widget_bounds.h"
#include "support/temp_folder.h"
#include "ui/vertamo_ini_fixture.h"
#include "ui/widget_shots.h"

using namespace vertamo;
using namespace vertamo::ui;
using vertamo::testing::ReadWholeFile;
using vertamo::testing::TempFolder;
using vertamo::testing::WriteWholeFile;

class FormVertamoTest : public QObject {
  Q_OBJECT

 private:
  // Settings of a program installed in /opt/vertamo working in `dir`.
  static std::unique_ptr<TAppSettings> SettingsIn(const TempFolder& dir) {
    auto settings = std::make_unique<TAppSettings>("/opt/vertamo/", "vertamo");
    settings->ChooseWorkFolder("Vertamo", dir.path());
    return settings;
  }

 private slots:
  void firstStartShowsTheConnectingWindow() {
    TempFolder dir;
    auto settings = SettingsIn(dir);
    TFormVertamo form(*settings);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QCOMPARE(QString::fromStdString(CurrentFolder()),
             QDir(QString::fromStdString(dir.path())).canonicalPath());
    QVERIFY(FolderExists(dir.file("Wave")));
    QVERIFY(settings->MainIni);
    QCOMPARE(QString::fromStdString(settings->MainIni->FileName()),
             QString::fromStdString(dir.file("Vertamo.ini")));

    QCOMPARE(form.objectName(), QStringLiteral("FormVertamo"));
    QCOMPARE(form.windowTitle(), QStringLiteral("Подключение..."));
    // The screen has room for both: the main window above, the journal below.
    QCOMPARE(form.frameGeometry(), QRect(0, 0, 800, 600));
    QTRY_COMPARE(form.LogLast()->frameGeometry(), QRect(0, 600, 800, 200));
    // Closed, the journal only hides; "Вид" shows it again, and puts the
    // windows back where a first start had them.
    QVERIFY(form.LogLast()->close());
    QVERIFY(form.LogLast() && !form.LogLast()->isVisible());
    form.setGeometry(100, 100, 300, 300);
    form.mShowJournal->trigger();
    QVERIFY(form.LogLast()->isVisible());
    form.mDefaultPlaces->trigger();
    QTRY_COMPARE(form.frameGeometry(), QRect(0, 0, 800, 600));
    QCOMPARE(form.LogLast()->frameGeometry(), QRect(0, 600, 800, 200));
    // F10 opens the menu bar; Alt with a Latin letter the menu of its name.
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    const std::pair<QKeyCombination, QMenu*> keys[] = {{Qt::Key_F10, form.mFile},
                                                      {Qt::ALT | Qt::Key_F, form.mFile},
                                                      {Qt::ALT | Qt::Key_V, form.ZoomMenu->mView},
                                                      {Qt::ALT | Qt::Key_C, form.mCall}};
    for (const auto& [key, menu] : keys) {
      QTest::keySequence(&form, QKeySequence(key));
      QTRY_VERIFY(menu->isVisible());
      menu->close();
      form.menuBar()->setActiveAction(nullptr);
    }
    QCOMPARE(form.palette().color(QPalette::Window), QColor(0xC0, 0xC0, 0xC0));
    QCOMPARE(form.font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(form.font().pixelSize(), 12);

    QLabel* label = form.findChild<QLabel*>("LabelSrv");
    QVERIFY(label == form.LabelSrv && label != nullptr);
    QCOMPARE(label->text(), QStringLiteral("Подключение к серверу localhost"));
    QCOMPARE(label->font().pixelSize(), 32);
    QCOMPARE(label->alignment(), Qt::AlignCenter);
    QCOMPARE(label->geometry(), form.centralWidget()->rect());  // fills the client area
    QCOMPARE(form.Profile().Port, 9900);

    QStatusBar* status = form.findChild<QStatusBar*>("StatusBar1");
    QVERIFY(status == form.statusBar());
    QCOMPARE(form.StatusPanels[0]->width(), 200);
    QVERIFY2(form.StatusPanels[1]->width() > 500, "the last panel takes the rest");
    form.SetStatusText(0, "stage");
    form.SetStatusText(1, "progress");
    form.SetStatusText(2, "nowhere");
    QCOMPARE(form.StatusText(0), QStringLiteral("stage"));
    QCOMPARE(form.StatusText(1), QStringLiteral("progress"));
    QCOMPARE(form.StatusText(2), QString());

    QCOMPARE(form.menuBar()->objectName(), QStringLiteral("MainMenu1"));
    const QList<QAction*> top = form.menuBar()->actions();
    QCOMPARE(top.size(), 3);
    QCOMPARE(top[0]->text(), QStringLiteral("&Файл"));
    QCOMPARE(top[1]->text(), QStringLiteral("&Вид"));
    QCOMPARE(top[2]->text(), QStringLiteral("&Связь"));
    QCOMPARE(top[2]->menu()->actions().size(), 1);
    QCOMPARE(top[2]->menu()->actions()[0]->text() + " " + top[2]->menu()->actions()[0]->shortcut().toString(),
             QStringLiteral("Телефонная книга Ctrl+T"));
    QStringList zoomItems;
    for (const QAction* item : top[1]->menu()->actions())
      zoomItems << item->text() + " " + item->shortcut().toString();
    QCOMPARE(zoomItems, (QStringList{"По размеру окна Ctrl+0", "100 % Ctrl+1", "Увеличить Ctrl++",
                                     "Уменьшить Ctrl+-", " ", "Оперативный журнал Ctrl+J",
                                     "Расположение окон по умолчанию "}));
    const QList<QAction*> items = top[0]->menu()->actions();
    QCOMPARE(items.size(), 5);
    QCOMPARE(items[0]->text(), QStringLiteral("Настройки"));
    QCOMPARE(items[0]->objectName(), QStringLiteral("mSetup"));
    QCOMPARE(items[1]->text(), QStringLiteral("Журнал за сегодня"));
    QCOMPARE(items[1]->objectName(), QStringLiteral("mJournal"));
    QCOMPARE(items[2]->text(), QStringLiteral("Сводка за день"));
    QVERIFY(items[3]->isSeparator());
    QCOMPARE(items[4]->text(), QStringLiteral("Выход"));
    QCOMPARE(items[4]->objectName(), QStringLiteral("mClose"));

    vertamo::test::SaveShot(form.grab().toImage(), "form_vertamo_first_start");
    QVERIFY(form.isVisible());

    QVERIFY(form.close());
    QVERIFY(!settings->MainIni);
    const std::string ini = ReadWholeFile(dir.file("Vertamo.ini"));
    QCOMPARE(QString::fromStdString(ini), QString::fromStdString(testing::FirstStartIni()));
    QVERIFY(testing::AllLinesEndInCrLf(ini));
  }

  void exitMenuClosesAndSaves() {
    TempFolder dir;
    auto settings = SettingsIn(dir);
    {
      TFormVertamo form(*settings);
      form.show();
      QVERIFY(QTest::qWaitForWindowExposed(&form));
      TWidgetBounds bounds(&form);  // outer bounds, as the settings keep them
      bounds.setLeft(25);
      bounds.setTop(35);
      bounds.setWidth(640);
      bounds.setHeight(480);
      QTRY_COMPARE(form.frameGeometry(), QRect(25, 35, 640, 480));
      form.mClose->trigger();
      // A slip of the mouse does not close a dispatch console: it asks, "Нет" the default.
      auto* box = form.findChild<QMessageBox*>();
      QVERIFY(box && box->isVisible());
      QCOMPARE(box->text(), QStringLiteral("Закрыть рабочее место диспетчера?"));
      QCOMPARE(box->defaultButton()->text(), QStringLiteral("Нет"));
      QTest::keyClick(box, Qt::Key_Return);
      QVERIFY(form.isVisible());
      QTRY_VERIFY(!form.findChild<QMessageBox*>());
      form.mClose->trigger();
      box = form.findChild<QMessageBox*>();
      QVERIFY(box);
      box->button(QMessageBox::Yes)->click();
      QVERIFY(!form.isVisible());
      const std::string ini = ReadWholeFile(dir.file("Vertamo.ini"));
      QVERIFY(ini.find("[FormVertamo]\r\nLeft=25\r\nTop=35\r\nWidth=640\r\nHeight=480\r\n") == 0);
      // Closing again, and destroying, save nothing a second time.
      WriteWholeFile(dir.file("Vertamo.ini"), "kept");
      form.close();
    }
    QCOMPARE(QString::fromStdString(ReadWholeFile(dir.file("Vertamo.ini"))), QStringLiteral("kept"));
  }

  void destroyingWithoutCloseStillSaves() {
    TempFolder dir;
    auto settings = SettingsIn(dir);
    { TFormVertamo form(*settings); }
    QCOMPARE(QString::fromStdString(ReadWholeFile(dir.file("Vertamo.ini"))),
             QString::fromStdString(testing::FirstStartIni()));
  }

  void handWrittenSettingsComeBackByTheRules() {
    TempFolder dir;
    WriteWholeFile(dir.file("Vertamo.ini"), testing::HandWrittenIni());
    auto settings = SettingsIn(dir);
    TFormVertamo form(*settings);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.LabelSrv->text(), QString::fromUtf8(testing::HandWrittenIniLabel()));
    QCOMPARE(form.frameGeometry(), QRect(40, 30, 700, 500));
    QCOMPARE(form.Profile().Port, 10001);
    QVERIFY(form.Profile().Debug);
    QVERIFY(form.close());
    const std::string ini = ReadWholeFile(dir.file("Vertamo.ini"));
    QCOMPARE(QString::fromLatin1(ini.data(), ini.size()),
             QString::fromLatin1(testing::HandWrittenIniAfterClose().data(),
                                 testing::HandWrittenIniAfterClose().size()));
    QVERIFY2(ini.find("\xD6\xE5\xED\xF2\xF0") != std::string::npos, "\"Центр\" in code page 1251");
  }

  void terminationSignalClosesLikeExit() {
    TempFolder dir;
    auto settings = SettingsIn(dir);
    TFormVertamo form(*settings);
    TTerminationNotifier termination;
    QVERIFY(termination.isActive());
    QSignalSpy spy(&termination, &TTerminationNotifier::terminationRequested);
    connect(&termination, &TTerminationNotifier::terminationRequested, &form, &QWidget::close);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    std::raise(SIGTERM);
    QTRY_VERIFY(!form.isVisible());
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy[0][0].toInt(), SIGTERM);
    QCOMPARE(QString::fromStdString(ReadWholeFile(dir.file("Vertamo.ini"))),
             QString::fromStdString(testing::FirstStartIni()));
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
  }

  void journalEntriesStayOnDiskAndTheMenuShowsTheDay() {
    TempFolder dir;
    auto settings = SettingsIn(dir);
    TFormOptions options;
    options.startClient = false;
    TFormVertamo form(*settings, options);
    TLogEntry entry;
    entry.texts = {"07.12.2026", "10:00:00", "Lift 1", "Street 5", "Fault", ""};
    form.AddLogEntry(entry);
    form.LogLast()->Clear();  // the window empties, the file keeps what it showed
    form.AddLogEntry(entry);
    QCOMPARE(form.LogLast()->Row(1).texts[0], QString());
    const std::string path = form.JournalFile().TodayPath();
    const QString text = QString::fromStdString(ReadWholeFile(path));
    QCOMPARE(text.count(QStringLiteral("  07.12.2026 | 10:00:00 | Lift 1 | Street 5 | Fault | \t-1 0 0\r\n")), 2);
    // The menu opens the day in a window of the workstation, once.
    form.mJournal->trigger();
    form.mJournal->trigger();
    const auto views = form.findChildren<TJournalDayView*>();
    QCOMPARE(views.size(), qsizetype(1));
    QVERIFY(views.front()->isVisible());
    QCOMPARE(views.front()->StringGrid1->model()->rowCount(), 2);
  }

  void theJournalShowsTheDaySoFarAtStartAndAfterEachCycle() {
    TempFolder dir;
    auto settings = SettingsIn(dir);
    {
      TJournalFile before(settings->WorkFolder);
      for (int n = 0; n < 120; ++n) {
        TLogEntry entry;
        entry.texts = {"07.12.2026", "10:00:00", "Lift", "Street", "Fault", "N" + std::to_string(n)};
        QVERIFY(before.Append(entry));
      }
    }
    TFormOptions options;
    options.startClient = false;
    TFormVertamo form(*settings, options);
    TLogLast* journal = form.LogLast();
    QVERIFY(journal->Row(0).earlier);
    QCOMPARE(journal->Row(0).texts[5], QStringLiteral("N119"));
    QCOMPARE(journal->Row(99).texts[5], QStringLiteral("N20"));
    QColor background, foreground;
    journal->Grid()->CellColors(0, false, background, foreground);
    QCOMPARE(background, QColor(0xF4, 0xF4, 0xF4));

    TLogEntry fresh;
    fresh.color = 0x0000FF;
    fresh.texts = {"07.12.2026", "10:05:00", "Lift", "Street", "Fault", "new"};
    form.AddLogEntry(fresh);
    QVERIFY(!journal->Row(0).earlier);
    QCOMPARE(journal->Row(1).texts[5], QStringLiteral("N119"));

    // A new connection cycle: the server's list goes, the day stays, the
    // entry that came meanwhile among the earlier ones.
    form.ClearMaps();
    QVERIFY(journal->Row(0).earlier);
    QCOMPARE(journal->Row(0).texts[5], QStringLiteral("new"));
    QCOMPARE(journal->Row(99).texts[5], QStringLiteral("N21"));
    // The dispatcher's own clearing empties it.
    journal->Clear();
    QCOMPARE(journal->Row(0).texts[5], QString());
  }

  void aJournalBehindTheMainWindowComesOutAndItsPlaceIsKept() {
    TempFolder dir;
    WriteWholeFile(dir.file("Vertamo.ini"),
                   "[FormVertamo]\r\nLeft=0\r\nTop=0\r\nWidth=800\r\nHeight=400\r\n"
                   "[LogLast]\r\nLeft=100\r\nTop=100\r\nWidth=600\r\nHeight=150\r\n");
    auto settings = SettingsIn(dir);
    TFormOptions options;
    options.startClient = false;
    {
      TFormVertamo form(*settings, options);
      form.show();
      QVERIFY(QTest::qWaitForWindowExposed(form.LogLast()));
      // The screen is 800 x 600: just below the main window there is room.
      QTRY_COMPARE(form.LogLast()->frameGeometry(), QRect(100, 400, 600, 150));
      form.LogLast()->move(120, 430);  // the dispatcher moves it
      QTRY_COMPARE(form.LogLast()->frameGeometry().topLeft(), QPoint(120, 430));
      QVERIFY(form.close());
    }
    const std::string ini = ReadWholeFile(dir.file("Vertamo.ini"));
    QVERIFY2(ini.find("[LogLast]\r\nLeft=120\r\nTop=430\r\nWidth=600\r\nHeight=150\r\n") != std::string::npos,
             ini.c_str());
  }

  void unwritableSettingsKeepTheOldFile() {
    // The settings path is a folder that is not empty: the close cannot
    // replace it, and the window still closes.
    TempFolder dir;
    QVERIFY(QDir().mkpath(QString::fromStdString(dir.file("Vertamo.ini/inside"))));
    auto settings = SettingsIn(dir);
    TFormVertamo form(*settings);
    QVERIFY(settings->MainIni->Failed());
    QCOMPARE(form.LabelSrv->text(), QStringLiteral("Подключение к серверу localhost"));
    QVERIFY(form.close());
    QVERIFY(FolderExists(dir.file("Vertamo.ini/inside")));
  }
};

QTEST_MAIN(FormVertamoTest)
#include "form_vertamo_test.moc"
