// The connection log "Client.log": line format, code page, Debug switch.
#include <gtest/gtest.h>

#include <regex>

#include "platform/cp1251.h"
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

TEST(ClientLog, PrefixIsDayMonthAndTimeWithTwoBlanks) {
  EXPECT_EQ(ClientLogPrefix(7, 3, 9, 5, 1), "07.03 09:05:01  ");
  EXPECT_EQ(ClientLogPrefix(31, 12, 23, 59, 59), "31.12 23:59:59  ");
}

TEST(ClientLog, AnUnwritableFolderLosesTheLineQuietly) {
  TClientLog log("/nonexistent-folder-of-vertamo/", true);
  log.Debug("x");  // nothing to see, nothing thrown
  SUCCEED();
}

}  // namespace
}  // namespace vertamo
