#include "iptel/phone_book.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <filesystem>

#include "call_recorder.h"
#include "platform/folders.h"
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

  book.SavePhoneBook();  // the entry after the gap is gone, the long name saved cut
  const std::string saved = ReadWholeFile(BookFile());
  EXPECT_NE(saved.find("Name=" + std::string(63, 'N') + "\r\n"), std::string::npos);
  EXPECT_EQ(saved.find("ABONENT3"), std::string::npos);
}

TEST_F(PhoneBookTest, ReadsAtMost4096Entries) {
  std::string text;
  for (int i = 0; i < 4100; ++i) text += "[ABONENT" + std::to_string(i) + "]\r\nName=n" + std::to_string(i) + "\r\n";
  WriteBook(text);
  ASSERT_TRUE(book.LoadPhoneBook());
  EXPECT_EQ(book.Count(), 4096);
  EXPECT_EQ(book.At(4095)->Name, "n4095");
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
  EXPECT_EQ(ReadWholeFile(out), ReadWholeFile(std::string(IPTEL_TEST_DATA) + "/export.dat"));
  EXPECT_FALSE(book.ExportPhoneBook(dir.file("missing/Ip.dat")));
}

}  // namespace
}  // namespace vertamo::testing
