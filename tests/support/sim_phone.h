// The phone program of the window tests: phone-sim on a free port, accepting
// its control connection once the telephony thread "starts" it.
#pragma once

#include <string>
#include <vector>

#include "iptel/iptel_thread.h"
#include "tools/phone-sim/phone_sim.h"

namespace vertamo::testing {

class SimPhone final : public IPhoneProcesses {
 public:
  explicit SimPhone(phonesim::Options options = {}) {
    options.port = 0;
    options.paused = true;
    std::string error;
    started = sim.Start(options, &error);
  }
  int FindPhoneProcess() override { return 0; }
  TEndResult EndPhoneProcess(int) override { return TEndResult::Ended; }
  bool ProgramExists(const std::string&) override { return exists; }
  bool StartPhoneProcess(const std::string&, const std::vector<std::string>& args) override {
    sim.Resume(args);
    return true;
  }
  void ReleasePhoneProcess() override {}
  // The telephony thread's first connection is its attempt to adopt a phone
  // program, which it gives up before the simulator accepts it; the link is
  // the second. Orders to the simulator wait for the link only from then on.
  bool Serving() const { return sim.ConnectionsAccepted() >= 2; }
  bool GetHostName(std::string& name) override {
    name = "dispatch1";
    return true;
  }
  phonesim::Server sim;
  bool started = false;
  bool exists = true;
};

}  // namespace vertamo::testing
