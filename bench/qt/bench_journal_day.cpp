// Figures of "Журнал за сегодня": how long the main thread is held while the
// day window reads and shows a day of N events, and while a search narrows
// it. The workstation's windows all wait meanwhile, so a busy day must not
// take seconds (goal: a day of 20 000 events under 1 s).
//
//   bench_journal_day [EVENTS...]     days to show (1000 10000 20000 50000)
#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "journal/journal_file.h"
#include "journal/ui/journal_day_view.h"
#include "platform/cp1251.h"
#include "journal/log_entry.h"
#include "support/temp_folder.h"
#include "window_bench.h"

using namespace vertamo;
using namespace vertamo::ui;

namespace {

// A day of `events` events, some alike, as a district sends them.
void WriteDay(TJournalFile& journal, int events) {
  const char* places[] = {"ул. Лесная, 10, подъезд 1", "пр. Строителей, 5, подъезд 2", "ул. Садовая, 2"};
  const char* what[] = {"Лифт остановлен: неисправность", "Лифт введён в работу",
                        "Вызов диспетчера из кабины"};
  for (int n = 0; n < events; ++n) {
    TLogEntry entry;
    entry.texts = {"07.12.2026",
                   "10:00:00",
                   Utf8ToCp1251("Лифт " + std::to_string(n % 7 + 1)),
                   Utf8ToCp1251(places[n % 3]),
                   Utf8ToCp1251(what[n % 3]),
                   Utf8ToCp1251("Заявка " + std::to_string(n))};
    if (!journal.Append(entry)) std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  bench::OffscreenWithoutDisplay();
  QApplication app(argc, argv);
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {1000, 10000, 20000, 50000};
  std::printf("%-8s %12s %12s\n", "events", "open, ms", "search, ms");
  for (const int events : sizes) {
    testing::TempFolder dir;
    TJournalFile journal(dir.path());
    WriteDay(journal, events);
    QElapsedTimer clock;
    clock.start();
    auto* view = new TJournalDayView(journal, nullptr);
    view->show();
    QCoreApplication::processEvents();
    const double openMs = clock.nsecsElapsed() / 1e6;
    clock.restart();
    view->Search(QStringLiteral("заявка 12"));
    QCoreApplication::processEvents();
    const double searchMs = clock.nsecsElapsed() / 1e6;
    std::printf("%-8d %12.1f %12.1f   (%d shown)\n", events, openMs, searchMs,
                static_cast<int>(view->StringGrid1->model()->rowCount()));
    delete view;
  }
  return 0;
}
