// Figures of "Сводка за день": how long the main thread is held while the
// summary reads a day's journal and call history, counts them and draws its
// charts (goal: a day of 100 000 events under 1 s), and how much of that is
// the reading and counting alone.
//
//   bench_day_summary [EVENTS...]     days to show (10000 100000)
#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "journal/journal_file.h"
#include "platform/cp1251.h"
#include "journal/log_entry.h"
#include "summary/day_summary.h"
#include "summary/ui/form_day_summary.h"
#include "support/temp_folder.h"
#include "voice/call_history.h"
#include "window_bench.h"

using namespace vertamo;
using namespace vertamo::ui;

namespace {

// A day of `events` events spread over its hours, of five kinds, about 300
// objects, and a call for every fifty events.
void WriteDay(const std::string& folder, int events) {
  const std::time_t now = std::time(nullptr);
  std::tm today{};
  localtime_r(&now, &today);
  TJournalFile journal(folder, [&] { return today; });
  const int colors[] = {0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xC0C0C0};
  const char* what[] = {"Лифт остановлен: неисправность", "Лифт введён в работу", "Вызов диспетчера из кабины",
                        "Открыта дверь шахты", "Сработал датчик"};
  for (int n = 0; n < events; ++n) {
    today.tm_hour = n * 24 / events;
    TLogEntry entry;
    entry.object = (n * 7919) % 300;
    entry.color = colors[n % 5];
    entry.texts = {"08.12.2026", "10:00:00", Utf8ToCp1251("Лифт " + std::to_string(entry.object)),
                   Utf8ToCp1251("ул. Лесная, " + std::to_string(entry.object / 4)), Utf8ToCp1251(what[n % 5]),
                   Utf8ToCp1251("Заявка " + std::to_string(n))};
    if (!journal.Append(entry)) std::exit(1);
  }
  TCallHistory history(folder);
  std::tm start = today;
  for (int n = 0; n < events / 50; ++n) {
    start.tm_hour = n * 24 / (events / 50);
    start.tm_min = n % 60;
    const std::time_t begun = std::mktime(&start);
    const bool answered = n % 3 != 0;
    history.Append({begun, Utf8ToCp1251("Лифт " + std::to_string(n)), answered ? 30 : 0,
                    CallOutcomeText(answered ? TCallOutcome::Finished : TCallOutcome::NotAnswered),
                    answered ? begun + n % 40 : 0, {}});
  }
}

}  // namespace

int main(int argc, char** argv) {
  bench::OffscreenWithoutDisplay();
  QApplication app(argc, argv);
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {10000, 100000};
  std::printf("%-8s %8s %14s %12s\n", "events", "calls", "count, ms", "open, ms");
  for (const int events : sizes) {
    testing::TempFolder dir;
    WriteDay(dir.path(), events);
    TJournalFile files(dir.path());
    QElapsedTimer clock;
    clock.start();
    const TDaySummary day = SummarizeDay(ReadJournalDay(files.TodayPath()), CallsOfDay(dir.path(), files.TodayName()));
    const double countMs = clock.nsecsElapsed() / 1e6;
    clock.restart();
    auto* view = new TFormDaySummary(files, dir.path(), QStringLiteral("Центральная"), nullptr);
    view->show();
    QCoreApplication::processEvents();
    const double openMs = clock.nsecsElapsed() / 1e6;
    std::printf("%-8d %8d %14.1f %12.1f\n", day.events, day.callTotals.Total(), countMs, openMs);
    delete view;
  }
  return 0;
}
