// The journal of the shift on disk: exact bytes across a day change, a
// restart and a crash in the middle of a line.
#include "journal/journal_file.h"
#include "support/cp1251_text.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/cp1251.h"
#include "platform/folders.h"
#include "support/temp_folder.h"

namespace vertamo {
namespace {

using testing::ReadWholeFile;
using testing::TempFolder;
using testing::WriteWholeFile;

std::tm At(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

TLogEntry Event(const char* object, const char* event) {
  TLogEntry e;
  e.object = 4;
  e.color = 0x8080FF;
  const char* texts[6] = {"07.12.2026", "23:59:58", object, "ул. Лесная, 3", event, ""};
  for (size_t i = 0; i < 6; ++i) e.texts[i] = Utf8ToCp1251(texts[i]);
  return e;
}

// The writer's clock: the times given, one per call.
struct Clock {
  std::vector<std::tm> times;
  size_t next = 0;
  TLocalClock Get() {
    return [this] { return times.at(next++); };
  }
};

using testing::Cp;

TEST(JournalFile, OneFilePerDayEveryLineAsItArrives) {
  TempFolder dir;
  Clock clock{{At(2026, 12, 7, 23, 59, 58), At(2026, 12, 7, 23, 59, 59), At(2026, 12, 8, 0, 0, 1)}};
  TJournalFile journal(dir.path(), clock.Get());
  const std::string day1 = dir.file("Journal/2026-12-07.log");
  const std::string day2 = dir.file("Journal/2026-12-08.log");
  ASSERT_TRUE(journal.Append(Event("Лифт 1 п.2", "Неисправность")));
  const std::string first =
      Cp("07.12 23:59:58  07.12.2026 | 23:59:58 | Лифт 1 п.2 | ул. Лесная, 3 | Неисправность | \t4 8421631 0\r\n");
  EXPECT_EQ(ReadWholeFile(day1), first) << "written at once";
  ASSERT_TRUE(journal.Append(Event("ПУ 12", "Вызов\r\nдиспетчера")));
  ASSERT_TRUE(journal.Append(Event("Лифт 1 п.2", "Норма")));
  EXPECT_EQ(ReadWholeFile(day1),
            first + Cp("07.12 23:59:59  07.12.2026 | 23:59:58 | ПУ 12 | ул. Лесная, 3 | Вызов  диспетчера | \t4 8421631 0\r\n"));
  EXPECT_EQ(ReadWholeFile(day2),
            Cp("08.12 00:00:01  07.12.2026 | 23:59:58 | Лифт 1 п.2 | ул. Лесная, 3 | Норма | \t4 8421631 0\r\n"));
  EXPECT_EQ(FileMode(day1), 0600);
  EXPECT_EQ(FileMode(dir.file("Journal")), 0700);
}

TEST(JournalFile, ARestartAppendsAndACrashLosesOnlyTheLineItCut) {
  TempFolder dir;
  const std::tm noon = At(2026, 12, 7, 12, 0, 0);
  const std::string path = dir.file("Journal/2026-12-07.log");
  const std::string line1 = JournalLine(noon, Event("A", "1"));
  const std::string line2 = JournalLine(noon, Event("B", "2"));
  const std::string line3 = JournalLine(noon, Event("C", "3"));
  {
    TJournalFile before(dir.path(), [&] { return noon; });
    ASSERT_TRUE(before.Append(Event("A", "1")));
  }
  TJournalFile after(dir.path(), [&] { return noon; });
  EXPECT_EQ(after.Today(), path);
  EXPECT_EQ(ReadWholeFile(path), line1) << "showing the file changes nothing";
  ASSERT_TRUE(after.Append(Event("B", "2")));
  EXPECT_EQ(ReadWholeFile(path), line1 + line2) << "nothing lost, nothing twice";

  // A crash in the middle of the third line: the next start ends it first.
  WriteWholeFile(path, line1 + line2 + line3.substr(0, 20));
  TJournalFile restarted(dir.path(), [&] { return noon; });
  ASSERT_TRUE(restarted.Append(Event("D", "4")));
  ASSERT_TRUE(restarted.Append(Event("E", "5")));
  EXPECT_EQ(ReadWholeFile(path), line1 + line2 + line3.substr(0, 20) + "\r\n" +
                                     JournalLine(noon, Event("D", "4")) + JournalLine(noon, Event("E", "5")));
}

TEST(JournalFile, ReadsTheDayBackPassingOverDamagedLines) {
  TempFolder dir;
  const std::tm noon = At(2026, 12, 7, 12, 0, 0);
  TJournalFile journal(dir.path(), [&] { return noon; });
  const std::string path = journal.TodayPath();
  for (const char* n : {"1", "2", "3", "4"}) ASSERT_TRUE(journal.Append(Event("Лифт", n)));
  TLogEntry piped = Event("ПУ 12", "5");
  piped.texts[5] = Cp("дверь | шахта");  // a " | " in the note stays in the note
  piped.object = 12;
  piped.color = 0x0000FF;
  piped.fontColor = -16777201;  // a system colour
  ASSERT_TRUE(journal.Append(piped));
  const std::string whole = ReadWholeFile(path);
  // Someone's own line in the middle, a foreign prefix, and a last line a
  // crash cut short.
  WriteWholeFile(path, whole.substr(0, whole.find("\r\n") + 2) + "notes of the shift\r\n" +
                           "7.12 12:00:00  a | b | c | d | e | f\r\n" + whole.substr(whole.find("\r\n") + 2) +
                           JournalLine(noon, Event("Лифт", "6")).substr(0, 40));

  const std::vector<TJournalRecord> all = ReadJournalDay(path);
  ASSERT_EQ(all.size(), 5u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(all[i].texts[4], std::to_string(i + 1)) << "oldest first";
  EXPECT_EQ(all[0].arrived, "07.12 12:00:00");
  EXPECT_EQ(all[4].texts[5], Cp("дверь | шахта"));
  EXPECT_EQ(JournalRecordLine(all[4]), JournalLine(noon, piped)) << "read back as written";
  EXPECT_EQ(std::tuple(all[4].kindKept, all[4].object, all[4].color, all[4].fontColor),
            std::tuple(true, 12, 0x0000FF, -16777201));
  // A line of an older file: no object or colours, and a TAB of the server's stays in its text.
  TJournalRecord old;
  ASSERT_TRUE(ParseJournalLine(Cp("07.12 12:00:00  a | b | c | d | e\tx | f 1 2 3"), old));
  EXPECT_FALSE(old.kindKept);
  EXPECT_EQ(old.texts[4], "e\tx");

  const std::vector<TJournalRecord> newest = ReadJournalDay(path, 2);
  ASSERT_EQ(newest.size(), 2u);
  EXPECT_EQ(newest[0].texts[4], "4");
  EXPECT_EQ(newest[1].texts[4], "5");
  EXPECT_TRUE(ReadJournalDay(dir.file("Journal/2026-12-06.log")).empty()) << "a day without a file";
}

TEST(JournalFile, TheDaysKeptAreItsDatedFilesOnly) {
  TempFolder dir;
  TJournalFile journal(dir.path());
  EXPECT_TRUE(journal.Days().empty());
  std::filesystem::create_directories(dir.file("Journal"));
  for (const char* name : {"2026-12-08.log", "2026-12-07.log", "notes.txt", "2026-12-7.log", "2026-12-09.log~"})
    WriteWholeFile(dir.file(std::string("Journal/") + name), "");
  EXPECT_EQ(journal.Days(), (std::vector<std::string>{"2026-12-07", "2026-12-08"}));
  EXPECT_EQ(journal.DayPath("2026-12-07"), dir.file("Journal/2026-12-07.log"));
}

}  // namespace
}  // namespace vertamo
