// The demo's phone program. With baresip installed it is the real one,
// vertamo-phone ("ohphone" beside the workstation), on a private control
// port, with SIP peers on loopback: a lift intercom at the gateway's address
// that answers and speaks, and the address book's subscribers. Without
// baresip it is phone-sim inside the workstation (said once on standard
// error): its port listens from the start, and the telephony thread "starts
// the program" through IPhoneProcesses, which lets phone-sim accept the
// control connection and records the command line. Either way calls are
// answered, and a subscriber of the demo's address book rings a minute after
// the start, and every few minutes after that one of them rings again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "iptel/iptel_thread.h"

namespace phonesim {
class Server;
}
namespace vertamo {
class TChildProcess;
}

namespace vertamo::ui {

class TDemoServer;
class TDemoSipPeers;

class TDemoPhone final : public IPhoneProcesses {
 public:
  static constexpr int kAnswerDelayMs = 1500;
  static constexpr int kStatEveryMs = 2000;
  static constexpr int kRingAfterMs = 60000;
  static constexpr int kRingEveryMs = 240000;

  TDemoPhone();
  ~TDemoPhone() override;  // Stop()

  // The settings file of the real phone in the work folder.
  static constexpr const char* kSettingsFile = "DemoSipPhone.ini";

  // Chooses the phone (the real one needs baresip and `phoneProgram`) and
  // prepares it on 127.0.0.1, any free control port. False with the reason
  // in `error`.
  bool Start(const TDemoServer& district, const std::string& phoneProgram, std::string* error);
  // phone-sim, whatever is installed.
  bool Start(std::string* error) { return Stop(), StartSim(error); }
  uint16_t Port() const;
  bool Real() const { return !phoneProgram_.empty(); }
  // One line for the start message: which phone, where.
  std::string Describe() const;
  void Stop();

  // The demo never ends another phone program of this user.
  int FindPhoneProcess() override { return 0; }
  TEndResult EndPhoneProcess(int) override { return TEndResult::Ended; }
  bool ProgramExists(const std::string& path) override;
  bool StartPhoneProcess(const std::string& path, const std::vector<std::string>& args) override;
  void ReleasePhoneProcess() override {}
  bool GetHostName(std::string& name) override;

 private:
  bool StartSim(std::string* error);
  void StartPeers(const TDemoServer& district);

  std::unique_ptr<phonesim::Server> server_;
  // The real phone.
  std::string phoneProgram_;
  uint16_t controlPort_ = 0;
  int sipPort_ = 0;
  std::unique_ptr<TChildProcess> phone_;
  std::unique_ptr<TDemoSipPeers> peers_;
};

// A few subscribers in the work folder's address book, unless it has one.
// False when the book cannot be written.
bool PrepareDemoPhoneBook(const std::string& workFolder);

}  // namespace vertamo::ui
