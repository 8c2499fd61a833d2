// The call history on disk: what is written comes back, newest first, past
// damaged lines and across the blocks the reader takes from the file's end.
#include "voice/call_history.h"

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

TCallRecord Call(std::time_t start, const char* who, int seconds, const char* outcome) {
  return {start, Utf8ToCp1251(who), seconds, Utf8ToCp1251(outcome), 0, {}};
}

TEST(CallHistory, RoundTripNewestFirstOwnerOnly) {
  TempFolder dir;
  TCallHistory history(dir.path());
  const std::time_t t0 = 1796640000;  // a December day of 2026
  const TCallRecord calls[] = {
      Call(t0, "Лифт 4 (Разговор с КАБИНОЙ ЛИФТА)", 95, "ответ, отбой"),
      Call(t0 + 3600, "Иванов И.И.", 0, "занято"),
      Call(t0 + 7200, "", 0, "нет ответа"),
      {t0 + 9000, "Lift", 30, "x", t0 + 9012, {}},  // answered 12 s after the ring
      {t0 + 9100, "Lift", 30, "x", t0 + 9112, "Records/2026-12-08/10-00-00 1@h.opus"},
      {t0 + 9200, "Lift", 30, "x", t0 + 9212, RecordNoteText(TRecordNote::PhoneDoesNotRecord)},
      // How each is called again: a lift's unit, a subscriber, a call never answered.
      {t0 + 9300, "Lift", 30, "x", t0 + 9312, "Records/a.opus", {{}, 4, -1}},
      {t0 + 9400, "Lobby", 30, "x", t0 + 9412, {}, {"10.0.0.9", -1, -1}},
      {t0 + 9500, "Lobby", 0, "y", 0, {}, {"lobby.local", -1, -1}},
  };
  for (const TCallRecord& c : calls) ASSERT_TRUE(history.Append(c));
  EXPECT_EQ(FileMode(history.Path()), 0600);
  EXPECT_EQ(history.Newest(10), (std::vector<TCallRecord>{calls[8], calls[7], calls[6], calls[5], calls[4], calls[3],
                                                         calls[2], calls[1], calls[0]}));
  EXPECT_EQ(history.Newest(2), (std::vector<TCallRecord>{calls[8], calls[7]}));
  EXPECT_TRUE(history.Newest(0).empty());
  EXPECT_TRUE(TCallHistory(dir.file("missing")).Newest(5).empty());

  // Separators and line breaks inside a text do not split the line.
  ASSERT_TRUE(history.Append(Call(t0, "a\tb\r\nc", 5, "x")));
  EXPECT_EQ(history.Newest(1).at(0).who, "a b  c");
}

TEST(CallHistory, DamagedLinesArePassedOver) {
  TempFolder dir;
  TCallHistory history(dir.path());
  const TCallRecord first = Call(1796640000, "Лифт 1", 12, "ответ, отбой");
  ASSERT_TRUE(history.Append(first));
  const std::string good = ReadWholeFile(history.Path());
  // A line cut by a crash, lines of other shapes and one far too long.
  WriteWholeFile(history.Path(), good + "garbage\r\n2026-13-01 00:00:00\t1\tx\ty\r\n" +
                                     "2026-12-07 10:00:00\t-1\tx\ty\r\n" + std::string(40000, 'z') + "\r\n" +
                                     good + good.substr(0, 25));
  const TCallRecord last = Call(1796650000, "Лифт 2", 0, "отказ");
  ASSERT_TRUE(history.Append(last));
  EXPECT_EQ(history.Newest(10), (std::vector<TCallRecord>{last, first, first}));

  for (const char* line : {"", "2026-12-07 10:00:00\t1\t\twho", "2026-12-07 10:00\t1\tx\twho",
                           "2026-12-07 10:00:00\t1234567890\tx\twho", "2026-12-07 10:00:00\t1\tx",
                           "2026-12-07 10:00:00\t1\tx\r\n\twho", "2026-12-07 10:00:00\t1\tx\twho\t10:00:05"}) {
    TCallRecord r;
    EXPECT_FALSE(ParseCallHistoryLine(line, r)) << line;
  }
  // A way to call again that is not one of ours keeps the line, without it.
  for (const char* line : {"2026-12-07 10:00:00\t0\tx\twho\t\t\tOBJ=x PU=1",
                           "2026-12-07 10:00:00\t0\tx\twho\t\t\tADR=a b", "2026-12-07 10:00:00\t0\tx\twho\t\t\tPHONE=1"}) {
    TCallRecord r;
    ASSERT_TRUE(ParseCallHistoryLine(line, r)) << line;
    EXPECT_FALSE(r.again.Possible()) << line;
  }
}

TEST(CallHistory, ManyCallsComeBackAcrossReadBlocks) {
  TempFolder dir;
  TCallHistory history(dir.path());
  const int count = 600;  // some 30 KiB: more than one block
  for (int i = 0; i < count; ++i)
    ASSERT_TRUE(history.Append(Call(1796640000 + i * 60, "Лифт", i, "ответ, отбой")));
  const std::vector<TCallRecord> all = history.Newest(count + 1);
  ASSERT_EQ(all.size(), static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) ASSERT_EQ(all[i].seconds, count - 1 - i) << i;
}

TEST(CallHistory, ARunOfUnansweredRepeatsIsOneLineAndACountAndTheFileIsBounded) {
  TempFolder dir;
  const std::time_t t0 = 1796640000;
  {
    TCallHistory history(dir.path());
    for (int i = 0; i < 1000; ++i) ASSERT_TRUE(history.Append(Call(t0 + i, "Пост", 0, "Нет ответа")));
    EXPECT_EQ(history.Newest(10).size(), 1u) << "the repeats are counted, not written";
    ASSERT_TRUE(history.Append(Call(t0 + 2000, "Лифт 1", 30, "Разговор завершен")));
    ASSERT_TRUE(history.Append(Call(t0 + 2100, "Лифт 1", 30, "Разговор завершен"))) << "a conversation is never folded";
    ASSERT_TRUE(history.Append(Call(t0 + 2200, "Пост", 0, "Нет ответа")));
    ASSERT_TRUE(history.Append(Call(t0 + 2201, "Пост", 0, "Нет ответа")));
  }  // closing writes the count held back
  EXPECT_EQ(TCallHistory(dir.path()).Newest(10),
            (std::vector<TCallRecord>{Call(t0 + 2201, "Пост", 0, "Нет ответа … повторов: 1"),
                                      Call(t0 + 2200, "Пост", 0, "Нет ответа"),
                                      Call(t0 + 2100, "Лифт 1", 30, "Разговор завершен"),
                                      Call(t0 + 2000, "Лифт 1", 30, "Разговор завершен"),
                                      Call(t0 + 999, "Пост", 0, "Нет ответа … повторов: 999"),
                                      Call(t0, "Пост", 0, "Нет ответа")}));

  TCallHistory history(dir.path());
  for (int i = 0; std::filesystem::exists(history.Path()) && !std::filesystem::exists(history.Path() + ".1"); ++i)
    ASSERT_TRUE(history.Append(Call(t0 + i, "Лифт", i + 1, "Разговор завершен")));
  EXPECT_GE(std::filesystem::file_size(history.Path() + ".1"), static_cast<uintmax_t>(TCallHistory::kMaxBytes));
  EXPECT_LT(std::filesystem::file_size(history.Path()), 200u) << "a fresh file after the move";
}

TEST(CallHistory, CallsThatCannotBeRecordedAreToldOnce) {
  // A folder in place of the file: every call fails, the notice comes once;
  // once the file can be written again, a new failure is told again.
  TempFolder dir;
  TCallHistory history(dir.path());
  std::filesystem::create_directory(history.Path());
  EXPECT_TRUE(history.Recording());
  EXPECT_FALSE(history.Append(Call(1796640000, "Лифт 1", 5, "Разговор завершен")));
  EXPECT_FALSE(history.Recording());
  EXPECT_TRUE(history.TakeNotRecordingNotice());
  EXPECT_FALSE(history.Append(Call(1796640100, "Лифт 2", 5, "Разговор завершен")));
  EXPECT_FALSE(history.TakeNotRecordingNotice()) << "told once, not at every call";
  std::filesystem::remove(history.Path());
  EXPECT_TRUE(history.Append(Call(1796640200, "Лифт 3", 5, "Разговор завершен")));
  EXPECT_TRUE(history.Recording());
  std::filesystem::create_directory(dir.file("gone"));
  TCallHistory other(dir.file("gone"));
  std::filesystem::remove(dir.file("gone"));  // the work folder itself went
  EXPECT_FALSE(other.Append(Call(1796640300, "Лифт 4", 5, "Разговор завершен")));
  EXPECT_TRUE(other.TakeNotRecordingNotice());
}

}  // namespace
}  // namespace vertamo
