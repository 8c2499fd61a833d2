#include "settings/app_settings.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/folders.h"
#include "support/fake_form_bounds.h"
#include "support/temp_folder.h"

namespace vertamo {
namespace {

using testing::ReadWholeFile;
using testing::TempFolder;
using testing::WriteWholeFile;
namespace fs = std::filesystem;

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = ::getenv(name)) old_ = old, had_ = true;
    if (value != nullptr)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (had_)
      ::setenv(name_, old_.c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

TEST(WorkFolder, DataHomeFromTheEnvironment) {
  {
    ScopedEnv xdg("XDG_DATA_HOME", "/data/home");
    EXPECT_EQ(DataHomeFolder(), "/data/home/");
  }
  ScopedEnv home("HOME", "/home/disp");
  {
    ScopedEnv xdg("XDG_DATA_HOME", "relative/ignored");
    EXPECT_EQ(DataHomeFolder(), "/home/disp/.local/share/");
  }
  ScopedEnv xdg("XDG_DATA_HOME", nullptr);
  EXPECT_EQ(DataHomeFolder(), "/home/disp/.local/share/");
}

TEST(WorkFolder, CreatedInTheDataHomeOrTheProgramFolder) {
  TempFolder dir;
  const std::string program = dir.folder() + "bin/";
  struct Case {
    const char* name;
    std::string dataHome;
    std::string subFolder;
    std::string expected;
  };
  fs::create_directories(dir.file("blocked"));
  testing::WriteWholeFile(dir.file("blocked/Vertamo"), "a file, not a folder");
  testing::WriteWholeFile(dir.file("file"), "x");
  const std::vector<Case> cases = {
      {"data home and work folder created", dir.folder() + "share/deep/", "Vertamo",
       dir.folder() + "share/deep/Vertamo/"},
      {"data home without a trailing slash", dir.folder() + "share", "Vertamo",
       dir.folder() + "share/Vertamo/"},
      {"empty name: the program's name without extension", dir.folder() + "share/", "",
       dir.folder() + "share/vertamo/"},
      {"no data home", "", "Vertamo", program},
      {"data home cannot be made", dir.file("file") + "/share/", "Vertamo", program},
      {"work folder cannot be made", dir.folder() + "blocked/", "Vertamo", program},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(GetWorkFolder(c.subFolder, c.dataHome, program, "vertamo.bin"), c.expected);
    if (c.expected != program) {
      EXPECT_TRUE(FolderExists(c.expected));
      EXPECT_EQ(FileMode(c.expected), 0700) << "the work folder is its owner's only";
    }
  }
}

TEST(WorkFolder, ChooseWorkFolderHonoursTheOverride) {
  TempFolder dir;
  ScopedEnv xdg("XDG_DATA_HOME", (dir.folder() + "xdg").c_str());
  TAppSettings app("/opt/vertamo", "vertamo");
  EXPECT_EQ(app.ProgramFolder, "/opt/vertamo/");
  ASSERT_TRUE(app.ChooseWorkFolder("Vertamo"));
  EXPECT_EQ(app.WorkFolder, dir.folder() + "xdg/Vertamo/");

  ASSERT_TRUE(app.ChooseWorkFolder("Vertamo", dir.file("given/deeper")));
  EXPECT_EQ(app.WorkFolder, dir.folder() + "given/deeper/");
  EXPECT_EQ(FileMode(app.WorkFolder), 0700);

  const std::string before = CurrentFolder();
  ASSERT_TRUE(SetCurrentFolder(dir.path()));
  EXPECT_TRUE(app.ChooseWorkFolder("Vertamo", "relative"));
  EXPECT_EQ(app.WorkFolder, WithTrailingSlash(CurrentFolder()) + "relative/");
  ASSERT_TRUE(SetCurrentFolder(before));

  testing::WriteWholeFile(dir.file("file"), "x");
  EXPECT_FALSE(app.ChooseWorkFolder("Vertamo", dir.file("file/sub")));
  EXPECT_EQ(app.WorkFolder, WithTrailingSlash(dir.path()) + "relative/") << "unchanged";
}

TEST(AppSettings, TheRunningProgram) {
  TAppSettings app;
  EXPECT_EQ(app.ProgramName, "test_settings");
  EXPECT_EQ(app.ProgramFolder.back(), '/');
  EXPECT_TRUE(FileExists(app.ProgramFolder + app.ProgramName));
  EXPECT_EQ(app.ProgramPath("ohphone"), app.ProgramFolder + "ohphone");
}

// A window of the workstation's initial bounds.
struct Window : testing::FakeFormBounds {
  explicit Window(std::string name) : FakeFormBounds(std::move(name), 0, 0, 909, 596) {}
};

TEST(AppSettings, MainIniAndWindowPositions) {
  TempFolder dir;
  TAppSettings app("/opt/vertamo/", "vertamo");
  app.WorkFolder = dir.folder();
  Window main("FormVertamo");
  app.SaveFormPos(main);  // no MainIni yet: nothing happens
  app.RestoreFormPos(main);

  app.OpenMainIni("Vertamo.ini");
  ASSERT_TRUE(app.MainIni);
  EXPECT_EQ(app.MainIni->FileName(), dir.file("Vertamo.ini"));
  EXPECT_EQ(app.WorkPath("Vertamo.ini"), dir.file("Vertamo.ini"));
  app.RestoreFormPos(main);
  EXPECT_EQ(main.w, 909) << "nothing saved yet";
  main.l = 15, main.t = -3, main.w = 800, main.h = 500;
  app.SaveFormPos(main);
  app.CloseMainIni();
  EXPECT_FALSE(app.MainIni);
  EXPECT_EQ(ReadWholeFile(dir.file("Vertamo.ini")),
            "[FormVertamo]\r\nLeft=15\r\nTop=-3\r\nWidth=800\r\nHeight=500\r\n");

  app.OpenMainIni("Vertamo.ini");
  Window again("FormVertamo");
  app.RestoreFormPos(again);
  EXPECT_EQ(std::vector<int>({again.l, again.t, again.w, again.h}), std::vector<int>({15, -3, 800, 500}));

  app.OpenMainIni("");
  EXPECT_EQ(app.MainIni->FileName(), dir.file("vertamo.ini")) << "the program's name with .ini";
}

TEST(AppSettings, TwoSideBySide) {
  TempFolder one, two;
  TAppSettings a("/p/", "vertamo"), b("/p/", "vertamo");
  a.WorkFolder = one.folder();
  b.WorkFolder = two.folder();
  a.OpenMainIni("Vertamo.ini");
  b.OpenMainIni("Vertamo.ini");
  a.MainIni->WriteString("S", "k", "a");
  b.MainIni->WriteString("S", "k", "b");
  a.CloseMainIni();
  b.CloseMainIni();
  EXPECT_EQ(ReadWholeFile(one.file("Vertamo.ini")), "[S]\r\nk=a\r\n");
  EXPECT_EQ(ReadWholeFile(two.file("Vertamo.ini")), "[S]\r\nk=b\r\n");
}

TEST(AppSettings, OpeningTheMainIniRemovesOnlyItsOwnStaleTemporaries) {
  TempFolder dir;
  TAppSettings app("/p/", "vertamo");
  app.WorkFolder = dir.folder();
  const std::vector<std::pair<std::string, bool>> files = {
      {"Vertamo.ini.tmp0a1b2c3d", false},  // a save cut short: may hold the password
      {"Vertamo.ini.tmpffffffff", false},
      {"Vertamo.ini.tmp0a1b2c3", true},  // not our naming
      {"Vertamo.ini.tmp0A1B2C3D", true},
      {"Vertamo.ini.tmp0a1b2c3d4", true},
      {"Other.ini.tmp0a1b2c3d", true},
      {"Vertamo.ini", true},
  };
  for (const auto& [name, kept] : files) WriteWholeFile(dir.file(name), "[ServerInfo]\r\n");
  app.OpenMainIni("Vertamo.ini");
  for (const auto& [name, kept] : files) EXPECT_EQ(std::filesystem::exists(dir.file(name)), kept) << name;
}

}  // namespace
}  // namespace vertamo
