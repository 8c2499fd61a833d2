#include "shell/demo/demo_settings.h"

#include "platform/cp1251.h"
#include "platform/folders.h"
#include "settings/fast_ini.h"
#include "voice/phone_book.h"

namespace vertamo::ui {

SERVERINFO DemoProfile(const SERVERINFO& base, uint16_t port) {
  SERVERINFO profile = base;
  SetProfileText(profile.Name, Utf8ToCp1251("Демонстрационный район (orvex-sim)"));
  SetProfileText(profile.Ip, "127.0.0.1");
  SetProfileText(profile.Login, "demo");
  SetProfileText(profile.Password, "demo");
  profile.Port = port;
  profile.Modified = false;
  return profile;
}

bool PrepareDemoSettings(const std::string& workFolder, uint16_t port, const TScreenArea& screen) {
  TFastIni ini(workFolder + "Vertamo.ini");
  const SERVERINFO present = LoadProfile(ini, "ServerInfo");
  SaveProfile(ini, "ServerInfo", DemoProfile(present, port));
  constexpr int kJournalHeight = 200;
  if (screen.width > 0 && screen.height > 2 * kJournalHeight) {
    auto place = [&ini](const char* window, int left, int top, int width, int height) {
      if (ini.SectionExists(window)) return;  // the dispatcher's own choice stays
      ini.WriteInteger(window, "Left", left);
      ini.WriteInteger(window, "Top", top);
      ini.WriteInteger(window, "Width", width);
      ini.WriteInteger(window, "Height", height);
    };
    place("FormVertamo", screen.x, screen.y, screen.width, screen.height - kJournalHeight);
    place("LogLast", screen.x, screen.y + screen.height - kJournalHeight, screen.width, kJournalHeight);
  }
  return ini.Save();
}

bool PrepareDemoPhoneBook(const std::string& workFolder, const std::vector<TDemoSubscriber>& subscribers) {
  TPhoneBook book(workFolder);
  if (book.LoadPhoneBook()) return true;  // the dispatcher's own book stays
  for (const TDemoSubscriber& s : subscribers) book.Add(Utf8ToCp1251(s.name), s.address);
  book.SavePhoneBook();
  return FileExists(WithTrailingSlash(workFolder) + TPhoneBook::kFileName);
}

}  // namespace vertamo::ui
