// The demo as the window tests start it: the main window on the demo server
// and the demo's phone.
#pragma once

#include "shell/demo/demo_phone.h"
#include "shell/demo/demo_server.h"
#include "shell/form_vertamo.h"
#include "ui/workstation_fixture.h"

namespace vertamo::test {

// Quick polls, no sounds, the phone link to `phone` and the gateway of `demo`.
inline ui::TFormOptions DemoFormOptions(const ui::TDemoServer& demo, ui::TDemoPhone& phone) {
  ui::TFormOptions options;
  options.timings = QuickTimings();
  options.muteSounds = true;
  options.phone.start = true;
  options.phone.port = phone.Port();
  options.phone.processes = &phone;
  options.gatewayPort = demo.GatewayPort();
  return options;
}

}  // namespace vertamo::test
