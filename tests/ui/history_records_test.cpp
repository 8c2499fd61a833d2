// The history tab's records: which rows can be heard again, and that
// playing one sends its sound out, while a path from the file that leads
// outside Records is never opened.
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <sndfile.h>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "records/conversation_merge.h"
#include "records/ui/record_player_widget.h"
#include "support/temp_folder.h"
#include "voice/ui/history_records.h"

using namespace vertamo;
using namespace vertamo::ui;
using vertamo::testing::TempFolder;

namespace {

class CountingStream final : public IAudioStream {
 public:
  bool Open(int, int, std::string*) override { return true; }
  bool Write(const int16_t*, size_t count) override {
    frames += count;
    return true;
  }
  void Drop() override {}
  void Finish() override {}
  void Close() override {}
  std::atomic<size_t> frames{0};
};

}  // namespace

class HistoryRecordsTest : public QObject {
  Q_OBJECT

 private slots:
  void onlyAKeptRecordInsideRecordsIsPlayed() {
    TempFolder work;
    const std::string kept = "Records/2026-12-08/10-00-00 1@h.opus";
    std::filesystem::create_directories(work.file("Records/2026-12-08"));
    // A record of a second of silence on one side.
    SF_INFO info{};
    info.samplerate = 8000;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* wave = sf_open(work.file("x.wav").c_str(), SFM_WRITE, &info);
    const std::vector<short> silence(8000);
    sf_write_short(wave, silence.data(), 8000);
    sf_close(wave);
    QVERIFY(MergeConversation(work.file("x.wav"), "", work.file(kept), nullptr));
    std::ofstream(work.file("Vertamo.ini")) << "[x]";

    QWidget owner;
    auto* grid = new QTableWidget(4, THistoryRecords::kColumn + 1);
    auto stream = std::make_unique<CountingStream>();
    CountingStream& heard = *stream;
    auto* player = new TRecordPlayerWidget(std::make_unique<TRecordPlayer>(std::move(stream)));
    THistoryRecords records(grid, work.path(), &owner, player);
    const TCallRecord base{0, "Lift", 30, "x", 10, {}};
    const struct {
      std::string record;
      QString shown;
      bool plays;
    } rows[] = {
        {kept, QStringLiteral("▶"), true},
        {"Records/2026-12-08/11-00-00 2@h.opus", QStringLiteral("нет файла"), false},
        {"Records/2026-12-08/../../Vertamo.ini", QString::fromStdString("Records/2026-12-08/../../Vertamo.ini"), false},
        {RecordNoteText(TRecordNote::PhoneDoesNotRecord),
         QStringLiteral("не записан: программа телефона не записывает разговоры"), false},
    };
    for (int row = 0; row < 4; ++row) {
      TCallRecord call = base;
      call.record = rows[row].record;
      records.SetRecordCell(row, call);
      QCOMPARE(grid->item(row, THistoryRecords::kColumn)->text(), rows[row].shown);
    }
    for (int row = 3; row >= 0; --row) {
      grid->setCurrentCell(row, 0);
      QCOMPARE(records.PlaySelected(), rows[row].plays);
    }
    QTRY_VERIFY(!player->Player().Playing());
    QVERIFY(heard.frames >= 7800);
    QVERIFY(player->Player().Opened());
  }
};

QTEST_MAIN(HistoryRecordsTest)
#include "history_records_test.moc"
