// One workstation per work folder: the lock keeps a second holder out while
// the first lives, and a holder killed outright leaves nothing that keeps the
// next start out.
#include "platform/work_folder_lock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/temp_folder.h"

namespace vertamo {
namespace {

using testing::ReadWholeFile;
using testing::TempFolder;

TEST(WorkFolderLock, OneHolderAtATime) {
  TempFolder dir;
  {
    TWorkFolderLock first, second;
    ASSERT_EQ(first.Take(dir.path()), TWorkFolderLock::TResult::Taken);
    EXPECT_EQ(ReadWholeFile(dir.file("Vertamo.lock")), std::to_string(::getpid()) + "\n");
    EXPECT_EQ(second.Take(dir.path()), TWorkFolderLock::TResult::Held);
    EXPECT_FALSE(second.Holds());
  }
  TWorkFolderLock after;
  EXPECT_EQ(after.Take(dir.path()), TWorkFolderLock::TResult::Taken) << "let go with its holder";
  TWorkFolderLock missing;
  EXPECT_EQ(missing.Take(dir.file("no/such/folder")), TWorkFolderLock::TResult::Failed);
  EXPECT_NE(missing.Error().find("no/such/folder"), std::string::npos);
}

TEST(WorkFolderLock, AHolderKilledOutrightLeavesNoLock) {
  TempFolder dir;
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    TWorkFolderLock held;
    const char taken = held.Take(dir.path()) == TWorkFolderLock::TResult::Taken ? 'y' : 'n';
    if (::write(ready[1], &taken, 1) != 1) ::_exit(1);
    ::pause();
    ::_exit(0);
  }
  ::close(ready[1]);
  char taken = 0;
  ASSERT_EQ(::read(ready[0], &taken, 1), 1);
  ::close(ready[0]);
  ASSERT_EQ(taken, 'y');
  TWorkFolderLock mine;
  EXPECT_EQ(mine.Take(dir.path()), TWorkFolderLock::TResult::Held);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  // The file with the dead holder's number is still there; the lock is not.
  EXPECT_EQ(ReadWholeFile(dir.file("Vertamo.lock")), std::to_string(child) + "\n");
  EXPECT_EQ(mine.Take(dir.path()), TWorkFolderLock::TResult::Taken);
}

}  // namespace
}  // namespace vertamo
