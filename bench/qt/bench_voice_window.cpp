// Figures of the voice window against phone-sim and kelmo-sim (in-process,
// free ports): the main thread's time per 100 ms tick during a conversation
// with a lift (level poll, meters, pictures; goal under 1 ms), and the time
// from a phone event line leaving the phone program to the window showing its
// state (goal under 20 ms), the first ring (which creates the window) apart.
//
//   bench_voice_window [SECONDS]     length of the conversation (10)
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <vector>

#include "../bench_support.h"
#include "iptel/telephony.h"
#include "settings/fast_ini.h"
#include "shell/phone_station.h"
#include "shell/call_desk.h"
#include "support/sim_phone.h"
#include "support/temp_folder.h"
#include "tools/kelmo-sim/kelmo_sim.h"
#include "voice/map_call.h"
#include "window_bench.h"

using namespace vertamo;
using namespace vertamo::ui;
using namespace vertamo::bench;

namespace {

// The event loop as the program runs it, for `milliseconds`.
void Run(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

int Polls(const kelmosim::Server& gateway) {
  const auto received = gateway.Received();
  return static_cast<int>(std::count(received.begin(), received.end(), std::string("getad 3")));
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// The call desk's side of the call events, timed: a ring's event is shown
// (the window made, drawn and put in front) before the desk returns.
class TTimedCallWindow final : public ICallWindow {
 public:
  explicit TTimedCallWindow(ICallWindow& inner) : inner_(inner) {}
  void PhoneEvent(const TPhoneEvent& event) override {
    const bool ring = event.kind == TPhoneEventKind::Ring;
    clock_.start();
    if (ring && since) arrivedMs.push_back(since->nsecsElapsed() / 1e6);
    inner_.PhoneEvent(event);
    if (ring) ringMs.push_back(clock_.nsecsElapsed() / 1e6);
    if (ring && onRing) onRing();
  }
  void ShowCallInfo(const std::string& text) override { inner_.ShowCallInfo(text); }
  void SelectSubscriber(int position) override { inner_.SelectSubscriber(position); }
  void ShowCallStatus(const std::string& text) override { inner_.ShowCallStatus(text); }
  void PhoneAnswered() override { inner_.PhoneAnswered(); }
  std::vector<double> ringMs;     // in the window
  std::vector<double> arrivedMs;  // from the ring to the window's call
  const QElapsedTimer* since = nullptr;
  std::function<void()> onRing;

 private:
  ICallWindow& inner_;
  QElapsedTimer clock_;
};

}  // namespace

int main(int argc, char** argv) {
  OffscreenWithoutDisplay();
  QApplication app(argc, argv);
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

  testing::TempFolder dir;
  testing::WriteWholeFile(dir.file("IpAbonents.ini"), "[ABONENT0]\r\nName=Gate\r\nAdr=10.0.0.5\r\n");
  phonesim::Options phoneOptions;
  phoneOptions.answerDelayMs = 20;
  testing::SimPhone phone(phoneOptions);
  kelmosim::Server gateway;
  kelmosim::Options gatewayOptions;
  gatewayOptions.port = 0;
  std::string error;
  if (!phone.started || !gateway.Start(gatewayOptions, &error)) {
    std::fprintf(stderr, "simulators: %s\n", error.c_str());
    return 1;
  }
  TFastIni ini(dir.file("Vertamo.ini"));
  TPhoneOptions options;
  options.start = true;
  options.port = phone.sim.Port();
  options.processes = &phone;
  TPhoneStation station(nullptr, dir.folder(), dir.folder(), options);
  station.ReadSettings(ini);
  station.Start();
  TCallDeskHost host;
  host.ini = &ini;
  host.window.ini = &ini;
  host.gatewayPort = gateway.Port();
  TCallDesk voice(nullptr, station, host);
  TCallController& calls = voice.Controller();
  TTimedCallWindow timed(voice);
  station.SetCallWindow(&timed);
  if (!Spin([&] { return station.Telephony().PhoneLinkUp() && phone.Serving(); }, 5000)) {
    std::fprintf(stderr, "no phone link\n");
    return 1;
  }

  // Phone event line -> state shown. Each ring follows the previous call's
  // end after a pause: a long one, and a short one in which the control
  // connection may still hold back the small line (Nagle and delayed ACKs).
  constexpr int kRings = 10;
  const int pauses[] = {100, 30};
  std::vector<double> first;
  for (const int pause : pauses) {
    std::vector<double> rings;
    timed.ringMs.clear();
    timed.arrivedMs.clear();
    for (int i = 0; i < kRings; ++i) {
      QElapsedTimer clock;
      clock.start();
      timed.since = &clock;
      // The main thread waits in its event loop, as the program does (a
      // spinning wait would take a core from the threads that deliver the line).
      QEventLoop loop;
      double shownMs = -1;
      timed.onRing = [&] {
        shownMs = clock.nsecsElapsed() / 1e6;
        loop.quit();
      };
      QTimer::singleShot(5000, &loop, &QEventLoop::quit);
      phone.sim.Ring("Gate [10.0.0.5]");
      loop.exec();
      timed.onRing = nullptr;
      timed.since = nullptr;
      TFVoice* shown = voice.VoiceWindow(false);
      if (shownMs < 0 || !shown || !shown->isVisible() || calls.Session().State() != TCallState::Ringing) {
        std::fprintf(stderr, "ring %d was not shown\n", i);
        return 1;
      }
      (first.empty() ? first : rings).push_back(shownMs);
      calls.Answer();  // "y": the call is connected
      if (!Spin([&] { return calls.Session().State() == TCallState::Talking; }, 5000)) {
        std::fprintf(stderr, "ring %d was not answered\n", i);
        return 1;
      }
      calls.Escape();  // "h"
      Run(pause);
    }
    if (pause == pauses[0])
      std::printf("phone event to state shown, first ring (creates the window): %.2f ms, in the window %.2f ms\n",
                  first.front(), timed.ringMs.front());
    std::printf("phone event to state shown, %d ms after the previous call: median %.2f ms, worst %.2f ms of %zu "
                "(goal < 20 ms); in the window median %.2f ms, line to window median %.2f ms\n",
                pause, Median(rings), *std::max_element(rings.begin(), rings.end()), rings.size(),
                Median(timed.ringMs), Median(timed.arrivedMs));
  }

  // A conversation with a lift: the main thread's time per 100 ms tick.
  TFVoice& window = *voice.VoiceWindow(true);
  TMapCall call;
  call.command = "c 3*17*1@127.0.0.1";
  call.title = "Lift 5";
  call.gatewayHost = "127.0.0.1";
  call.gatewayLine = 3;
  voice.MapCall(call, {});
  if (!Spin([&] { return calls.Session().State() == TCallState::Talking && Polls(gateway) > 0; }, 5000)) {
      std::fprintf(stderr, "step %d did not happen\n", 3);
      return 1;
    }
  const char* meters[] = {"Индикатор уровня", "Аудиоиндикатор", "Горизонтальная шкала уровня",
                          "Вертикальная шкала уровня", "Полукруглая шкала уровня"};
  for (int kind = 0; kind < TFVoice::kMeterKinds; ++kind) {
    // The dispatcher's choice in the recording panel's menu.
    for (QAction* item : window.findChildren<QAction*>())
      if (item->text() == QString::fromUtf8(meters[kind])) item->trigger();
    const int polls0 = Polls(gateway);
    const double cpu0 = ThreadCpuMs();
    Run(seconds * 1000 / TFVoice::kMeterKinds);
    const double cpu = ThreadCpuMs() - cpu0;
    const int ticks = Polls(gateway) - polls0;
    std::printf("meter kind %d: %d ticks, main-thread CPU %.3f ms per tick (goal < 1 ms)\n", kind, ticks,
                ticks > 0 ? cpu / ticks : 0.0);
  }
  calls.Escape();
  station.SetCallWindow(&voice);
  return 0;
}
