#include "serverlink/picture_cache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include "map/picture_set.h"
#include "platform/cp1251.h"
#include "codec/png_codec.h"
#include "support/solid_image.h"
#include "support/temp_folder.h"

namespace vertamo::testing {
namespace {

namespace fs = std::filesystem;

TEST(CacheNames, SafeNamesStayAsTheyAre) {
  EXPECT_EQ(CacheFileStem("lift"), "lift");
  EXPECT_EQ(CacheFileStem("Map 1 (east)"), "Map 1 (east)");
  EXPECT_EQ(CacheFileStem("a.b"), "a.b");
  EXPECT_EQ(CacheFileStem(Utf8ToCp1251("Этаж 1")), "Этаж 1");  // readable UTF-8 file name
  EXPECT_EQ(MapCacheFile("/w/Cache/", "lift"), "/w/Cache/lift.png");
  EXPECT_EQ(MapCacheFile("/w/Cache", "lift"), "/w/Cache/lift.png");
  EXPECT_EQ(PictureSetCacheFile("/w/Cache/", "lift", 7), "/w/Cache/lift_7.png");
  EXPECT_EQ(CacheFolderIn("/w"), "/w/Cache/");
  EXPECT_EQ(CacheFolderIn("/w/"), "/w/Cache/");
}

TEST(CacheNames, UnsafeCharactersAreEncoded) {
  struct Case {
    std::string name;
    std::string stem;
  };
  const std::vector<Case> cases = {
      {"../../x", "%2E.%2F..%2Fx"},
      {"a/b", "a%2Fb"},
      {"a\\b", "a%5Cb"},
      {"/etc/passwd", "%2Fetc%2Fpasswd"},
      {".", "%2E"},
      {"..", "%2E%2E"},
      {".hidden", "%2Ehidden"},
      {"trailing ", "trailing%20"},
      {"dot.", "dot%2E"},
      {"100%", "100%25"},
      {"%2F", "%252F"},
      {"a:b*c?d\"e<f>g|h", "a%3Ab%2Ac%3Fd%22e%3Cf%3Eg%7Ch"},
      {"tab\there\x01", "tab%09here%01"},
      {"", "%"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CacheFileStem(c.name), c.stem);
    const std::string path = MapCacheFile("/w/Cache/", c.name);
    ASSERT_EQ(path.rfind("/w/Cache/", 0), 0u);
    EXPECT_EQ(path.find('/', 9), std::string::npos) << "the file stays inside the cache folder";
  }
}

TEST(CacheNames, DifferentNamesNeverShareAFile) {
  std::vector<std::string> names = {"a/b",    "a%2Fb", "a_b",     "a%5Fb", "a b", "a%20b", "",
                                    "%",      "%25",   ".",       "%2E",   "..",  "x.",    "x%2E",
                                    "lift_0", "lift",  "lift_00", "_0",    "0"};
  for (int b = 0; b < 256; ++b) names.push_back(std::string(1, static_cast<char>(b)));
  std::set<std::string> mapFiles;
  for (const std::string& n : names) mapFiles.insert(MapCacheFile("/c/", n));
  EXPECT_EQ(mapFiles.size(), std::set<std::string>(names.begin(), names.end()).size());

  // Map backgrounds and set pictures never collide: a map called lift_0 is not
  // picture 0 of the set lift.
  EXPECT_NE(MapCacheFile("/c/", "lift_0"), PictureSetCacheFile("/c/", "lift", 0));
  EXPECT_NE(MapCacheFile("/c/", "_1_2"), PictureSetCacheFile("/c/", "_1", 2));
  EXPECT_EQ(MapCacheFile("/c/", "lift_x"), "/c/lift_x.png");
  for (const std::string& n : names)
    for (int j = 0; j < 3; ++j)
      if (IsPictureSetName(n)) EXPECT_EQ(mapFiles.count(PictureSetCacheFile("/c/", n, j)), 0u) << n;
}

TEST(CacheNames, TheSameNameAlwaysGivesTheSameFile) {
  const std::string name = Utf8ToCp1251("Карта ../1");
  EXPECT_EQ(MapCacheFile("/c/", name), MapCacheFile("/c/", std::string(name)));
}

TEST(CacheNames, OverLongNamesAreShortenedWithAHashOfTheWholeName) {
  const std::string a = std::string(300, 'a') + "1", b = std::string(300, 'a') + "2";
  const std::string sa = CacheFileStem(a), sb = CacheFileStem(b);
  EXPECT_LE(sa.size(), 200u);
  EXPECT_NE(sa, sb);
  EXPECT_EQ(sa, CacheFileStem(a));
  // A cut never splits an escape or a UTF-8 sequence.
  for (const std::string& name :
       {std::string(150, '/'), "a" + std::string(150, '/'), "ab" + std::string(150, '/'),
        Utf8ToCp1251(std::string(150, 'x') + "ЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖ"),
        "x" + Utf8ToCp1251(std::string(150, 'x') + "ЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖ")}) {
    const std::string s = CacheFileStem(name);
    EXPECT_LE(s.size(), 200u);
    const size_t mark = s.find("%%");
    ASSERT_NE(mark, std::string::npos);
    EXPECT_EQ(mark, s.rfind("%%"));
    const std::string kept = s.substr(0, mark);
    for (size_t i = 0; i < kept.size(); ++i)
      if (kept[i] == '%') EXPECT_LE(i + 3, kept.size()) << "an escape is cut at " << i;
    EXPECT_EQ(Utf8ToCp1251(kept).find('?'), std::string::npos) << "UTF-8 cut";
  }
}

TEST(CacheFiles, WriteIsAtomicAndHoldsTheReEncodedPicture) {
  TempFolder work;
  const std::string folder = CacheFolderIn(work.path());
  const std::string path = MapCacheFile(folder, "m");
  const Image first = PatternImage(5, 4, 1), second = PatternImage(3, 3, 2);

  ASSERT_TRUE(WriteCacheFile(folder, path, first));  // creates the folder
  std::string bytes;
  ASSERT_TRUE(ReadCacheFile(path, bytes));
  EXPECT_EQ(bytes, EncodePng(first));

  ASSERT_TRUE(WriteCacheFile(folder, path, second));
  ASSERT_TRUE(ReadCacheFile(path, bytes));
  EXPECT_EQ(bytes, EncodePng(second));

  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(folder)) left.push_back(entry.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"m.png"}) << "no temporary file stays behind";
}

TEST(CacheFiles, AFailedWriteKeepsTheOldFile) {
  TempFolder work;
  const std::string folder = CacheFolderIn(work.path());
  const std::string path = MapCacheFile(folder, "m");
  ASSERT_TRUE(WriteCacheFile(folder, path, PatternImage(2, 2, 1)));
  EXPECT_FALSE(WriteCacheFile(folder, path, Image{}));  // nothing to encode
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
  if (::access(folder.c_str(), W_OK) != 0) {  // not when running as root
    EXPECT_FALSE(WriteCacheFile(folder, path, PatternImage(3, 3, 2)));
  }
  fs::permissions(folder, fs::perms::owner_all);
  std::string bytes;
  ASSERT_TRUE(ReadCacheFile(path, bytes));
  EXPECT_EQ(bytes, EncodePng(PatternImage(2, 2, 1)));
}

TEST(CacheFiles, ACacheFolderThatIsAFileFailsQuietly) {
  TempFolder work;
  WriteWholeFile(work.file("Cache"), "not a folder");
  const std::string folder = CacheFolderIn(work.path());
  EXPECT_FALSE(WriteCacheFile(folder, MapCacheFile(folder, "m"), PatternImage(2, 2, 1)));
  std::string bytes;
  EXPECT_FALSE(ReadCacheFile(MapCacheFile(folder, "m"), bytes));
}

TEST(CacheFiles, ReadRefusesMissingFilesAndFolders) {
  TempFolder work;
  std::string bytes = "old";
  EXPECT_FALSE(ReadCacheFile(work.file("none.png"), bytes));
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(ReadCacheFile(work.path(), bytes));
  WriteWholeFile(work.file("empty.png"), "");
  EXPECT_TRUE(ReadCacheFile(work.file("empty.png"), bytes));
  EXPECT_TRUE(bytes.empty());
  EXPECT_TRUE(RemoveCacheFile(work.file("empty.png")));
  EXPECT_TRUE(RemoveCacheFile(work.file("empty.png")));
}

}  // namespace
}  // namespace vertamo::testing

namespace vertamo::testing {
namespace {

TEST(CacheWriter, WritesEveryPostedPictureInOrder) {
  TempFolder work;
  const std::string folder = CacheFolderIn(work.path());
  TCacheWriter writer(/*maxQueuedBytes=*/64);  // tiny: Post waits for the writer
  for (int i = 0; i < 20; ++i) writer.Post(folder, PictureSetCacheFile(folder, "s", i % 5), PatternImage(4, 4, i));
  writer.Post(folder, MapCacheFile(folder, "big"), PatternImage(40, 40, 99));  // larger than the bound alone
  writer.WaitIdle();
  EXPECT_EQ(writer.Written(), 21);
  EXPECT_EQ(writer.Failed(), 0);
  for (int j = 0; j < 5; ++j) {
    std::string bytes;
    ASSERT_TRUE(ReadCacheFile(PictureSetCacheFile(folder, "s", j), bytes));
    EXPECT_EQ(bytes, EncodePng(PatternImage(4, 4, 15 + j))) << "the last picture posted for a file wins";
  }
  EXPECT_TRUE(fs::exists(MapCacheFile(folder, "big")));
}

TEST(CacheWriter, CountsFilesItCannotWrite) {
  TempFolder work;
  WriteWholeFile(work.file("Cache"), "a file");
  const std::string folder = CacheFolderIn(work.path());
  TCacheWriter writer;
  writer.Post(folder, MapCacheFile(folder, "m"), PatternImage(2, 2, 1));
  writer.Post(folder, MapCacheFile(folder, "n"), Image{});
  writer.WaitIdle();
  EXPECT_EQ(writer.Written(), 0);
  EXPECT_EQ(writer.Failed(), 2);
}

TEST(CacheWriter, GoingAwayDropsWhatStillWaits) {
  TempFolder work;
  const std::string folder = CacheFolderIn(work.path());
  {
    TCacheWriter writer(std::size_t{1} << 30);
    for (int i = 0; i < 200; ++i)
      writer.Post(folder, MapCacheFile(folder, std::to_string(i)), PatternImage(256, 256, i));
  }  // returns once the picture in hand is written; what waits is dropped
  for (const auto& entry : fs::directory_iterator(folder)) {
    EXPECT_EQ(entry.path().extension(), ".png") << "no temporary file stays behind";
    std::string bytes;
    Image picture;
    ASSERT_TRUE(ReadCacheFile(entry.path().string(), bytes));
    EXPECT_TRUE(DecodePng(bytes, picture)) << "every file is whole";
  }
}

}  // namespace
}  // namespace vertamo::testing
