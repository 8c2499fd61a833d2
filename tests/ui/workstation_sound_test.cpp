// The server's "PLAY" through the main window's sound thread, and the sound
// thread's end when the window closes.
#include <QtTest>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/audio_output.h"
#include "ui/workstation_fixture.h"

using namespace vertamo;
using vertamo::test::Workstation;

namespace {

// Records what is played; while `hold` is set a sound lasts until it is
// stopped (30 s at most).
class TRecordingOutput final : public IAudioOutput {
 public:
  bool PlayWaveFile(const std::string& path, const std::function<bool()>& stop, int) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      played_.push_back(path);
    }
    const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (hold && !(stop && stop()) && std::chrono::steady_clock::now() < bound)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (stop && stop()) ++stopped;
    return true;
  }
  std::vector<std::string> Played() {
    std::lock_guard<std::mutex> lock(mutex_);
    return played_;
  }
  std::atomic<bool> hold{false};
  std::atomic<int> stopped{0};

 private:
  std::mutex mutex_;
  std::vector<std::string> played_;
};

}  // namespace

class WorkstationSoundTest : public QObject {
  Q_OBJECT

 private slots:
  void serverSoundsPlayFromTheWaveFolder() {
    TRecordingOutput output;
    Workstation w(test::SmallDistrict(), test::QuietServer(), test::QuickTimings(), true, false, &output);
    QVERIFY(w.WaitForMaps());
    testing::WriteWholeFile(w.dir.file("Wave/Alarm.wav"), "RIFF");
    const std::string alarm = w.settings->WorkFolder + "Wave/Alarm.wav";
    QVERIFY(w.Feed({"PLAY WAVE=\"Missing.wav\"", "PLAY WAVE=\"C:\\Sounds\\ALARM.wav\"", "PLAY WAVE=\"200\"",
                    "PLAY WAVE=\"Alarm.wav\""},
                   [&] { return output.Played().size() == 2; }));
    QCOMPARE(output.Played(), (std::vector<std::string>{alarm, alarm}));
  }

  void closingCutsThePlayingSound() {
    TRecordingOutput output;
    output.hold = true;
    Workstation w(test::SmallDistrict(), test::QuietServer(), test::QuickTimings(), true, false, &output);
    QVERIFY(w.WaitForMaps());
    testing::WriteWholeFile(w.dir.file("Wave/Alarm.wav"), "RIFF");
    QVERIFY(w.Feed({"PLAY WAVE=\"Alarm.wav\"", "PLAY WAVE=\"Alarm.wav\""},
                   [&] { return output.Played().size() == 1; }));
    QVERIFY(w.form->close());
    QCOMPARE(output.stopped.load(), 1);
    QCOMPARE(output.Played().size(), size_t(1));
    QVERIFY(w.form->Sounds() == nullptr);
  }
};

QTEST_MAIN(WorkstationSoundTest)
#include "workstation_sound_test.moc"
