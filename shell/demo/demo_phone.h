// The demo's phone program: phone-sim inside the workstation on a private
// loopback port. Its port listens from the start; the telephony thread
// "starts the program" through IPhoneProcesses, which lets phone-sim accept
// the control connection and records the command line. Calls are answered
// after a moment; a subscriber of the demo's address book rings a minute after
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

namespace vertamo::ui {

class TDemoPhone final : public IPhoneProcesses {
 public:
  static constexpr int kAnswerDelayMs = 1500;
  static constexpr int kStatEveryMs = 2000;
  static constexpr int kRingAfterMs = 60000;
  static constexpr int kRingEveryMs = 240000;

  TDemoPhone();
  ~TDemoPhone() override;  // Stop()

  // Listens on 127.0.0.1, any free port. False with the reason in `error`.
  bool Start(std::string* error);
  uint16_t Port() const;
  void Stop();

  int FindPhoneProcess() override { return 0; }
  TEndResult EndPhoneProcess(int) override { return TEndResult::Ended; }
  bool ProgramExists(const std::string&) override { return server_ != nullptr; }
  bool StartPhoneProcess(const std::string& path, const std::vector<std::string>& args) override;
  void ReleasePhoneProcess() override {}
  bool GetHostName(std::string& name) override;

 private:
  std::unique_ptr<phonesim::Server> server_;
};

// A few subscribers in the work folder's address book, unless it has one.
// False when the book cannot be written.
bool PrepareDemoPhoneBook(const std::string& workFolder);

}  // namespace vertamo::ui
