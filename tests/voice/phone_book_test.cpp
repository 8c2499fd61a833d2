#include "voice/phone_book.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <filesystem>
#include <numeric>

#include "platform/folders.h"
#include "support/cp1251_text.h"
#include "support/temp_folder.h"

namespace vertamo::testing {
namespace {

class PhoneBookTest : public ::testing::Test {
 protected:
  std::string BookFile() const { return dir.file("IpAbonents.ini"); }
  void WriteBook(const std::string& text) { WriteWholeFile(BookFile(), text); }
  TempFolder dir;
  TPhoneBook book{dir.folder()};
};

TEST_F(PhoneBookTest, LoadsUpToTheFirstGapAndCutsLongTexts) {
  EXPECT_FALSE(book.LoadPhoneBook());  // no file: an empty book
  EXPECT_EQ(book.Count(), 0);
  const std::string longName(70, 'N');
  WriteBook("[ABONENT0]\r\nName=" + longName + "\r\nAdr=10.0.0.1\r\n[ABONENT1]\r\nName=B\r\n" +
            "[ABONENT3]\r\nName=D\r\nAdr=10.0.0.4\r\n");
  book.Add("stale", "entry");
  ASSERT_TRUE(book.LoadPhoneBook());
  ASSERT_EQ(book.Count(), 2);
  EXPECT_EQ(book.At(0)->Name, std::string(63, 'N'));
  EXPECT_EQ(book.At(1)->Name, "B");
  EXPECT_EQ(book.At(1)->Adr, "");
  EXPECT_EQ(book.At(2), nullptr);
  EXPECT_EQ(book.At(-1), nullptr);

  EXPECT_FALSE(book.ReadWhole());
  book.SavePhoneBook();  // the long name saved cut
  const std::string saved = ReadWholeFile(BookFile());
  EXPECT_NE(saved.find("Name=" + std::string(63, 'N') + "\r\n"), std::string::npos);
}

TEST_F(PhoneBookTest, ABookNotReadWholeIsSaidSoAndKeepsEveryEntryOfTheFileOnSave) {
  // Over the limit, or a gap in the numbers: the book shows the first part,
  // and deleting one entry of it saves all the others (entries after the gap
  // follow in number order, numbered on).
  const auto numbered = [](std::vector<int> numbers) {
    std::string text;
    for (int n : numbers) text += "[ABONENT" + std::to_string(n) + "]\r\nName=n" + std::to_string(n) + "\r\nAdr=a\r\n";
    return text;
  };
  std::vector<int> big(100000);
  std::iota(big.begin(), big.end(), 0);
  const struct {
    const char* name;
    std::string file;
    int shown;
    std::string notice;  // UTF-8; empty: read whole
    std::vector<std::string> savedNames;  // after deleting entry 0, in file order; empty: not looked at
  } cases[] = {
      {"whole", numbered({0, 1, 2}), 3, "", {"n1", "n2"}},
      {"a gap", numbered({0, 1, 2, 3, 4, 10, 6, 7}) + "[ABONENT08]\r\nName=n08\r\n[Other]\r\nName=x\r\n", 5,
       "Записная книжка прочитана не полностью (пропуск в номерах разделов): показано 5 из 9 записей; остальные "
       "сохраняются в файле.",
       {"n1", "n2", "n3", "n4", "n6", "n7", "n08", "n10"}},
      {"over the limit", numbered(big), 4096,
       "Записная книжка прочитана не полностью (более 4096 записей): показано 4096 из 100000 записей; остальные "
       "сохраняются в файле.",
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBook(c.file);
    ASSERT_TRUE(book.LoadPhoneBook());
    EXPECT_EQ(book.Count(), c.shown);
    EXPECT_EQ(book.ReadWhole(), c.notice.empty());
    EXPECT_EQ(book.NotReadWholeText(), Cp(c.notice));
    book.Delete(0);
    book.SavePhoneBook();
    TPhoneBook again(dir.folder());
    ASSERT_TRUE(again.LoadPhoneBook());
    if (c.savedNames.empty()) {
      EXPECT_EQ(again.Count(), 4096);
      EXPECT_EQ(again.At(0)->Name, "n1");
      EXPECT_NE(ReadWholeFile(BookFile()).find("[ABONENT99998]\r\nName=n99999\r\n"), std::string::npos);
      continue;
    }
    std::vector<std::string> names;
    for (int i = 0; i < again.Count(); ++i) names.push_back(again.At(i)->Name);
    EXPECT_EQ(names, c.savedNames);
    EXPECT_TRUE(again.ReadWhole()) << "saving closed the gap";
  }
}

TEST_F(PhoneBookTest, LookUpsIgnoreCaseOfCyrillicAndLatinLetters) {
  book.Add(Cp("ПОСТ"), "10.0.0.5");
  book.Add(Cp("Пост"), "HOST.example");
  book.Add("", "");
  EXPECT_EQ(book.FindByName(Cp("Пост")), 0);
  EXPECT_EQ(book.FindByName(Cp("пОсТ")), 0);
  EXPECT_EQ(book.FindByName(Cp("Пос")), TPhoneBook::kNotFound);
  EXPECT_EQ(book.FindByAddress("host.EXAMPLE"), 1);
  EXPECT_EQ(book.FindByName(""), TPhoneBook::kNotFound);  // never the entry with the empty name
  EXPECT_EQ(book.FindByAddress(""), TPhoneBook::kNotFound);
}

TEST_F(PhoneBookTest, SaveReplacesTheFileAndAnEmptyBookLeavesNone) {
  book.Add("A", "1.1.1.1");
  book.Add("B", "2.2.2.2");
  book.SavePhoneBook();
  EXPECT_EQ(FileMode(BookFile()), 0600);  // its owner's only
  TPhoneBook again(dir.folder());
  ASSERT_TRUE(again.LoadPhoneBook());
  ASSERT_EQ(again.Count(), 2);
  EXPECT_EQ(again.At(1)->Adr, "2.2.2.2");

  book.Delete(5);  // out of range: nothing
  book.Delete(0);
  book.SavePhoneBook();
  ASSERT_TRUE(again.LoadPhoneBook());
  ASSERT_EQ(again.Count(), 1);
  EXPECT_EQ(again.At(0)->Name, "B");

  book.Delete(0);  // the last entry
  book.SavePhoneBook();
  EXPECT_FALSE(std::filesystem::exists(BookFile()));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 0);  // no temporary file left
}

TEST_F(PhoneBookTest, AFailedSaveKeepsTheOldBook) {
  book.Add("A", "1.1.1.1");
  book.SavePhoneBook();
  const std::string before = ReadWholeFile(BookFile());
  for (int i = 0; i < 50; ++i) book.Add("B" + std::to_string(i), "2.2.2.2");
  // A disk that is full after a few bytes: the new book cannot be written.
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, SIG_IGN);
  rlimit tiny = saved;
  tiny.rlim_cur = 16;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
  book.SavePhoneBook();
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_EQ(ReadWholeFile(BookFile()), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);  // no temporary file left
}

TEST_F(PhoneBookTest, ExportMatchesTheHandWrittenFileByteForByte) {
  book.Add(Cp("Пост охраны"), "10.0.0.5");
  book.Add(Cp("Диспетчер \"Север\""), "north.example");
  const std::string out = dir.file("Ip.dat");
  WriteWholeFile(out, "old content that is longer than the export will be, to see it replaced whole ......");
  ASSERT_TRUE(book.ExportPhoneBook(out));
  EXPECT_EQ(ReadWholeFile(out), ReadWholeFile(std::string(VOICE_TEST_DATA) + "/export.dat"));
  EXPECT_FALSE(book.ExportPhoneBook(dir.file("missing/Ip.dat")));
}

}  // namespace
}  // namespace vertamo::testing
