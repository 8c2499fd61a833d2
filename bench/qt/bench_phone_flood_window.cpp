// The voice window under a flood of phone event lines: for 10 s phone-sim
// sends one line as fast as the link takes it (statistics, then rings) to
// the real main window's telephony and voice window, while the event loop
// runs a 10 ms timer. Printed: lines sent, peak memory above the idle figure
// (goal < 100 MB) and the latest the timer came (the longest the window was
// held; goal < 50 ms).
//
//   bench_phone_flood_window [SECONDS]   (10 by default)
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "../bench_support.h"
#include "settings/fast_ini.h"
#include "shell/phone_station.h"
#include "shell/call_desk.h"
#include "support/sim_phone.h"
#include "support/temp_folder.h"
#include "window_bench.h"

using namespace vertamo;
using namespace vertamo::ui;
using namespace vertamo::bench;

int main(int argc, char** argv) {
  OffscreenWithoutDisplay();
  QApplication app(argc, argv);
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

  testing::TempFolder dir;
  testing::WriteWholeFile(dir.file("Vertamo.ini"), "[H323]\r\nEnableIpLog=1\r\n");
  testing::SimPhone phone;
  if (!phone.started) return 1;
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
  host.window.workFolder = dir.folder();
  TCallDesk voice(nullptr, station, host);
  station.SetCallWindow(&voice);
  voice.VoiceWindow(true);
  if (!Spin([&] { return station.Telephony().PhoneLinkUp() && phone.Serving(); }, 5000)) {
    std::fprintf(stderr, "no phone link\n");
    return 1;
  }
  for (const char* line : {"STAT jitter=20ms loss=0% rtt=4ms", "RING Gate [10.0.0.5]"}) {
    Spin([] { return false; }, 300);
    const double idle = ResidentMb();
    double peak = idle, latest = 0;
    QElapsedTimer since;
    since.start();
    qint64 due = 10;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
      latest = std::max(latest, double(since.elapsed() - due));
      due = since.elapsed() + 10;
      peak = std::max(peak, ResidentMb());
    });
    tick.start(10);
    phone.sim.Flood(line, seconds * 1000);
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000 + 500, &loop, &QEventLoop::quit);
    loop.exec();
    tick.stop();
    long sent = 0;
    for (const auto& entry : phone.sim.Record())
      if (entry.kind == "flood") sent = std::atol(entry.text.c_str());
    std::printf("%.4s flood to the voice window, %d s: %ld lines sent (%.0f lines/s); memory idle %.1f MB, "
                "peak %.1f MB (+%.1f MB, goal < 100 MB); 10 ms timer at most %.0f ms late (goal < 50 ms)\n",
                line, seconds, sent, sent / double(seconds), idle, peak, peak - idle, latest);
  }
  station.SetCallWindow(nullptr);
  return 0;
}
