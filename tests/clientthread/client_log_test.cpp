// The connection log "Client.log": line format, code page, Debug switch.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <regex>
#include <thread>

#include "platform/cp1251.h"
#include "protocol/log_prefix.h"
#include "serverlink/client_log.h"
#include "support/temp_folder.h"

    namespace vertamo {
  namespace {

  using testing::ReadWholeFile;
  using testing::TempFolder;

  std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
      const size_t end = bytes.find("\r\n", start);
      if (end == std::string::npos) break;
      out.push_back(bytes.substr(start, end - start));
      start = end + 2;
    }
    EXPECT_EQ(start, bytes.size()) << "every line ends with CR LF";
    return out;
  }

  // The message of a line, after its "dd.mm hh:nn:ss  " prefix (which is checked).
  std::string Message(const std::string& line) {
    static const std::regex prefix(R"(^\d\d\.\d\d \d\d:\d\d:\d\d  )");
    EXPECT_TRUE(std::regex_search(line, prefix)) << line;
    return line.size() >= 16 ? line.substr(16) : "";
  }

  TEST(ClientLog, LinesAreDatedCp1251AndAppended) {
    TempFolder folder;
    {
      TClientLog log(folder.path(), true);
      log.Debug("Подключение...");
      log.Debug("Создание карты %d: Имя=%s Картинка=%d ", 2, Utf8ToCp1251("Этаж 1").c_str(), 1);
    }
    TClientLog again(folder.folder(), true);
    again.Always("<<< OK");
    const std::string bytes = ReadWholeFile(folder.file("Client.log"));
    const auto lines = Lines(bytes);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(Message(lines[0]), Utf8ToCp1251("Подключение..."));
    EXPECT_EQ(Message(lines[1]), Utf8ToCp1251("Создание карты 2: Имя=Этаж 1 Картинка=1 "));
    EXPECT_EQ(Message(lines[2]), "<<< OK");
  }

  TEST(ClientLog, WithoutDebugOnlyTheAlwaysLinesAreWritten) {
    TempFolder folder;
    TClientLog log(folder.path(), false);
    log.Debug("Подключение...");
    log.Always(">>> Получение %s", "DATA0=");
    log.Debug("Получено: %s", "x");
    log.Always("Неизвестные данные=%s", "HELLO");
    const auto lines = Lines(ReadWholeFile(folder.file("Client.log")));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(Message(lines[0]), Utf8ToCp1251(">>> Получение DATA0="));
    EXPECT_EQ(Message(lines[1]), Utf8ToCp1251("Неизвестные данные=HELLO"));
  }

  TEST(ClientLog, ALongMessageIsCutAt999Characters) {
    TempFolder folder;
    TClientLog log(folder.path(), true);
    log.Debug("%s", std::string(5000, 'x').c_str());
    const auto lines = Lines(ReadWholeFile(folder.file("Client.log")));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(Message(lines[0]), std::string(999, 'x'));
  }

  TEST(ClientLog, ControlBytesFromTheServerAreWrittenEscaped) {
    TempFolder folder;
    TClientLog log(folder.path(), true);
    const std::string cyrillic = Utf8ToCp1251("Лифт");
    log.WriteLine(std::string("A\0B\r\nC\x1B\x7F\t", 9) + cyrillic + "\\x");
    const auto lines = Lines(ReadWholeFile(folder.file("Client.log")));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(Message(lines[0]), "A\\x00B\\x0D\\x0AC\\x1B\\x7F\\x09" + cyrillic + "\\x");
  }

  TEST(ClientLog, PrefixIsDayMonthAndTimeWithTwoBlanks) {
    std::tm t{};
    t.tm_mday = 7, t.tm_mon = 2, t.tm_hour = 9, t.tm_min = 5, t.tm_sec = 1;
    EXPECT_EQ(LogLinePrefix(t), "07.03 09:05:01  ");
    t.tm_mday = 31, t.tm_mon = 11, t.tm_hour = 23, t.tm_min = 59, t.tm_sec = 59;
    EXPECT_EQ(LogLinePrefix(t), "31.12 23:59:59  ");
  }

  // The file stays open while the log lives; what was written must be on disk
  // at once all the same (a workstation that is switched off keeps its log).
  TEST(ClientLog, EveryLineIsInTheFileAsSoonAsItIsWritten) {
    TempFolder folder;
    TClientLog log(folder.path(), true);
    for (int i = 0; i < 3; ++i) {
      log.Debug("line %d", i);
      const auto lines = Lines(ReadWholeFile(folder.file("Client.log")));
      ASSERT_EQ(lines.size(), static_cast<size_t>(i + 1));
      EXPECT_EQ(Message(lines.back()), "line " + std::to_string(i));
    }
  }

  // Two connection threads on one work folder (two profiles, a restart while the
  // old thread ends): both append, neither overwrites the other.
  TEST(ClientLog, TwoLogsOnOneFileBothAppend) {
    TempFolder folder;
    TClientLog first(folder.path(), true);
    TClientLog second(folder.folder(), true);
    for (int i = 0; i < 4; ++i) {
      first.Always("first %d", i);
      second.Always("second %d", i);
    }
    const auto lines = Lines(ReadWholeFile(folder.file("Client.log")));
    ASSERT_EQ(lines.size(), 8u);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(Message(lines[static_cast<size_t>(2 * i)]), "first " + std::to_string(i));
      EXPECT_EQ(Message(lines[static_cast<size_t>(2 * i + 1)]), "second " + std::to_string(i));
    }
  }

  // A line that cannot be written is lost quietly, and the log keeps trying.
  TEST(ClientLog, AFolderThatAppearsLaterGetsTheLaterLines) {
    TempFolder folder;
    const std::string later = folder.file("later");
    TClientLog log(later, true);
    log.Debug("lost");
    EXPECT_FALSE(std::filesystem::exists(later));
    std::filesystem::create_directory(later);
    log.Debug("kept");
    log.Close();
    log.Debug("after close");  // opens the file again
    const auto lines = Lines(ReadWholeFile(later + "/Client.log"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(Message(lines[0]), "kept");
    EXPECT_EQ(Message(lines[1]), "after close");
  }

  TEST(ClientLog, LinesFromSeveralThreadsStayWhole) {
    TempFolder folder;
    TClientLog log(folder.path(), true);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
      threads.emplace_back([&log, t] {
        for (int i = 0; i < 200; ++i) log.Always("%s", std::string(100, static_cast<char>('a' + t)).c_str());
      });
    for (auto& thread : threads) thread.join();
    const auto lines = Lines(ReadWholeFile(folder.file("Client.log")));
    ASSERT_EQ(lines.size(), 800u);
    for (const auto& line : lines) {
      const std::string message = Message(line);
      ASSERT_EQ(message.size(), 100u);
      EXPECT_EQ(message, std::string(100, message[0]));
    }
  }

  }  // namespace
}  // namespace vertamo
