#include "iptel/phone_events.h"

#include <gtest/gtest.h>

#include <thread>

#include "voice/phone_book.h"
#include "iptel/phone_link.h"
#include "iptel/phone_log.h"
#include "platform/folders.h"
#include "call_recorder.h"
#include "support/temp_folder.h"

namespace vertamo::testing {
namespace {

struct EventCase {
  std::string line;
  TPhoneEventKind kind;
  std::string status;  // UTF-8
  std::string info;  // UTF-8; "-": unchanged
  std::string log;   // UTF-8; empty: nothing logged
};

TEST(PhoneEvents, EveryLineOfTheTable) {
  const EventCase cases[] = {
      {"RING Post [10.0.0.5]", TPhoneEventKind::Ring, "Post [10.0.0.5]", "-", "Звонок от \"Post [10.0.0.5]\""},
      {"RING ", TPhoneEventKind::Ring, "Ошибка !", "-", "Звонок от \"\""},
      {"STAT jitter=20ms", TPhoneEventKind::Stat, "ОК", "jitter=20ms", ""},
      {"STAT", TPhoneEventKind::Stat, "ОК", "Статистика недоступна...", ""},
      {"BUSY", TPhoneEventKind::Busy, "Занято...", "Занято...", "Занято..."},
      {"CALL 1*2*3@gw", TPhoneEventKind::Call, "1*2*3@gw", "-", "Разговор с \"1*2*3@gw\""},
      {"CALL", TPhoneEventKind::Call, "ОК", "-", "Разговор с \"ОК\""},
      {"ERROR 1", TPhoneEventKind::Error, "Удаленный абонент повесил трубку...", "-",
       "Ошибка \"Удаленный абонент повесил трубку...\""},
      {"ERROR 15", TPhoneEventKind::Error, "Ошибка звонка !", "-", "Ошибка \"Ошибка звонка !\""},
      {"ERROR 0", TPhoneEventKind::Error, "Неверно указан адресат !", "-", "Ошибка \"Неверно указан адресат !\""},
      {"ERROR 99", TPhoneEventKind::Error, "Ошибка !", "-", "Ошибка \"Ошибка !\""},
      {"ERROR x", TPhoneEventKind::Error, "Ошибка !", "-", "Ошибка \"Ошибка !\""},
      {"ERROR", TPhoneEventKind::Error, "Ошибка !", "-", "Ошибка \"Ошибка !\""},
      {"error\t6", TPhoneEventKind::Error, "Сбой соединения !", "-", "Ошибка \"Сбой соединения !\""},
      {"OK", TPhoneEventKind::Ok, "ОК", "-", ""},
      // Keywords are whole words: noise that merely begins like one is no event.
      {"E", TPhoneEventKind::Unknown, "Ошибка !", "-", ""},
      {"okay", TPhoneEventKind::Unknown, "Ошибка !", "-", ""},
      {"RINGX a", TPhoneEventKind::Unknown, "Ошибка !", "-", ""},
      {"CALL1", TPhoneEventKind::Unknown, "Ошибка !", "-", ""},
      {"END", TPhoneEventKind::End, "Разговор завершен...", "-", ""},
      {"FORWARDED", TPhoneEventKind::Forwarded, "Выполнена переадресация...", "-", ""},
      {"APP a\tb\tc", TPhoneEventKind::App, "a b c", "-", ""},
      {"HELLO", TPhoneEventKind::Unknown, "Ошибка !", "-", ""},
      {"", TPhoneEventKind::Unknown, "Ошибка !", "-", ""},  // never a phantom call
  };
  for (const EventCase& c : cases) {
    const TPhoneEvent e = InterpretPhoneEvent(c.line);
    EXPECT_EQ(e.kind, c.kind) << c.line;
    EXPECT_EQ(e.status, Cp(c.status)) << c.line;
    EXPECT_EQ(e.hasInfo, c.info != "-") << c.line;
    if (c.info != "-") {
      EXPECT_EQ(e.info, Cp(c.info)) << c.line;
    }
    EXPECT_EQ(e.logText, Cp(c.log)) << c.line;
  }
  // A broken conversation says how long its end was silent.
  EXPECT_EQ(InterpretPhoneEvent("ERROR 6 SILENT=10").errorCode, 6);
  EXPECT_EQ(InterpretPhoneEvent("ERROR 6 SILENT=10").silentSeconds, 10);
  EXPECT_EQ(InterpretPhoneEvent("ERROR 6").silentSeconds, 0);
  EXPECT_EQ(InterpretPhoneEvent("ERROR 99").errorCode, -1);
  // "ОК" is written with Cyrillic letters.
  EXPECT_EQ(InterpretPhoneEvent("OK").status, "\xCE\xCA");
}

TEST(PhoneEvents, RecordingLinesNameTheRecordOrSayWhyNotWithoutTouchingTheCall) {
  const struct {
    const char* line;
    TPhoneEventKind kind;
    const char* record;
    bool keepsStatus;
  } cases[] = {
      {"REC Records/2026-12-08/14-02-11 1@h.opus", TPhoneEventKind::Record, "Records/2026-12-08/14-02-11 1@h.opus",
       true},
      {"NOREC Разговор не записывается: на диске нет места", TPhoneEventKind::NoRecord,
       "Разговор не записывается: на диске нет места", false},
      {"NOREC", TPhoneEventKind::NoRecord, "", true},
      {"RECORD x", TPhoneEventKind::Unknown, "", false},
  };
  for (const auto& c : cases) {
    const TPhoneEvent e = InterpretPhoneEvent(Cp(c.line));
    EXPECT_EQ(e.kind, c.kind) << c.line;
    EXPECT_EQ(e.record, Cp(c.record)) << c.line;
    EXPECT_EQ(e.keepsStatus, c.keepsStatus) << c.line;
  }
}

TEST(PhoneEvents, RingFindsTheSubscriberByNameThenByAddress) {
  TempFolder dir;
  TPhoneBook book(dir.folder());
  book.Add("Other", "10.0.0.9");
  book.Add(Cp("ПОСТ"), "10.0.0.7");
  book.Add("Gate", "10.0.0.5");
  TPhoneLog log(dir.folder(), true);
  const struct {
    std::string line;
    std::vector<std::string> calls;
  } cases[] = {
      {Cp("RING Пост [10.0.0.5]"), {"state 3", "select 1", "status " + Cp("Пост [10.0.0.5]")}},
      {"RING Nobody [10.0.0.5]", {"state 3", "select 2", "status Nobody [10.0.0.5]"}},
      {"RING Nobody", {"state 3", "status Nobody"}},
      {"RING [10.0.0.9", {"state 3", "select 0", "status [10.0.0.9"}},
      {"RING  [10.0.0.9]", {"state 3", "select 0", "status  [10.0.0.9]"}},
      {"STAT x", {"info x", "status " + Cp("ОК")}},
      {"OK", {"answered", "status " + Cp("ОК")}},
  };
  TPhoneEventQueue events;
  for (const auto& c : cases) {
    events.PushLine(c.line);
    RecordingWindow window;
    ASSERT_TRUE(HandlePhoneEvent(events, book, log, window));
    EXPECT_EQ(window.calls, c.calls) << c.line;
  }
  RecordingWindow window;
  EXPECT_FALSE(HandlePhoneEvent(events, book, log, window));
  EXPECT_TRUE(window.calls.empty());
  const std::string logged = ReadWholeFile(dir.file("IpPhone.log"));
  EXPECT_NE(logged.find(Cp("  Звонок от \"Пост [10.0.0.5]\"\r\n")), std::string::npos);
}

TEST(PhoneLog, LineFormatAndTheSwitch) {
  std::tm t{};
  t.tm_mday = 7, t.tm_mon = 11, t.tm_hour = 9, t.tm_min = 5, t.tm_sec = 3;
  EXPECT_EQ(PhoneLogLine(t, "x"), "07.12 09:05:03  x\r\n");
  TempFolder dir;
  TPhoneLog log(dir.folder(), false);
  log.PhoneLog("Ошибка \"%s\"", "a");
  EXPECT_FALSE(std::filesystem::exists(dir.file("IpPhone.log")));
  log.SetEnabled(true);
  log.PhoneLog("Ошибка \"%s\"", "a");
  log.Write("second");
  const std::string text = ReadWholeFile(dir.file("IpPhone.log"));
  ASSERT_EQ(text.size(), 16u + Cp("Ошибка \"a\"\r\n").size() + 16u + 8u);
  EXPECT_EQ(text.substr(16, Cp("Ошибка \"a\"\r\n").size()), Cp("Ошибка \"a\"\r\n"));
  EXPECT_EQ(text.substr(text.size() - 8), "second\r\n");
  EXPECT_EQ(FileMode(dir.file("IpPhone.log")), 0600);
}

TEST(PhoneLink, MessagesAreFramedByTheirZeroByteAndCutAt299) {
  TPhoneMessageReader reader;
  const std::string overlong(400, 'x');
  const std::string stream = std::string("RI") + std::string("NG a\0", 5) + std::string("\0", 1) + overlong +
                             std::string("\0OK\0ST", 6);
  for (char c : stream) reader.Feed(&c, 1);  // one byte at a time
  std::vector<std::string> got;
  for (std::string m; reader.Next(m);) got.push_back(m);
  EXPECT_EQ(got, (std::vector<std::string>{"RING a", "", std::string(299, 'x'), "OK"}));
  EXPECT_EQ(reader.TakePartial(), "ST");
  EXPECT_EQ(reader.TakePartial(), "");
}

TEST(PhoneLink, CommandsLeaveInOrderNoneReplaced) {
  TCommandQueue commands;
  for (const char* command : {"c 10.0.0.5", "h", "c 1", "y"}) commands.Push(command);
  std::string wire;
  EXPECT_FALSE(commands.TakeAll(wire));
  EXPECT_EQ(wire, std::string("c 10.0.0.5\0h\0c 1\0y\0", 19));
  EXPECT_TRUE(commands.Empty());
  commands.Push("q");
  EXPECT_TRUE(commands.TakeAll(wire)) << "q is told apart: the next OK ends the link";
}

TEST(PhoneLink, TheEventQueueMergesStatisticsAndStopsTheReaderWhenFull) {
  TPhoneEventQueue queue;
  int drained = 0;
  queue.SetDrained([&] { ++drained; });
  EXPECT_TRUE(queue.PushLine("STAT a")) << "the first item is told";
  EXPECT_FALSE(queue.PushLine("STAT b")) << "merged into the waiting STAT";
  EXPECT_FALSE(queue.PushLine("RING x"));
  EXPECT_FALSE(queue.PushLine("STAT c"));
  EXPECT_FALSE(queue.Push({TPhoneQueued::TKind::LinkLost, "", false}));
  EXPECT_FALSE(queue.PushLine("STAT d")) << "not merged across the loss";
  std::vector<TPhoneQueued> got;
  for (TPhoneQueued item; queue.TryPop(item);) got.push_back(item);
  const std::vector<TPhoneQueued> expected = {{TPhoneQueued::TKind::Line, "STAT b", false},
                                              {TPhoneQueued::TKind::Line, "RING x", false},
                                              {TPhoneQueued::TKind::Line, "STAT c", false},
                                              {TPhoneQueued::TKind::LinkLost, "", false},
                                              {TPhoneQueued::TKind::Line, "STAT d", false}};
  EXPECT_EQ(got, expected);
  EXPECT_TRUE(queue.PushLine("END")) << "told again once the main thread found it empty";

  for (size_t i = queue.Count(); i < TPhoneEventQueue::kHighWater; ++i) queue.PushLine("RING x");
  EXPECT_TRUE(queue.Full());
  TPhoneQueued item;
  while (queue.Count() > TPhoneEventQueue::kLowWater + 1) queue.TryPop(item);
  EXPECT_TRUE(queue.Full()) << "the reader waits until the main thread is well behind the mark";
  EXPECT_EQ(drained, 0);
  queue.TryPop(item);
  EXPECT_EQ(drained, 1);
  EXPECT_FALSE(queue.Full());
}

}  // namespace
}  // namespace vertamo::testing
