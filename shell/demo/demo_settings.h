// What the demo leaves in its own work folder (so that the dispatcher's real
// settings are never touched): the profile that reaches the demo's server,
// the first places of the windows and a small address book.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "settings/server_profile.h"
#include "shell/demo/demo_process.h"

namespace vertamo::ui {

// The name of the demo's work folder in the data folder.
inline constexpr const char* kDemoFolderName = "Vertamo-demo";

// The part of the screen the windows may take.
struct TScreenArea {
  int x = 0, y = 0, width = 0, height = 0;
};

// The profile that reaches the demo server on 127.0.0.1:`port`; Debug and
// CacheEnable as `base` has them.
SERVERINFO DemoProfile(const SERVERINFO& base, uint16_t port);

// Points section "ServerInfo" of the settings file in `workFolder` at the demo
// server (the rest of the file is kept). On the demo's first start the main
// window takes the screen above the journal, and the journal the strip below
// it (the demo's maps are larger than the window's design size). False when
// the file cannot be written.
bool PrepareDemoSettings(const std::string& workFolder, uint16_t port, const TScreenArea& screen);

// The demo's subscribers in the work folder's address book, unless it has
// one. False when the book cannot be written.
bool PrepareDemoPhoneBook(const std::string& workFolder, const std::vector<TDemoSubscriber>& subscribers);

}  // namespace vertamo::ui
