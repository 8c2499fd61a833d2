// The built-in demo: orvex-sim's demo district served inside the workstation
// on a free loopback port, and a work folder of its own (so the dispatcher's
// real settings are never touched).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "settings/app_settings.h"
#include "settings/server_profile.h"

namespace orvexsim {
class Server;
}

namespace vertamo::ui {

// The name of the demo's work folder in the data folder.
inline constexpr const char* kDemoFolderName = "Vertamo-demo";

class TDemoServer {
 public:
  // A district that has been running for a while: some lifts are out of
  // order when the workstation logs in.
  static constexpr int kWarmUpSeconds = 600;
  // One second of the district lasts this long (events come twice as often
  // as on a real shift, so there is something to watch).
  static constexpr int kTickMs = 500;

  TDemoServer();
  ~TDemoServer();  // Stop()
  TDemoServer(const TDemoServer&) = delete;
  TDemoServer& operator=(const TDemoServer&) = delete;

  // Serves the demo district on 127.0.0.1, any free port. False with the
  // reason in `error` when it cannot.
  bool Start(std::string* error);
  uint16_t Port() const;
  void Stop();

  // The profile that reaches the demo server: its name, 127.0.0.1 and the
  // port; Debug and CacheEnable as `base` has them.
  SERVERINFO Profile(const SERVERINFO& base) const;

 private:
  std::unique_ptr<orvexsim::Server> server_;
};

// The part of the screen the windows may take.
struct TScreenArea {
  int x = 0, y = 0, width = 0, height = 0;
};

// Points section "ServerInfo" of the settings file in `workFolder` at the demo
// server (the rest of the file is kept). On the demo's first start the main
// window takes the screen above the journal, and the journal the strip below
// it (the demo's maps are larger than the window's design size). False when
// the file cannot be written.
bool PrepareDemoSettings(const std::string& workFolder, const TDemoServer& server, const TScreenArea& screen);

}  // namespace vertamo::ui
