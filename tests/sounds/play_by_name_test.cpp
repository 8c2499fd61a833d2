#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "sounds/sound_thread.h"

namespace vertamo {
namespace {

using testing::TempFolder;
using testing::WriteWholeFile;

// A program folder and a work folder with their "Wave" folders:
//   program/Wave/Alarm.wav, a/Both.wav, b/Both.wav, b/Sub.wav, a/Both2.wav
//   work/Wave/Work.wav, Both2.wav
//   outside/Alarm.wav, outside/Outside.wav (out of every "Wave" folder)
class PlayByNameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"program/Wave/a", "program/Wave/b", "work/Wave", "outside"})
      std::filesystem::create_directories(root_.file(folder));
    for (const char* file : {"program/Wave/Alarm.wav", "program/Wave/a/Both.wav", "program/Wave/b/Both.wav",
                             "program/Wave/b/Sub.wav", "program/Wave/a/Both2.wav", "work/Wave/Work.wav",
                             "work/Wave/Both2.wav", "outside/Alarm.wav", "outside/Outside.wav"})
      WriteWholeFile(root_.file(file), "RIFF");
  }

  std::vector<std::string> Queued(const std::string& name) {
    TSilentAudioOutput silent;
    SoundThread thread(silent, root_.file("program"), root_.file("work/"));
    thread.PlayByName(name);
    return thread.Pending();
  }
  std::string Program(const std::string& name) { return root_.file("program/Wave/" + name); }
  std::string Work(const std::string& name) { return root_.file("work/Wave/" + name); }

  TempFolder root_;
};

TEST_F(PlayByNameTest, NamesTurnIntoPausesSoundsOrNothing) {
  struct Case {
    std::string name;
    std::vector<std::string> queued;
  };
  const std::vector<Case> cases = {
      {"500", {":500"}},
      {"100", {":100"}},
      {"3000", {":3000"}},
      {"750ms", {":750"}},
      {"50", {}},
      {"99", {}},
      {"3001", {}},
      {"4000", {}},
      {"99999999999999999999", {}},
      {"-500", {}},
      {"", {}},
      {"Alarm.WAV", {Program("Alarm.wav")}},
      {"alarm.wav", {Program("Alarm.wav")}},
      {"alarm.mp3", {}},
      {"Alarm", {}},
      {"C:\\x\\Alarm.wav", {Program("Alarm.wav")}},
      {"../../outside/Alarm.wav", {Program("Alarm.wav")}},
      {"../outside/Outside.wav", {}},
      {"/etc/Outside.wav", {}},
      {"Work.wav", {Work("Work.wav")}},
      {"Both.wav", {Program("a/Both.wav")}},
      {"Both2.wav", {Work("Both2.wav")}},
      {"Sub.wav", {Program("b/Sub.wav")}},
      {"Missing.wav", {}},
      {"Ala\x01rm.wav", {}},
      {"Alarm\x7f.wav", {}},
      {std::string(10000, 'a') + ".wav", {}},
      {std::string(10000, '5'), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("name: " + c.name.substr(0, 40));
    EXPECT_EQ(Queued(c.name), c.queued);
  }
}

TEST_F(PlayByNameTest, EntriesWaitInTheOrderTheyCame) {
  TSilentAudioOutput silent;
  SoundThread thread(silent, root_.file("program/"), root_.file("work"));
  thread.PlayByName("Work.wav");
  thread.PlayByName("200");
  thread.Enqueue("Wave/Call.wav");
  thread.EnqueuePause(105);
  thread.PlayByName("Alarm.wav");
  EXPECT_EQ(thread.Pending(), (std::vector<std::string>{Work("Work.wav"), ":200", "Wave/Call.wav", ":105",
                                                        Program("Alarm.wav")}));
  thread.Flush();
  EXPECT_TRUE(thread.Pending().empty());
}

}  // namespace
}  // namespace vertamo
