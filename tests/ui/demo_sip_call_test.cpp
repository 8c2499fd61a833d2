// The demo end to end with the real phone: a click on a lift calls the demo's
// SIP lift intercom through vertamo-phone and baresip, the conversation runs,
// and Escape ends it. Skipped, saying why, where baresip is not installed.
#include <QApplication>
#include <QKeyEvent>
#include <QScrollArea>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "demo_fixture.h"
#include "phone/phone_under_test.h"
#include "platform/folders.h"
#include "tools/orvex-sim/scenario.h"
#include "voice/ui/form_sel_lift_mp.h"
#include "voice/ui/form_voice.h"
#include "workstation_fixture.h"

using namespace vertamo;
using namespace vertamo::ui;
using vertamo::test::ClickObject;

namespace {

constexpr int kWaitMs = 10000;

}  // namespace

class DemoSipCallTest : public QObject {
  Q_OBJECT

 private slots:
  void aClickOnALiftTalksToTheDemosSipIntercom() {
    if (const std::string missing = testing::BaresipMissing(); !missing.empty()) QSKIP(missing.c_str());
    testing::TempFolder dir;
    TAppSettings settings("/opt/vertamo/", "vertamo");
    settings.ChooseWorkFolder(kDemoFolderName, dir.path());
    QVERIFY(SetCurrentFolder(settings.WorkFolder));  // the phone's folder, as the program's is
    TDemoProcess demo;
    std::string error;
    QVERIFY2(test::StartDemo(demo, &error, VERTAMO_PHONE_PATH, settings.WorkFolder) && !demo.GatewayHost().empty(),
             error.c_str());
    QVERIFY(demo.RealPhone());
    QVERIFY(PrepareDemoSettings(settings.WorkFolder, demo.Port(), TScreenArea{0, 0, 1280, 1024}));
    QVERIFY(PrepareDemoPhoneBook(settings.WorkFolder, demo.Subscribers()));
    TFormOptions options = test::DemoFormOptions(demo);
    options.phone.programPath = VERTAMO_PHONE_PATH;
    TFormVertamo form(settings, options);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // The maps are built once the main thread has taken the loaded catalogue,
    // which may come a moment after the connection thread began polling.
    QTRY_VERIFY_WITH_TIMEOUT(form.PageControl1->isVisible() && form.Client() &&
                                 form.Client()->Stage() == kStagePolling &&
                                 form.Phone()->Telephony().PhoneLinkUp(),
                             20000);

    // A lift with a cabin only, so that no selector asks.
    const orvexsim::Scenario district = orvexsim::BuildDemoScenario();
    const auto lift = std::find_if(district.objects.begin(), district.objects.end(),
                                   [](const auto& o) { return o.call && o.call->pul && !o.call->pu; });
    QVERIFY(lift != district.objects.end());
    const int object = static_cast<int>(lift - district.objects.begin());
    ClickObject(form, object, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!form.ClickPending(), kWaitMs);  // the server's answer is in
    TFVoice* voice = form.VoiceWindow(false);
    QVERIFY(voice);
    // Answered by the intercom at once: the conversation runs.
    QTRY_COMPARE_WITH_TIMEOUT(form.Calls()->Session().State(), TCallState::Talking, kWaitMs);
    const std::string log = ReadWholeFileText(settings.WorkFolder + "vertamo-phone.log");
    QVERIFY2(log.find("dialling sip:") != std::string::npos, log.c_str());

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(voice, &escape);
    QTRY_COMPARE_WITH_TIMEOUT(form.Calls()->Session().State(), TCallState::Idle, kWaitMs);
    auto endSpoken = [&demo] {
      const std::vector<std::string> requests = demo.Requests();
      return std::any_of(requests.begin(), requests.end(),
                         [](const std::string& r) { return r.rfind("ENDSPEAK", 0) == 0; });
    };
    QTRY_VERIFY_WITH_TIMEOUT(endSpoken(), kWaitMs);
    form.close();
  }

 private:
  static std::string ReadWholeFileText(const std::string& path) { return testing::ReadWholeFile(path); }
};

QTEST_MAIN(DemoSipCallTest)
#include "demo_sip_call_test.moc"
