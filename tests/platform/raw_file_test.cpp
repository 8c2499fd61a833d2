#include "platform/raw_file.h"

#include <cerrno>
#include <chrono>
#include <future>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "platform/audio_output.h"
#include "platform/folders.h"
#include "support/temp_folder.h"

namespace vertamo {
namespace {

using testing::ReadWholeFile;
using testing::TempFolder;
using testing::WriteWholeFile;

constexpr uint32_t kRead = TRawFile::kGenericRead;
constexpr uint32_t kWrite = TRawFile::kGenericWrite;
constexpr uint32_t kShare = TRawFile::kFileShareRead;
constexpr uint32_t kNormal = TRawFile::kFileAttributeNormal;

std::vector<std::string> ReadAllLines(const std::string& path, size_t bufferSize) {
  TRawFile f(path, kRead, kShare, TRawFile::kOpenExisting, kNormal | TRawFile::kFileFlagSequentialScan);
  std::vector<std::string> lines;
  std::vector<char> buf(bufferSize);
  while (f.ReadLine(buf.data(), buf.size())) lines.emplace_back(buf.data());
  EXPECT_TRUE(f.Failed());
  return lines;
}

TEST(RawFile, ReadLineSplitsAtLineEnds) {
  struct Case {
    const char* name;
    std::string content;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"CR LF", "abc\r\ndef\r\n", {"abc\r\n", "def\r\n"}},
      {"LF alone", "abc\ndef", {"abc\n", "def"}},
      {"CR alone", "abc\rdef", {"abc\r", "def"}},
      {"LF CR is one line end", "a\n\rb", {"a\n\r", "b"}},
      {"CR CR is one line end", "a\r\rb", {"a\r\r", "b"}},
      {"LF LF is one line end", "a\n\nb", {"a\n\n", "b"}},
      {"a third line-end byte starts an empty line", "a\r\n\r\nb", {"a\r\n", "\r\n", "b"}},
      {"three in a row", "a\r\r\rb", {"a\r\r", "\r", "b"}},
      {"no line end at all", "abc", {"abc"}},
      {"empty file", "", {}},
      {"only line ends", "\r\n\r\n\n", {"\r\n", "\r\n", "\n"}},
      {"tab and blanks are ordinary", " \tx \r\n", {" \tx \r\n"}},
  };
  TempFolder dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteWholeFile(dir.file("lines"), c.content);
    EXPECT_EQ(ReadAllLines(dir.file("lines"), 512), c.lines);
  }
}

TEST(RawFile, ReadLineCutsLongLinesAtTheBufferSize) {
  TempFolder dir;
  const std::string longLine(600, 'x');
  WriteWholeFile(dir.file("long"), longLine + "\r\nnext\r\n");
  const auto lines = ReadAllLines(dir.file("long"), 512);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], std::string(511, 'x'));
  EXPECT_EQ(lines[1], std::string(89, 'x') + "\r\n");
  EXPECT_EQ(lines[2], "next\r\n");

  // A line end that falls across the cut: the CR ends the first piece, the LF
  // comes back alone.
  WriteWholeFile(dir.file("edge"), std::string(510, 'y') + "\r\nz");
  const auto edge = ReadAllLines(dir.file("edge"), 512);
  ASSERT_EQ(edge.size(), 3u);
  EXPECT_EQ(edge[0], std::string(510, 'y') + "\r");
  EXPECT_EQ(edge[1], "\n");
  EXPECT_EQ(edge[2], "z");
}

TEST(RawFile, ReadLineMovesThePositionToTheNextLine) {
  TempFolder dir;
  WriteWholeFile(dir.file("f"), "one\r\ntwo\r\n");
  TRawFile f(dir.file("f"), kRead, kShare, TRawFile::kOpenExisting, kNormal);
  char buf[512];
  ASSERT_TRUE(f.ReadLine(buf, sizeof buf));
  EXPECT_EQ(f.Position(), 5);
  ASSERT_TRUE(f.ReadLine(buf, sizeof buf));
  EXPECT_EQ(f.Position(), 10);
  EXPECT_FALSE(f.ReadLine(buf, sizeof buf));
  EXPECT_STREQ(buf, "");
}

TEST(RawFile, ReadLineRejectsUselessBuffers) {
  TempFolder dir;
  WriteWholeFile(dir.file("f"), "abc");
  TRawFile f(dir.file("f"), kRead, kShare, TRawFile::kOpenExisting, kNormal);
  char one[1] = {'q'};
  EXPECT_FALSE(f.ReadLine(one, 1));
  EXPECT_EQ(one[0], '\0');
  EXPECT_FALSE(f.ReadLine(nullptr, 10));
  char two[2];
  ASSERT_TRUE(f.ReadLine(two, 2));  // one byte per line
  EXPECT_STREQ(two, "a");
  TRawFile closed;
  char buf[8];
  EXPECT_FALSE(closed.ReadLine(buf, sizeof buf));
}

TEST(RawFile, CreationDispositionsMapToPosix) {
  TempFolder dir;
  const std::string path = dir.file("f");
  struct Step {
    const char* name;
    uint32_t access;
    uint32_t creation;
    bool opens;
    int error;
    const char* contentAfter;  // nullptr: file absent
  };
  // Runs in order on one path; after each successful open with write access
  // the step appends one "x".
  const std::vector<Step> steps = {
      {"open existing of a missing file", kRead, TRawFile::kOpenExisting, false, ENOENT, nullptr},
      {"truncate existing of a missing file", kWrite, TRawFile::kTruncateExisting, false, ENOENT, nullptr},
      {"open always creates", kWrite, TRawFile::kOpenAlways, true, 0, "x"},
      {"open always keeps the content", kWrite | kRead, TRawFile::kOpenAlways, true, 0, "xx"},
      {"create new of an existing file", kWrite, TRawFile::kCreateNew, false, EEXIST, "xx"},
      {"create always truncates", kWrite, TRawFile::kCreateAlways, true, 0, "x"},
      {"open existing", kWrite, TRawFile::kOpenExisting, true, 0, "xx"},
      {"truncate existing needs write access", kRead, TRawFile::kTruncateExisting, false, EACCES, "xx"},
      {"truncate existing", kWrite, TRawFile::kTruncateExisting, true, 0, "x"},
      {"unknown disposition", kWrite, 77, false, EINVAL, "x"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    TRawFile f;
    EXPECT_EQ(f.Open(path, s.access, kShare, s.creation, kNormal), s.opens);
    EXPECT_EQ(f.IsOpen(), s.opens);
    EXPECT_EQ(f.Failed(), !s.opens);
    EXPECT_EQ(f.ErrorCode(), s.error);
    if (s.opens && (s.access & kWrite)) {
      ASSERT_TRUE(f.Seek(0, TRawFile::kFileEnd));
      EXPECT_TRUE(f.Write("x", 1));
    }
    EXPECT_TRUE(f.Close());
    if (s.contentAfter == nullptr) {
      EXPECT_FALSE(std::filesystem::exists(path));
    } else {
      EXPECT_EQ(ReadWholeFile(path), s.contentAfter);
    }
  }
}

TEST(RawFile, OpenRefusesASecondOpenAndFolders) {
  TempFolder dir;
  TRawFile f(dir.file("a"), kWrite, kShare, TRawFile::kCreateAlways, kNormal);
  ASSERT_TRUE(f.IsOpen());
  const int fd = f.Handle();
  EXPECT_FALSE(f.Open(dir.file("b"), kWrite, kShare, TRawFile::kCreateAlways, kNormal));
  EXPECT_EQ(f.Handle(), fd);
  EXPECT_FALSE(std::filesystem::exists(dir.file("b")));
  EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0) << "child processes must not inherit the file";

  TRawFile folder;
  EXPECT_FALSE(folder.Open(dir.path(), kRead, kShare, TRawFile::kOpenExisting, kNormal));
  EXPECT_EQ(folder.ErrorCode(), EISDIR);
  EXPECT_FALSE(folder.IsOpen());
}

TEST(RawFile, ReadonlyAttributeCreatesAReadOnlyFile) {
  TempFolder dir;
  TRawFile f(dir.file("ro"), kWrite, kShare, TRawFile::kCreateNew, TRawFile::kFileAttributeReadonly);
  ASSERT_TRUE(f.IsOpen());
  struct stat st {};
  ASSERT_EQ(::stat(dir.file("ro").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0222, 0u);
}

TEST(RawFile, OwnerOnlyAttributeCreatesAPrivateFileAndLeavesAnOldOne) {
  TempFolder dir;
  TRawFile created(dir.file("new"), TRawFile::kFileAppendData, kShare, TRawFile::kOpenAlways,
                   kNormal | TRawFile::kFileAttributeOwnerOnly);
  ASSERT_TRUE(created.IsOpen());
  EXPECT_EQ(FileMode(dir.file("new")), 0600);
  WriteWholeFile(dir.file("old"), "x");
  ::chmod(dir.file("old").c_str(), 0644);
  TRawFile old(dir.file("old"), TRawFile::kFileAppendData, kShare, TRawFile::kOpenAlways,
               kNormal | TRawFile::kFileAttributeOwnerOnly);
  ASSERT_TRUE(old.IsOpen());
  EXPECT_EQ(FileMode(dir.file("old")), 0644);
}

TEST(RawFile, WriteTextChainsAndReadWantsTheExactLength) {
  TempFolder dir;
  {
    TRawFile f(dir.file("t"), kWrite, kShare, TRawFile::kCreateAlways, kNormal);
    f.WriteText("ab").WriteText(std::string("cd")).WriteText("");
    EXPECT_FALSE(f.Failed());
    EXPECT_EQ(f.Transferred(), 0u);
    EXPECT_EQ(f.Position(), 4);
    EXPECT_TRUE(f.Flush());
    EXPECT_TRUE(f.WriteText(static_cast<const char*>(nullptr)).Failed());
  }
  EXPECT_EQ(ReadWholeFile(dir.file("t")), "abcd");

  TRawFile f(dir.file("t"), kRead, kShare, TRawFile::kOpenExisting, kNormal);
  char buf[8] = {};
  EXPECT_TRUE(f.Read(buf, 3));
  EXPECT_EQ(std::string(buf, 3), "abc");
  EXPECT_EQ(f.Transferred(), 3u);
  EXPECT_FALSE(f.Read(buf, 3)) << "only one byte was left";
  EXPECT_EQ(f.Transferred(), 1u);
  EXPECT_TRUE(f.Failed());
  EXPECT_TRUE(f.SeekTo(1));
  EXPECT_TRUE(f.Read(buf, 2));
  EXPECT_FALSE(f.Failed());
  EXPECT_EQ(std::string(buf, 2), "bc");
  EXPECT_TRUE(f.Seek(-2, TRawFile::kFileCurrent));
  EXPECT_EQ(f.Position(), 1);
  EXPECT_TRUE(f.Seek(-1, TRawFile::kFileEnd));
  EXPECT_EQ(f.Position(), 3);
  EXPECT_FALSE(f.Seek(-10, TRawFile::kFileBegin));
  EXPECT_EQ(f.ErrorCode(), EINVAL);
  EXPECT_FALSE(f.Seek(0, 9));
  EXPECT_FALSE(f.Write("x", 1)) << "opened for reading only";
  EXPECT_NE(f.ErrorCode(), 0);
}

TEST(RawFile, OperationsWithoutAnOpenFileFail) {
  TRawFile f;
  char buf[4];
  EXPECT_TRUE(f.Close());
  EXPECT_FALSE(f.Write("x", 1));
  EXPECT_EQ(f.ErrorCode(), EBADF);
  EXPECT_FALSE(f.Read(buf, 1));
  EXPECT_FALSE(f.Seek(0, TRawFile::kFileBegin));
  EXPECT_EQ(f.Position(), -1);
  EXPECT_FALSE(f.Flush());
  EXPECT_FALSE(f.SetMode(0600));
  EXPECT_TRUE(f.WriteText("abc").Failed());
  TempFolder dir;
  ASSERT_TRUE(f.Open(dir.file("x"), kWrite, kShare, TRawFile::kCreateAlways, kNormal));
  EXPECT_FALSE(f.Write(nullptr, 3));
  EXPECT_EQ(f.ErrorCode(), EFAULT);
  EXPECT_FALSE(f.Write(nullptr, 0));
  EXPECT_TRUE(f.SetMode(0600));
  EXPECT_TRUE(f.Close());
  EXPECT_FALSE(f.IsOpen());
  EXPECT_FALSE(f.Failed());
}

TEST(RawFile, ReadRegularFileTakesOnlyRegularFilesOfBoundedSize) {
  TempFolder dir;
  WriteWholeFile(dir.file("four"), "abcd");
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  struct Case {
    const char* name;
    size_t maxBytes;
    bool ok;
  };
  const Case cases[] = {{"four", 4, true}, {"four", 3, false}, {"none", 100, false},
                        {"", 100, false},  {"fifo", 100, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = "old";
    // A FIFO nobody writes to would block a plain open for good: the answer
    // must come within 5 s, else a writer releases the reader and the case fails.
    auto read = std::async(std::launch::async, [&] { return ReadRegularFile(dir.file(c.name), c.maxBytes, bytes); });
    if (read.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
      const int writer = ::open(dir.file(c.name).c_str(), O_WRONLY | O_NONBLOCK);
      read.wait();
      if (writer >= 0) ::close(writer);
      ADD_FAILURE() << "the read blocked";
      continue;
    }
    EXPECT_EQ(read.get(), c.ok);
    EXPECT_EQ(bytes, c.ok ? "abcd" : "");
  }
}

TEST(RawFile, AFifoADeviceOrAFolderInPlaceOfAFileIsRefusedAtOnce) {
  // Every way the system opens a file of the work folder (settings read and
  // written, logs appended, exports, sounds), on a FIFO nobody writes to, a
  // device and a folder: refused, each within 5 s (else a writer releases
  // the FIFO and the case fails).
  TempFolder dir;
  const std::string fifo = dir.file("Vertamo.ini");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    const char* name;
    uint32_t access, creation;
  } modes[] = {
      {"settings read", kRead, TRawFile::kOpenAlways},
      {"log appended", kRead | TRawFile::kFileAppendData, TRawFile::kOpenAlways},
      {"export written", kWrite, TRawFile::kCreateAlways},
      {"existing read", kRead, TRawFile::kOpenExisting},
  };
  const struct {
    std::string path;
    int error;
  } places[] = {{fifo, EINVAL}, {"/dev/null", EINVAL}, {dir.path(), EISDIR}};
  for (const auto& place : places) {
    for (const auto& mode : modes) {
      SCOPED_TRACE(place.path + ": " + mode.name);
      TRawFile file;
      auto open = std::async(std::launch::async, [&] {
        return file.Open(place.path, mode.access, kShare, mode.creation, kNormal);
      });
      if (open.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        const int other = ::open(place.path.c_str(), O_RDWR | O_NONBLOCK);
        open.wait();
        if (other >= 0) ::close(other);
        ADD_FAILURE() << "the open blocked";
        continue;
      }
      EXPECT_FALSE(open.get());
      // A FIFO opened for writing alone says at once that nobody reads it.
      const bool writeOnly = (mode.access & kRead) == 0;
      EXPECT_EQ(file.ErrorCode(), place.path == fifo && writeOnly ? ENXIO : place.error);
    }
  }
  TWaveReader sound;
  auto opened = std::async(std::launch::async, [&] { return sound.Open(fifo); });
  if (opened.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    opened.wait();
    if (writer >= 0) ::close(writer);
    ADD_FAILURE() << "the sound's open blocked";
  } else {
    EXPECT_FALSE(opened.get());
  }
}

}  // namespace
}  // namespace vertamo
