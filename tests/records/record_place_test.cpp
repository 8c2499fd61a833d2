#include "records/record_place.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "records/record_days.h"
#include "support/temp_folder.h"

namespace vertamo {
namespace {

std::time_t LocalMoment(int year, int month, int day, int hour = 12, int minute = 0, int second = 0) {
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  return std::mktime(&local);
}

TEST(RecordPlace, NamesTheDayTheAnswerAndTheFarEndSafely) {
  const std::time_t answered = LocalMoment(2026, 12, 8, 14, 2, 11);
  const struct {
    const char* peer;
    const char* path;
  } cases[] = {
      {"2*3*1@10.0.0.5", "Records/2026-12-08/14-02-11 2-3-1@10.0.0.5.opus"},
      {"../../etc/passwd", "Records/2026-12-08/14-02-11 _._.._etc_passwd.opus"},
      {"\xCF\xE5\xF2\xF0\xEE\xE2 [10.0.0.7]", "Records/2026-12-08/14-02-11 ________10.0.0.7_.opus"},
      {"", "Records/2026-12-08/14-02-11 call.opus"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RecordPath(answered, c.peer), c.path) << c.peer;
    EXPECT_TRUE(IsRecordPath(RecordPath(answered, c.peer))) << c.peer;
  }
}

TEST(RecordPlace, APathReadBackNamesARecordOnlyInsideRecords) {
  for (const char* path : {"Records/2026-12-08/../../Vertamo.ini", "Records/2026-12-08/x/y.opus", "/etc/x.opus",
                           "Records/2026-12-08/.opus", "Records/2026-12-08/a.ogg", "Records/2026-1-08/a.opus",
                           "Journal/2026-12-08/a.opus", "Records/2026-12-08/.hidden.opus", ""})
    EXPECT_FALSE(IsRecordPath(path)) << path;
}

TEST(RecordPlace, FoldersAreTheOwnersOnly) {
  testing::TempFolder work;
  const std::string path = RecordPath(LocalMoment(2026, 12, 8), "1@h");
  ASSERT_TRUE(MakeRecordFolders(work.path(), path, nullptr));
  struct stat info {};
  ASSERT_EQ(::stat((work.folder() + "Records/2026-12-08").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat((work.folder() + "Records").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(RecordDays, SettingsTakeWhatParsesAndKeepTodayAtLeast) {
  EXPECT_EQ(RecordSettingsFrom("", "").keepDays, 90);
  EXPECT_TRUE(RecordSettingsFrom("", "").enabled);
  EXPECT_FALSE(RecordSettingsFrom("0", "").enabled);
  EXPECT_TRUE(RecordSettingsFrom("yes", "").enabled);
  EXPECT_EQ(RecordSettingsFrom("", "30").keepDays, 30);
  EXPECT_EQ(RecordSettingsFrom("", "0").keepDays, 1);
  EXPECT_EQ(RecordSettingsFrom("", "-5").keepDays, 90);
  EXPECT_EQ(RecordSettingsFrom("", "9999999999").keepDays, 90);
}

TEST(RecordDays, RemovesOnlyRecordDaysOlderThanKept) {
  testing::TempFolder work;
  const std::time_t now = LocalMoment(2026, 3, 1, 0, 0, 5);  // just after midnight, across a month end
  auto put = [&](const std::string& day, const std::string& file) {
    std::filesystem::create_directories(work.folder() + "Records/" + day);
    std::ofstream(work.folder() + "Records/" + day + "/" + file) << "x";
  };
  put("2026-03-01", "00-00-01 a@h.opus");  // today
  put("2026-02-28", "10-00-00 a@h.opus");  // yesterday
  put("2026-01-31", "10-00-00 a@h.opus");  // 29 days before today: kept with 30 days
  put("2026-01-30", "10-00-00 a@h.opus");  // 30 days before: removed
  put("2026-01-30", "10-00-01 b@h.opus.part");
  put("2025-01-01", "10-00-00 a@h.opus");  // long gone, but a file not ours stays, and so its folder
  put("2025-01-01", "notes.txt");
  put("old", "10-00-00 a@h.opus");  // not a day
  EXPECT_EQ(RemoveExpiredRecordDays(work.path(), now, 30), 1);
  namespace fs = std::filesystem;
  EXPECT_TRUE(fs::exists(work.folder() + "Records/2026-03-01/00-00-01 a@h.opus"));
  EXPECT_TRUE(fs::exists(work.folder() + "Records/2026-02-28"));
  EXPECT_TRUE(fs::exists(work.folder() + "Records/2026-01-31"));
  EXPECT_FALSE(fs::exists(work.folder() + "Records/2026-01-30"));
  EXPECT_FALSE(fs::exists(work.folder() + "Records/2025-01-01/10-00-00 a@h.opus"));
  EXPECT_TRUE(fs::exists(work.folder() + "Records/2025-01-01/notes.txt"));
  EXPECT_TRUE(fs::exists(work.folder() + "Records/old/10-00-00 a@h.opus"));

  // Keeping one day, or less, still keeps today's.
  EXPECT_EQ(RemoveExpiredRecordDays(work.path(), now, 0), 2);
  EXPECT_TRUE(fs::exists(work.folder() + "Records/2026-03-01/00-00-01 a@h.opus"));
}

}  // namespace
}  // namespace vertamo
