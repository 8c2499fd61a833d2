#include <gtest/gtest.h>

#include "iptel/phone_command_line.h"
#include "iptel/phone_settings.h"
#include "call_recorder.h"
#include "settings/fast_ini.h"
#include "support/temp_folder.h"

namespace vertamo::testing {
namespace {

std::vector<std::string> KeyNames(const TFastIni& ini, const char* section) {
  std::vector<std::string> names;
  for (int i = 0; i < ini.SectionCount(); ++i)
    if (ini.Section(i)->name == section)
      for (int k = 0; k < ini.Section(i)->KeyCount(); ++k) names.push_back(ini.Section(i)->Key(k)->name);
  return names;
}

TEST(PhoneSettings, DefaultsWithoutSectionAndAllSixteenKeysWrittenInOrder) {
  TempFolder dir;
  TFastIni ini(dir.file("Vertamo.ini"));
  const PhoneSettings s = ReadPhoneSettings(ini);
  EXPECT_TRUE(s.UseIpTel);
  EXPECT_EQ(s.H323Port, 1720);
  EXPECT_EQ(s.SoundBuffers, 3);
  EXPECT_EQ(s.G711Frames, 30);
  EXPECT_EQ(s.JitterMin, 50);
  EXPECT_EQ(s.JitterMax, 50);
  EXPECT_FALSE(s.EnableIpLog);
  WritePhoneSettings(ini, s);
  EXPECT_EQ(KeyNames(ini, "H323"),
            (std::vector<std::string>{"UseIpTel", "H323Port", "H323LogLevel", "SoundBuffers", "G711Frames",
                                      "DisableFastStart", "DisableTunnel", "DisableH245", "JitterMin",
                                      "JitterMax", "UseGatekeeper", "GatekeeperAdr", "GatekeeperId",
                                      "GatekeeperPassword", "EndpointAlias", "EnableIpLog"}));
}

TEST(PhoneSettings, StoredValuesSurviveARoundTrip) {
  TempFolder dir;
  WriteWholeFile(dir.file("Vertamo.ini"),
                 "[H323]\r\nUseIpTel=0\r\nH323Port=1721\r\nGatekeeperAdr=gk.example\r\nJitterMin=25\r\n"
                 "EnableIpLog=1\r\nDisableTunnel=1\r\n");
  TFastIni ini(dir.file("Vertamo.ini"));
  PhoneSettings s = ReadPhoneSettings(ini);
  EXPECT_FALSE(s.UseIpTel);  // as stored; the main window switches it on
  EXPECT_EQ(s.H323Port, 1721);
  EXPECT_EQ(s.GatekeeperAdr, "gk.example");
  EXPECT_TRUE(s.EnableIpLog);
  EXPECT_TRUE(s.DisableTunnel);
  EXPECT_EQ(s.JitterMin, 25);
  TFastIni other(dir.file("Other.ini"));
  WritePhoneSettings(other, s);
  const PhoneSettings back = ReadPhoneSettings(other);
  EXPECT_EQ(back.GatekeeperAdr, "gk.example");
  EXPECT_EQ(back.H323Port, 1721);
  EXPECT_EQ(back.JitterMin, 25);
}

struct LineCase {
  const char* name;
  void (*change)(PhoneSettings&);
  const char* options;  // what follows "PATH -lne --g711-ulaw -u host"
};

TEST(PhoneCommandLine, OptionsFollowTheSettingsAndTheirRanges) {
  const LineCase cases[] = {
      {"defaults", [](PhoneSettings&) {}, " --jitter 50"},
      {"jitter 25/25", [](PhoneSettings& s) { s.JitterMin = s.JitterMax = 25; }, ""},
      {"jitter 25/60", [](PhoneSettings& s) { s.JitterMin = 25, s.JitterMax = 60; }, " --jitter 25-60"},
      {"jitter 40/40", [](PhoneSettings& s) { s.JitterMin = s.JitterMax = 40; }, " --jitter 40"},
      {"log level 7", [](PhoneSettings& s) { s.H323LogLevel = 7; }, " --jitter 50"},
      {"log level 0", [](PhoneSettings& s) { s.H323LogLevel = 0; }, " --jitter 50"},
      {"log level 3", [](PhoneSettings& s) { s.H323LogLevel = 3; }, " --jitter 50 -o /w/H323.log -t -t -t"},
      {"sound buffers 99",
       [](PhoneSettings& s) { s.SoundBuffers = 99; }, " --sound-buffers 99 --jitter 50"},
      {"sound buffers 100", [](PhoneSettings& s) { s.SoundBuffers = 100; }, " --jitter 50"},
      {"frames 30 and 241", [](PhoneSettings& s) { s.G711Frames = 241; }, " --jitter 50"},
      {"frames 10", [](PhoneSettings& s) { s.G711Frames = 10; }, " --g711frames 10 --jitter 50"},
      {"switches",
       [](PhoneSettings& s) { s.DisableFastStart = s.DisableTunnel = s.DisableH245 = true; },
       " --fast-disable --h245tunneldisable --disable-h245-in-setup --jitter 50"},
  };
  for (const LineCase& c : cases) {
    PhoneSettings s;
    c.change(s);
    const TPhoneCommandLine line = BuildPhoneCommandLine(s, "/opt/vertamo/ohphone", "host", "/w/");
    EXPECT_EQ(line.line, std::string("/opt/vertamo/ohphone -lne --g711-ulaw -u host") + c.options) << c.name;
    std::string joined = "/opt/vertamo/ohphone";
    for (const std::string& arg : line.args) joined += " " + arg;
    EXPECT_EQ(joined, line.line) << c.name << ": the arguments are the logged line";
  }
}

TEST(PhoneCommandLine, AliasIsTheTransliteratedHostNameOrOrvex) {
  EXPECT_EQ(PhoneAlias(Cp("Пост-Жуково")), "Post-ZHukovo");
  EXPECT_EQ(PhoneAlias(""), "Orvex");
  EXPECT_EQ(PhoneAlias(std::string(80, 'h')), std::string(63, 'h'));
}

TEST(PhoneCommandLine, TheLineStopsAt511CharactersAndTheArgumentsWithIt) {
  PhoneSettings s;
  s.H323LogLevel = 6;
  const std::string folder = "/" + std::string(470, 'w') + "/";
  const TPhoneCommandLine line = BuildPhoneCommandLine(s, "/p/ohphone", "host", folder);
  EXPECT_EQ(line.line.size(), TPhoneCommandLine::kMaxLength);
  std::string joined = "/p/ohphone";
  for (const std::string& arg : line.args) joined += " " + arg;
  EXPECT_EQ(joined, line.line);
  EXPECT_EQ(line.args.back().substr(0, 4), "/www");  // the log path, cut where the line ends
  const TPhoneCommandLine path = BuildPhoneCommandLine(s, std::string(600, 'p'), "host", "/w/");
  EXPECT_EQ(path.line, std::string(511, 'p'));
  EXPECT_TRUE(path.args.empty());
}

}  // namespace
}  // namespace vertamo::testing
