#include "shell/demo/demo_server.h"

#include "platform/cp1251.h"
#include "settings/fast_ini.h"
#include "tools/orvex-sim/scenario.h"
#include "tools/orvex-sim/server.h"

namespace vertamo::ui {

TDemoServer::TDemoServer() = default;

TDemoServer::~TDemoServer() { Stop(); }

bool TDemoServer::Start(std::string* error) {
  Stop();
  auto scenario = std::make_shared<const orvexsim::Scenario>(orvexsim::BuildDemoScenario());
  orvexsim::ServerOptions options;
  options.bind = "127.0.0.1";
  options.port = 0;
  options.liveTickMs = kTickMs;
  auto server = std::make_unique<orvexsim::Server>();
  if (!server->Start(scenario, options, error)) return false;
  server->StepLive(kWarmUpSeconds);
  server_ = std::move(server);
  return true;
}

uint16_t TDemoServer::Port() const { return server_ ? server_->Port() : 0; }

void TDemoServer::Stop() {
  if (server_) server_->Stop();
  server_.reset();
}

SERVERINFO TDemoServer::Profile(const SERVERINFO& base) const {
  SERVERINFO profile = base;
  SetProfileText(profile.Name, Utf8ToCp1251("Демонстрационный район (orvex-sim)"));
  SetProfileText(profile.Ip, "127.0.0.1");
  SetProfileText(profile.Login, "demo");
  SetProfileText(profile.Password, "demo");
  profile.Port = Port();
  profile.Modified = false;
  return profile;
}

bool PrepareDemoSettings(const std::string& workFolder, const TDemoServer& server,
                         const TScreenArea& screen) {
  TFastIni ini(workFolder + "Vertamo.ini");
  const SERVERINFO present = LoadProfile(ini, "ServerInfo");
  SaveProfile(ini, "ServerInfo", server.Profile(present));
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

}  // namespace vertamo::ui
