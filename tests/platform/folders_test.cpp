#include "platform/folders.h"

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace vertamo {
namespace {

using testing::ReadWholeFile;
using testing::TempFolder;
using testing::WriteWholeFile;

TEST(Folders, TrailingSlash) {
  EXPECT_EQ(WithTrailingSlash(""), "");
  EXPECT_EQ(WithTrailingSlash("/a"), "/a/");
  EXPECT_EQ(WithTrailingSlash("/a/"), "/a/");
}

TEST(Folders, MakeFoldersCreatesParentsAndMakeFolderOnlyOneLevel) {
  TempFolder dir;
  EXPECT_FALSE(MakeFolder(dir.file("a/b")));
  EXPECT_FALSE(FolderExists(dir.file("a")));
  EXPECT_TRUE(MakeFolders(dir.file("a/b//c/")));
  EXPECT_TRUE(FolderExists(dir.file("a/b/c")));
  EXPECT_TRUE(MakeFolder(dir.file("a")));  // existing is fine
  WriteWholeFile(dir.file("f"), "x");
  EXPECT_TRUE(FileExists(dir.file("f")));
  EXPECT_FALSE(FolderExists(dir.file("f")));
  EXPECT_FALSE(FileExists(dir.file("a")));
  EXPECT_FALSE(MakeFolders(dir.file("f/sub"))) << "a file stands in the way";
  EXPECT_FALSE(MakeFolders(""));
}

TEST(Folders, PathsAndTheCurrentFolder) {
  TempFolder dir;
  const std::string before = CurrentFolder();
  ASSERT_TRUE(SetCurrentFolder(dir.path()));
  const std::string here = CurrentFolder();
  EXPECT_EQ(AbsolutePath("x/y"), here + "/x/y");
  EXPECT_EQ(AbsolutePath("/abs"), "/abs");
  EXPECT_FALSE(SetCurrentFolder(dir.file("missing")));
  ASSERT_TRUE(SetCurrentFolder(before));

  WriteWholeFile(dir.file("real"), "x");
  std::filesystem::create_symlink(dir.file("real"), dir.file("link"));
  EXPECT_EQ(ResolvedPath(dir.file("link")), ResolvedPath(dir.file("real")));
  EXPECT_EQ(ResolvedPath(dir.file("missing")), dir.file("missing"));

  const std::string exe = ExecutablePath();
  EXPECT_EQ(exe.substr(exe.rfind('/') + 1), "test_platform");
}

TEST(Folders, ReplaceFileAndModes) {
  TempFolder dir;
  WriteWholeFile(dir.file("old"), "old");
  WriteWholeFile(dir.file("new"), "new");
  std::filesystem::permissions(dir.file("old"), std::filesystem::perms(0640));
  EXPECT_EQ(FileMode(dir.file("old")), 0640);
  EXPECT_EQ(FileMode(dir.file("missing")), -1);
  EXPECT_TRUE(ReplaceFile(dir.file("new"), dir.file("old")));
  EXPECT_EQ(ReadWholeFile(dir.file("old")), "new");
  EXPECT_FALSE(FileExists(dir.file("new")));
  EXPECT_FALSE(ReplaceFile(dir.file("new"), dir.file("old")));
  EXPECT_TRUE(RemoveFile(dir.file("old")));
  EXPECT_FALSE(RemoveFile(dir.file("old")));
}

TEST(Folders, EnvironmentAndHome) {
  ::setenv("VERTAMO_TEST_VALUE", "v", 1);
  EXPECT_EQ(EnvironmentValue("VERTAMO_TEST_VALUE"), "v");
  ::unsetenv("VERTAMO_TEST_VALUE");
  EXPECT_EQ(EnvironmentValue("VERTAMO_TEST_VALUE"), "");
  const std::string home = EnvironmentValue("HOME");
  ::unsetenv("HOME");
  EXPECT_FALSE(HomeFolder().empty()) << "the password database knows the home folder";
  if (!home.empty()) ::setenv("HOME", home.c_str(), 1);
}

TEST(Folders, FilesInFolderListsOnlyRegularFiles) {
  TempFolder dir;
  WriteWholeFile(dir.file("a"), "x");
  WriteWholeFile(dir.file("b.tmp"), "");
  MakeFolder(dir.file("sub"));
  auto names = FilesInFolder(dir.path());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a", "b.tmp"}));
  EXPECT_TRUE(FilesInFolder(dir.file("missing")).empty());
}

}  // namespace
}  // namespace vertamo
