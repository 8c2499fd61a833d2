// The demo's phone program. With baresip installed it is the real one,
// vertamo-phone ("ohphone" beside the workstation), on a private control
// port, with SIP peers on loopback: a lift intercom at the gateway's address
// that answers and speaks, and the address book's subscribers. Without
// baresip it is phone-sim (said once on standard error): its port listens
// from the start, and the workstation's "start of the program" lets phone-sim
// accept the control connection and records the command line. Either way calls are
// answered, and a subscriber of the demo's address book rings a minute after
// the start, and every few minutes after that one of them rings again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>


namespace phonesim {
class Server;
}
namespace vertamo {
class TChildProcess;
}

namespace vertamo::demo {

class TDemoDistrict;
class TDemoSipPeers;

// A subscriber of the demo's address book, who also rings the dispatcher.
struct TDemoSubscriber {
  std::string name;  // UTF-8
  std::string address;
};

class TDemoPhone {
 public:
  static constexpr int kAnswerDelayMs = 1500;
  static constexpr int kStatEveryMs = 2000;
  static constexpr int kRingAfterMs = 60000;
  static constexpr int kRingEveryMs = 240000;

  TDemoPhone();
  ~TDemoPhone();  // Stop()

  // The settings file of the real phone in the work folder.
  static constexpr const char* kSettingsFile = "DemoSipPhone.ini";

  // Chooses the phone (the real one needs baresip and `phoneProgram`) and
  // prepares it on 127.0.0.1, any free control port. False with the reason
  // in `error`.
  bool Start(const TDemoDistrict& district, const std::string& phoneProgram, std::string* error);
  // phone-sim, whatever is installed.
  bool Start(std::string* error) { return Stop(), StartSim(error); }
  uint16_t Port() const;
  bool Real() const { return !phoneProgram_.empty(); }
  // One line for the start message: which phone, where.
  std::string Describe() const;
  void Stop();

  // The demo's address book.
  static std::vector<TDemoSubscriber> Subscribers();

  // What the workstation asks when it starts its phone program `path` with
  // `args`: phone-sim takes the control connection from then on; the real
  // phone starts here, in the current folder, on the demo's ports. False with
  // the reason in `error`.
  bool StartPhoneProgram(const std::string& path, const std::vector<std::string>& args, std::string* error);

 private:
  bool StartSim(std::string* error);
  void StartPeers(const TDemoDistrict& district);

  std::unique_ptr<phonesim::Server> server_;
  // The real phone.
  std::string phoneProgram_;
  uint16_t controlPort_ = 0;
  int sipPort_ = 0;
  std::unique_ptr<TChildProcess> phone_;
  std::unique_ptr<TDemoSipPeers> peers_;
};

}  // namespace vertamo::demo
