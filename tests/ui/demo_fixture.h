// The demo as the window tests start it: the main window on the demo server
// and the demo's phone.
#pragma once

#include "shell/demo/demo_process.h"
#include "shell/demo/demo_settings.h"
#include "shell/form_vertamo.h"
#include "ui/workstation_fixture.h"

namespace vertamo::test {

// Starts the built demo program: its gateway on any free port, its phone the
// real one at `phoneProgram` (empty: phone-sim), its phone's settings in
// `workFolder`.
inline bool StartDemo(ui::TDemoProcess& demo, std::string* error, const std::string& phoneProgram = {},
                      const std::string& workFolder = {}) {
  ui::TDemoProcess::TOptions options;
  options.program = VERTAMO_DEMO_PATH;
  options.phoneProgram = phoneProgram;
  options.workFolder = workFolder;
  options.gatewayPort = 0;
  return demo.Start(options, error);
}

// Quick polls, no sounds, the phone link to the demo's phone and its gateway.
inline ui::TFormOptions DemoFormOptions(ui::TDemoProcess& demo) {
  ui::TFormOptions options;
  options.timings = QuickTimings();
  options.muteSounds = true;
  options.phone.start = true;
  options.phone.port = demo.PhonePort();
  options.phone.processes = &demo;
  options.gatewayPort = demo.GatewayPort();
  return options;
}

}  // namespace vertamo::test
