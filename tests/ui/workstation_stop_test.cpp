// F5 and closing the main window while the connection thread is anywhere in
// its cycle: held at every step of the login and the load by a server that
// stops answering there, and in the middle of a stream of posted routines. Every
// stop must end the thread and leave the window connecting again; nothing may
// hang (a hang ends this test by its time limit). The time each stop took is
// printed; an F5 or a close at a held step ends promptly (kPromptMs), as the
// thread's wait wakes at the stop.
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>

#include "journal/ui/log_last.h"
#include "support/prompt.h"
#include "ui/workstation_fixture.h"

using namespace vertamo;
using namespace vertamo::ui;
using vertamo::test::Workstation;

namespace {

struct HeldStep {
  const char* name;
  orvexsim::Step step;
  int stage;  // where the thread waits
};

const HeldStep kHeldSteps[] = {
    {"greeting", orvexsim::Step::Greeting, kStageLogin},
    {"login", orvexsim::Step::Login, kStageAuthorising},
    {"maps", orvexsim::Step::GetMap, kStageMaps},
    {"objects", orvexsim::Step::GetMapObj, kStageObjects},
    {"backgrounds", orvexsim::Step::GetPictMap, kStageBackgrounds},
    {"pictures", orvexsim::Step::GetPictIml, kStagePictures},
    {"texts", orvexsim::Step::GetText, kStageTexts},
    {"changes", orvexsim::Step::GetChanges, kStagePolling},
};

// The window is back in the connecting state with no map left.
bool Connecting(TFormVertamo& form) {
  return form.PageControl1->count() == 0 && !form.PageControl1->isVisibleTo(&form) &&
         form.windowTitle() == QStringLiteral("Подключение...") && form.Model().MapList.Count() == 0 &&
         form.Model().ObjectList.Count() == 0;
}

double Ms(const QElapsedTimer& timer) { return static_cast<double>(timer.nsecsElapsed()) / 1e6; }

bool Prompt(double ms) { return ms < static_cast<double>(vertamo::testing::kPromptMs); }

}  // namespace

class WorkstationStopTest : public QObject {
  Q_OBJECT

 private slots:
  void f5AndCloseAtEveryStep_data() {
    QTest::addColumn<int>("which");
    for (int i = 0; i < static_cast<int>(std::size(kHeldSteps)); ++i) QTest::newRow(kHeldSteps[i].name) << i;
  }
  void f5AndCloseAtEveryStep() {
    QFETCH(int, which);
    const HeldStep& held = kHeldSteps[which];
    auto scenario = test::SmallDistrict();
    scenario->faults.push_back({orvexsim::FaultKind::Stall, held.step});
    Workstation w(scenario);
    QVERIFY(w.started);
    for (int round = 0; round < 3; ++round) {
      QTRY_COMPARE_WITH_TIMEOUT(w.form->Client()->Stage(), held.stage, 20000);
      const int connections = w.server.ConnectionsAccepted();
      QElapsedTimer timer;
      timer.start();
      QTest::keyClick(w.form.get(), Qt::Key_F5);
      const double ms = Ms(timer);
      qInfo("%s: F5 took %.1f ms", held.name, ms);
      QVERIFY(Prompt(ms));
      QVERIFY(w.form->Client() != nullptr);
      QVERIFY(Connecting(*w.form));
      // A new connection: the stopped one held its step to the end.
      QTRY_VERIFY(w.server.ConnectionsAccepted() > connections);
    }
    QTRY_COMPARE_WITH_TIMEOUT(w.form->Client()->Stage(), held.stage, 20000);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(w.form->close());
    const double ms = Ms(timer);
    qInfo("%s: close took %.1f ms", held.name, ms);
    QVERIFY(Prompt(ms));
    QVERIFY(w.form->Client() == nullptr);
    QVERIFY(Connecting(*w.form));
    QVERIFY(!w.settings->MainIni);  // saved and closed
  }

  void f5InTheMiddleOfAStreamOfPostedRoutines() {
    // Two thousand objects: every one is a status text posted while the thread
    // loads them, and the pictures and the feed follow. F5 at random moments.
    Workstation w(test::BusyDistrict(4, 2000));
    QVERIFY(w.started);
    QRandomGenerator random(5);
    int stagesSeen = 0;
    double longest = 0;
    for (int round = 0; round < 25; ++round) {
      QTest::qWait(static_cast<int>(random.bounded(60)));
      stagesSeen |= 1 << w.form->Client()->Stage();
      QElapsedTimer timer;
      timer.start();
      w.form->Reconnect();
      longest = std::max(longest, Ms(timer));
      QVERIFY(Connecting(*w.form));
    }
    qInfo("25 reconnects in the stream, the longest took %.1f ms (stages seen: %x)", longest, stagesSeen);
    QVERIFY(Prompt(longest));
    // It still gets there in the end.
    QVERIFY(w.WaitForMaps(60000));
    QCOMPARE(w.form->PageControl1->count(), 4);
    QCOMPARE(w.form->Model().ObjectList.Count(), 2000);
  }

  void aHundredThousandObjectsBuildOnlyTheMapShown() {
    // The model as a load of 100,000 objects leaves it: only the map on
    // screen is drawn, and a close frees it all.
    testing::TempFolder dir;
    TAppSettings settings("/opt/vertamo/", "vertamo");
    settings.ChooseWorkFolder("Vertamo", dir.path());
    TFormOptions options;
    options.startClient = false;
    TFormVertamo form(settings, options);
    form.show();
    TMapModel& model = form.Model();
    for (int m = 0; m < 4; ++m) model.MapList.Add("M" + std::to_string(m), false);
    for (int i = 0; i < 100000; ++i) {
      MAPOBJECT object;
      object.SetMapIndex(i % 4);
      object.SetX(i % 1000);
      object.SetY(i / 1000 * 5);
      model.ObjectList.Add(object);
    }
    QVERIFY(form.BuildMaps());
    QTRY_VERIFY(form.Maps().View(0)->Filled());
    QVERIFY(!form.Maps().View(1)->Filled() && !form.Maps().View(3)->Filled());
    QVERIFY(form.close());
    QCOMPARE(form.PageControl1->count(), 0);
    QCOMPARE(model.ObjectList.Count(), 0);
  }

  void closeWhileTheMapsAreBuilt() {
    // Closing (and destroying) at random moments of a load, the build of the
    // tabs included.
    QRandomGenerator random(9);
    for (int round = 0; round < 8; ++round) {
      Workstation w(test::BusyDistrict(3, 1500));
      QVERIFY(w.started);
      QTest::qWait(static_cast<int>(random.bounded(400)));
      QElapsedTimer timer;
      timer.start();
      if (round % 2)
        QVERIFY(w.form->close());
      else
        w.form.reset();
      qInfo("round %d: the window went in %.1f ms", round, Ms(timer));
    }
  }

  void f5FromTheJournalAndWhileServerIsDown() {
    // No server at all: cycles follow each other; F5 from the journal too.
    Workstation w;
    QVERIFY(w.started);
    w.server.Stop();
    for (int round = 0; round < 5; ++round) {
      emit w.form->LogLast()->ReconnectRequested();
      QVERIFY(Connecting(*w.form));
      QTest::qWait(30);
    }
    QVERIFY(w.form->close());
  }
};

QTEST_MAIN(WorkstationStopTest)
#include "workstation_stop_test.moc"
