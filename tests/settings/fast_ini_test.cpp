#include "settings/fast_ini.h"

#include <climits>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/cp1251.h"
#include "platform/folders.h"
#include "support/fake_form_bounds.h"
#include "support/temp_folder.h"

namespace vertamo {
namespace {

using testing::ReadWholeFile;
using testing::TempFolder;
using testing::WriteWholeFile;
namespace fs = std::filesystem;

// The content as the caller sees it through the section access, one line per
// section and key, "|" marking where each text ends.
std::string Dump(const TFastIni& ini) {
  std::string out;
  for (int i = 0; i < ini.SectionCount(); ++i) {
    const TFastIniSection* s = ini.Section(i);
    out += "[" + s->name + "]|";
    for (int k = 0; k < s->KeyCount(); ++k) out += s->Key(k)->name + "=" + s->Key(k)->value + "|";
  }
  return out;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Runs `body` in a child process; its result is the child's exit status.
int RunInChild(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class FastIniTest : public ::testing::Test {
 protected:
  std::string Path() const { return dir_.file("test.ini"); }
  std::string LoadedDump(const std::string& content) {
    WriteWholeFile(Path(), content);
    TFastIni ini(Path());
    EXPECT_FALSE(ini.Failed());
    EXPECT_FALSE(ini.Modified());
    return Dump(ini);
  }
  TempFolder dir_;
};

TEST_F(FastIniTest, LoadFollowsTheFileFormat) {
  struct Case {
    const char* name;
    std::string file;
    std::string dump;
  };
  const std::vector<Case> cases = {
      {"empty file", "", ""},
      {"plain", "[S]\r\na=1\r\nb=2\r\n", "[S]|a=1|b=2|"},
      {"key lines before the first header are dropped", "a=1\r\nz\r\n[S]\r\nb=2\r\n", "[S]|b=2|"},
      {"blanks around the equals sign", "[S]\r\n k = 5 \r\n", "[S]|k= 5|"},
      {"a value of blanks keeps one", "[S]\r\nk=   \r\n", "[S]|k= |"},
      {"an empty value is absent", "[S]\r\nk=\r\nj =  \r\n", "[S]|k=|j= |"},
      {"blanks inside brackets are kept", "[ S ]\r\na=1\r\n", "[ S ]|a=1|"},
      {"text after the bracket is ignored", "[S] tail]\r\na=1\r\n", "[S]|a=1|"},
      {"brackets inside the name", "[[S]]\r\n", "[[S]|"},
      {"headers that are no headers keep the current section", "[S]\r\n[]\r\na=1\r\n[x\r\nb=2\r\n",
       "[S]|a=1|b=2|"},
      {"a broken first header starts nothing", "[]\r\na=1\r\n[x=1\r\n", ""},
      {"lines without or starting with equals", "[S]\r\nnone\r\n=x\r\n   =y\r\nk=v\r\n", "[S]|k=v|"},
      {"no comments: semicolon lines with equals are keys", "[S]\r\n;c\r\n;c=1\r\n", "[S]|;c=1|"},
      {"tabs are ordinary characters", "[S]\r\n\tk\t=\tv\t\r\n", "[S]|\tk\t=\tv\t|"},
      {"leading blanks before a header", "   [S]\r\n   a=1\r\n", "[S]|a=1|"},
      {"blank-only lines", "[S]\r\n    \r\na=1\r\n", "[S]|a=1|"},
      {"a value holding equals signs", "[S]\r\nk=a=b\r\n", "[S]|k=a=b|"},
      {"trailing blanks of the name", "[S]\r\nkey   =v\r\n", "[S]|key=v|"},
      {"LF line ends", "[S]\na=1\nb=2", "[S]|a=1|b=2|"},
      {"CR line ends", "[S]\ra=1\rb=2\r", "[S]|a=1|b=2|"},
      {"LF CR and doubled line ends", "[S]\n\ra=1\n\n\n\nb=2\r\r", "[S]|a=1|b=2|"},
      {"duplicate sections and keys are kept", "[S]\r\na=1\r\na=2\r\n[s]\r\na=3\r\n", "[S]|a=1|a=2|[s]|a=3|"},
      {"quotes are ordinary", "[S]\r\nk=\"x\" \r\n", "[S]|k=\"x\"|"},
      {"a zero byte ends the line", std::string("[S]\r\nk=a\0b\r\nj=1\r\n", 17), "[S]|k=a|j=1|"},
      {"code page 1251 bytes pass", "[\xC6\xF3\xF0\xED\xE0\xEB]\r\n\xCA=\xDF\r\n",
       "[\xC6\xF3\xF0\xED\xE0\xEB]|\xCA=\xDF|"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LoadedDump(c.file), c.dump);
  }
}

TEST_F(FastIniTest, ALongLineIsReadAsPiecesOf511Bytes) {
  // 600 bytes: "k=" and 509 x make the first line; the 89 left have no "=".
  EXPECT_EQ(LoadedDump("[S]\r\nk=" + std::string(598, 'x') + "\r\nj=1\r\n"),
            "[S]|k=" + std::string(509, 'x') + "|j=1|");
  // When the remainder holds an "=" it becomes a key of its own.
  EXPECT_EQ(LoadedDump("[S]\r\nk=" + std::string(509, 'x') + "tail=1\r\n"),
            "[S]|k=" + std::string(509, 'x') + "|tail=1|");
  // A header longer than a line loses its "]" and is no header.
  EXPECT_EQ(LoadedDump("[S]\r\n[" + std::string(600, 'n') + "]\r\na=1\r\n"), "[S]|a=1|");
}

TEST_F(FastIniTest, LookupsFoldLatinCaseOnly) {
  WriteWholeFile(Path(), Utf8ToCp1251("[Main]\r\nKey=1\r\n[Журнал]\r\nКлюч=2\r\n[NONAMED]\r\nx=3\r\n"));
  TFastIni ini(Path());
  EXPECT_EQ(ini.ReadString("MAIN", "kEY", "-"), "1");
  EXPECT_EQ(ini.ReadString(Utf8ToCp1251("Журнал"), Utf8ToCp1251("Ключ"), "-"), "2");
  EXPECT_EQ(ini.ReadString(Utf8ToCp1251("ЖУРНАЛ"), Utf8ToCp1251("Ключ"), "-"), "-");
  EXPECT_EQ(ini.ReadString(Utf8ToCp1251("Журнал"), Utf8ToCp1251("КЛЮЧ"), "-"), "-");
  EXPECT_FALSE(ini.SectionExists(Utf8ToCp1251("журнал")));
  EXPECT_EQ(ini.ReadString("", "x", "-"), "3") << "the empty section name stands for NONAMED";
  EXPECT_EQ(ini.ReadString("nonamed", "X", "-"), "3");
  EXPECT_EQ(ini.ReadString("Main", "", "-"), "-") << "an absent key name never matches";
  EXPECT_FALSE(ini.SectionExists(" Main"));
  EXPECT_FALSE(ini.Modified());
}

TEST_F(FastIniTest, TypedReads) {
  struct Case {
    const char* value;
    int integer;
    bool boolean;
  };
  const std::vector<Case> cases = {
      {"0", 0, false},
      {"1", 1, true},
      {"2", 2, true},
      {"-1", -1, true},
      {" 5", 5, true},
      {"\t\n 7", 7, true},
      {"+8", 8, true},
      {"-12abc", -12, true},
      {"abc", 0, false},
      {"yes", 0, false},
      {"true", 0, false},
      {"", 0, false},
      {"- 5", 0, false},
      {"+-5", 0, false},
      {"007", 7, true},
      {"2147483647", INT_MAX, true},
      {"2147483648", INT_MIN, true},
      {"-2147483648", INT_MIN, true},
      {"4294967296", 0, false},
  };
  TFastIni ini(Path());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    ini.WriteString("S", "k", c.value);
    EXPECT_EQ(ini.ReadInteger("S", "k", 99), c.integer);
    EXPECT_EQ(ini.ReadBool("S", "k", !c.boolean), c.boolean);
    EXPECT_EQ(ini.ReadString("S", "k", "def"), c.value) << "present key, even with an empty value";
  }
  EXPECT_EQ(ini.ReadInteger("S", "missing", 42), 42);
  EXPECT_EQ(ini.ReadInteger("Missing", "k", -3), -3);
  EXPECT_TRUE(ini.ReadBool("S", "missing", true));
  EXPECT_FALSE(ini.ReadBool("Missing", "k", false));
  EXPECT_EQ(ini.ReadString("Missing", "k", "d"), "d");
}

TEST_F(FastIniTest, WritesUpdateTheFirstMatchOrAppend) {
  WriteWholeFile(Path(), "[S]\r\na=1\r\na=2\r\n[T]\r\n[s]\r\nb=3\r\n");
  TFastIni ini(Path());
  EXPECT_EQ(ini.ReadString("S", "b", "-"), "-") << "only the first section is looked at";
  ini.WriteString("s", "A", "x");
  ini.WriteString("S", "b", "y");
  ini.WriteInteger("New", "i", -42);
  ini.WriteBool("New", "t", true);
  ini.WriteBool("New", "f", false);
  ini.WriteString("", "n", "v");
  ini.WriteString("S", std::string("z\0tail", 6), std::string("v\0tail", 6));
  EXPECT_EQ(Dump(ini), "[S]|a=x|a=2|b=y|z=v|[T]|[s]|b=3|[New]|i=-42|t=1|f=0|[NONAMED]|n=v|");
  EXPECT_TRUE(ini.Modified());
  EXPECT_EQ(ini.ToText(),
            "[S]\r\na=x\r\na=2\r\nb=y\r\nz=v\r\n[T]\r\n[s]\r\nb=3\r\n[New]\r\ni=-42\r\nt=1\r\nf=0\r\n"
            "[NONAMED]\r\nn=v\r\n");
}

TEST_F(FastIniTest, EveryWriteSetsModifiedAndReadsNever) {
  WriteWholeFile(Path(), "[S]\r\na=1\r\n");
  TFastIni ini(Path());
  ini.ReadString("S", "a", "");
  ini.ReadInteger("S", "a", 0);
  ini.ReadBool("X", "a", false);
  ini.SectionExists("S");
  ini.ValueExists("S", "b");
  EXPECT_FALSE(ini.Modified());
  EXPECT_EQ(ini.SectionCount(), 1) << "reads never create sections";
  ini.WriteString("S", "a", "1");
  EXPECT_TRUE(ini.Modified()) << "also when the value stays the same";
  EXPECT_TRUE(ini.Save());
  EXPECT_FALSE(ini.Modified());
  ini.EraseSection("missing");
  ini.DeleteKey("missing", "a");
  EXPECT_FALSE(ini.Modified());
  ini.DeleteKey("S", "missing");
  EXPECT_TRUE(ini.Modified()) << "the section exists";
  EXPECT_EQ(Dump(ini), "[S]|a=1|");
}

TEST_F(FastIniTest, DeleteKeyAndEraseSection) {
  WriteWholeFile(Path(), "[A]\r\nk=1\r\nk=2\r\n[B]\r\nx=1\r\n[A]\r\nk=3\r\n[C]\r\ny=1\r\n");
  TFastIni ini(Path());
  ini.DeleteKey("a", "K");
  EXPECT_EQ(Dump(ini), "[A]|k=2|[B]|x=1|[A]|k=3|[C]|y=1|");
  ini.DeleteKey("A", "k");
  EXPECT_EQ(Dump(ini), "[B]|x=1|[A]|k=3|[C]|y=1|") << "the emptied section goes";
  ini.EraseSection("a");
  EXPECT_EQ(Dump(ini), "[B]|x=1|[C]|y=1|");
  EXPECT_TRUE(ini.ValueExists("B", "x"));
  EXPECT_FALSE(ini.ValueExists("A", "k"));
  EXPECT_FALSE(ini.ValueExists("Z", "x"));
  ini.DeleteKey("C", "y");
  EXPECT_TRUE(ini.Save());
  EXPECT_EQ(ReadWholeFile(Path()), "[B]\r\nx=1\r\n") << "the last key takes its header along";
}

TEST_F(FastIniTest, SectionAccessOutOfRange) {
  WriteWholeFile(Path(), "[A]\r\nk=1\r\n");
  TFastIni ini(Path());
  EXPECT_EQ(ini.Section(-1), nullptr);
  EXPECT_EQ(ini.Section(1), nullptr);
  ASSERT_NE(ini.Section(0), nullptr);
  EXPECT_EQ(ini.Section(0)->Key(1), nullptr);
  EXPECT_EQ(ini.Section(0)->Key(-1), nullptr);
}

TEST_F(FastIniTest, MissingFileIsCreatedEmptyAndDeferredLoad) {
  {
    TFastIni ini(Path(), /*deferLoad=*/true);
    EXPECT_FALSE(fs::exists(Path()));
    ini.Load();
    EXPECT_TRUE(fs::exists(Path()));
    EXPECT_EQ(FileMode(Path()), 0600) << "settings may hold a password";
    EXPECT_EQ(ini.SectionCount(), 0);
    EXPECT_FALSE(ini.Failed());
    EXPECT_EQ(ini.FileName(), Path());
  }
  EXPECT_EQ(fs::file_size(Path()), 0u) << "nothing changed, nothing written";
}

TEST_F(FastIniTest, AFileThatCannotBeOpenedReadsAsEmpty) {
  TFastIni inMissingFolder(dir_.file("no/such/folder.ini"));
  EXPECT_TRUE(inMissingFolder.Failed());
  EXPECT_EQ(inMissingFolder.ReadInteger("S", "k", 7), 7);

  fs::create_directory(dir_.file("folder.ini"));
  TFastIni onAFolder(dir_.file("folder.ini"));
  EXPECT_TRUE(onAFolder.Failed());
  EXPECT_EQ(onAFolder.SectionCount(), 0);
}

TEST_F(FastIniTest, SaveWritesTheWholeFileAndReloadsTheSame) {
  const std::string original =
      "junk=1\r\n[A]\r\n k = v \r\n[A]\r\nk=2\r\n[ B ]\r\nempty=\r\n;x=1\r\nnone\r\n";
  WriteWholeFile(Path(), original);
  TFastIni ini(Path());
  ASSERT_TRUE(ini.Save());
  const std::string expected = "[A]\r\nk= v\r\n[A]\r\nk=2\r\n[ B ]\r\nempty=\r\n;x=1\r\n";
  EXPECT_EQ(ReadWholeFile(Path()), expected);
  TFastIni again(Path());
  EXPECT_EQ(Dump(again), Dump(ini));
  ASSERT_TRUE(again.Save());
  EXPECT_EQ(ReadWholeFile(Path()), expected) << "a second round changes nothing";
  EXPECT_EQ(FolderEntries(dir_.path()), std::vector<std::string>{"test.ini"}) << "no temporary file left";
}

TEST_F(FastIniTest, DestroyingSavesOnlyWhenModified) {
  WriteWholeFile(Path(), "[A]\r\nk=1\r\n");
  {
    TFastIni ini(Path());
    WriteWholeFile(Path(), "changed by someone else");
  }
  EXPECT_EQ(ReadWholeFile(Path()), "changed by someone else");
  {
    TFastIni ini(Path());
    ini.WriteInteger("A", "k", 2);
  }
  EXPECT_EQ(ReadWholeFile(Path()), "[A]\r\nk=2\r\n");
}

TEST_F(FastIniTest, SaveKeepsPermissionsAndSymbolicLinks) {
  WriteWholeFile(dir_.file("real.ini"), "[A]\r\nk=1\r\n");
  fs::permissions(dir_.file("real.ini"), fs::perms(0600));
  fs::create_symlink(dir_.file("real.ini"), Path());
  {
    TFastIni ini(Path());
    ini.WriteString("A", "k", "secret");
    ASSERT_TRUE(ini.Save());
  }
  EXPECT_TRUE(fs::is_symlink(Path()));
  EXPECT_EQ(ReadWholeFile(dir_.file("real.ini")), "[A]\r\nk=secret\r\n");
  EXPECT_EQ(fs::status(dir_.file("real.ini")).permissions() & fs::perms::all, fs::perms(0600));
}

TEST_F(FastIniTest, ANewFileIsItsOwnersOnlyAnOldOneKeepsItsMode) {
  for (const int before : {-1, 0644}) {
    SCOPED_TRACE(before);
    fs::remove(Path());
    if (before >= 0) {
      WriteWholeFile(Path(), "");
      fs::permissions(Path(), fs::perms(before));
    }
    TFastIni ini(Path(), /*deferLoad=*/true);
    ini.WriteString("ServerInfo", "Password", "secret");
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(FileMode(Path()), before >= 0 ? before : 0600);
  }
}

// The outcome of a failed save, as a child process reports it in its exit status.
enum SaveOutcome : int {
  kAsExpected = 0,
  kSaveSucceeded = 1,
  kNotFailed = 2,
  kModifiedCleared = 4,
  kDataLost = 8,
  kCannotDropRights = 77,
};

int FailedSaveOutcome(TFastIni& ini) {
  ini.WriteString("A", "k", std::string(4000, 'n'));
  int outcome = kAsExpected;
  if (ini.Save()) outcome |= kSaveSucceeded;
  if (!ini.Failed()) outcome |= kNotFailed;
  if (!ini.Modified()) outcome |= kModifiedCleared;
  if (ini.ReadString("A", "k", "") != std::string(4000, 'n') || ini.ReadString("A", "old", "") != "1")
    outcome |= kDataLost;
  return outcome;
}

TEST_F(FastIniTest, AFailedSaveInAReadOnlyFolderKeepsTheOldFile) {
  const std::string old = "[A]\r\nold=1\r\nk=old\r\n";
  WriteWholeFile(Path(), old);
  // The file itself stays writable: only replacing it is impossible.
  fs::permissions(Path(), fs::perms(0666));
  fs::permissions(dir_.path(), fs::perms(0555));
  const int outcome = RunInChild([&] {
    // Root writes into any folder: take the rights of an ordinary user.
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return int(kCannotDropRights);
    TFastIni ini(Path());
    if (ini.Failed()) return int(kNotFailed);
    return FailedSaveOutcome(ini);  // the destroy tries again and fails again
  });
  fs::permissions(dir_.path(), fs::perms(0700));
  if (outcome == kCannotDropRights) GTEST_SKIP() << "cannot drop root rights here";
  EXPECT_EQ(outcome, kAsExpected);
  EXPECT_EQ(ReadWholeFile(Path()), old) << "the old file byte for byte";
  EXPECT_EQ(FolderEntries(dir_.path()), std::vector<std::string>{"test.ini"});
}

TEST_F(FastIniTest, AFailedWriteKeepsTheOldFile) {
  const std::string old = "[A]\r\nold=1\r\nk=old\r\n";
  WriteWholeFile(Path(), old);
  const int outcome = RunInChild([&] {
    // A full disk, as far as this process is concerned: no file may grow past
    // 100 bytes, so the write of the new file fails with EFBIG.
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{100, 100};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 99;
    TFastIni ini(Path());
    return FailedSaveOutcome(ini);
  });
  EXPECT_EQ(outcome, kAsExpected);
  EXPECT_EQ(ReadWholeFile(Path()), old);
  EXPECT_EQ(FolderEntries(dir_.path()), std::vector<std::string>{"test.ini"})
      << "the temporary file is removed";
}

TEST_F(FastIniTest, AFailedRenameKeepsTheDataAndModified) {
  // The settings path names a folder that is not empty: nothing can replace it.
  fs::create_directories(dir_.file("test.ini/inside"));
  TFastIni ini(Path());
  EXPECT_TRUE(ini.Failed());
  ini.WriteString("A", "old", "1");
  EXPECT_EQ(FailedSaveOutcome(ini), kAsExpected);
  EXPECT_TRUE(fs::is_directory(dir_.file("test.ini/inside")));
  EXPECT_EQ(FolderEntries(dir_.path()), std::vector<std::string>{"test.ini"});
}

using FakeWindow = testing::FakeFormBounds;

TEST_F(FastIniTest, FormBounds) {
  struct Case {
    const char* name;
    std::string file;
    std::string log;
    int l, t, w, h;
  };
  const std::vector<Case> cases = {
      {"all four", "[FormTest]\r\nLeft=10\r\nTop=20\r\nWidth=300\r\nHeight=400\r\n", "LTWH", 10, 20, 300,
       400},
      {"missing keys keep the current value", "[formtest]\r\nLeft=-5\r\nHeight=50\r\n", "LTWH", -5, 2, 3, 50},
      {"without Left nothing changes", "[FormTest]\r\nTop=20\r\nWidth=300\r\n", "", 1, 2, 3, 4},
      {"without the section nothing changes", "[Other]\r\nLeft=10\r\n", "", 1, 2, 3, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteWholeFile(Path(), c.file);
    TFastIni ini(Path());
    FakeWindow win;
    ini.ReadFormBounds(&win);
    EXPECT_EQ(win.log, c.log) << "set in the order Left, Top, Width, Height";
    EXPECT_EQ(std::vector<int>({win.l, win.t, win.w, win.h}), std::vector<int>({c.l, c.t, c.w, c.h}));
    EXPECT_FALSE(ini.Modified());
  }

  TFastIni ini(Path());
  ini.ReadFormBounds("FormTest", nullptr);
  ini.WriteFormBounds("X", nullptr);
  EXPECT_FALSE(ini.Modified()) << "no window, nothing to do";
  ini.EraseSection("Other");
  FakeWindow win;
  win.l = -7;
  ini.WriteFormBounds(&win);
  ini.WriteFormBounds("Explicit", &win);
  EXPECT_EQ(Dump(ini),
            "[FormTest]|Left=-7|Top=2|Width=3|Height=4|[Explicit]|Left=-7|Top=2|Width=3|Height=4|");
}

struct FakeGrid : IGridColumns {
  std::vector<int> widths = {64, 80, 120};
  std::string name() const override { return "StringGrid1"; }
  std::string ownerName() const override { return "FormView"; }
  int columnCount() const override { return static_cast<int>(widths.size()); }
  int width(int column) const override { return widths[static_cast<size_t>(column)]; }
  void setWidth(int column, int width) override { widths[static_cast<size_t>(column)] = width; }
};

TEST_F(FastIniTest, GridColumnWidths) {
  WriteWholeFile(Path(),
                 "[FormView]\r\nStringGrid1_col1=10\r\nStringGrid1_col3=30\r\nStringGrid1_col4=40\r\n");
  TFastIni ini(Path());
  FakeGrid grid;
  ini.ReadGridColWidths(&grid);
  EXPECT_EQ(grid.widths, std::vector<int>({10, 80, 30}));
  ini.ReadGridColWidths("Missing", &grid);
  EXPECT_EQ(grid.widths, std::vector<int>({10, 80, 30}));
  EXPECT_FALSE(ini.Modified());

  grid.widths = {1, 2};
  ini.WriteGridColWidths(&grid);
  EXPECT_EQ(Dump(ini),
            "[FormView]|StringGrid1_col1=1|StringGrid1_col3=30|StringGrid1_col4=40|StringGrid1_col2=2|");
  FakeGrid none;
  none.widths.clear();
  ini.WriteGridColWidths("Empty", &none);
  EXPECT_TRUE(ini.SectionExists("Empty")) << "the section is made even without columns";
}

}  // namespace
}  // namespace vertamo
