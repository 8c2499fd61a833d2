// The demo's servers as the workstation sees them: the program vertamo-demo,
// started beside the workstation, which serves the demo district, its voice
// gateway and its phone, and ends with the workstation however it ends. The
// telephony thread "starts the phone program" through it: the demo starts
// its phone (or lets phone-sim take the control link) when asked.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "iptel/iptel_thread.h"

namespace vertamo {
class TChildProcess;
}

namespace vertamo::ui {

// A subscriber of the demo's address book (UTF-8).
struct TDemoSubscriber {
  std::string address;
  std::string name;
};

class TDemoProcess final : public IPhoneProcesses {
 public:
  // The demo program's name in the program folder.
  static constexpr const char* kProgramName = "vertamo-demo";
  // How long the demo may take to serve its district and to answer.
  static constexpr int kStartMs = 20000;
  static constexpr int kAnswerMs = 5000;

  struct TOptions {
    std::string program;       // the demo program's path
    std::string phoneProgram;  // the workstation's phone program; empty: phone-sim plays the phone
    std::string workFolder;    // where the demo's phone keeps its settings
    int gatewayPort = -1;      // -1: the demo's own choice (4000); 0: any free port
  };

  TDemoProcess();
  ~TDemoProcess() override;  // Stop()
  TDemoProcess(const TDemoProcess&) = delete;
  TDemoProcess& operator=(const TDemoProcess&) = delete;

  // Starts the demo program and waits until it serves. False with the reason
  // in `error`.
  bool Start(const TOptions& options, std::string* error);
  // Ends it: it stops its servers and its phone.
  void Stop();
  int Pid() const;

  uint16_t Port() const { return port_; }
  // The voice gateway: empty and 0 when the demo has none, and why.
  const std::string& GatewayHost() const { return gatewayHost_; }
  uint16_t GatewayPort() const { return gatewayPort_; }
  const std::string& GatewayProblem() const { return gatewayProblem_; }
  // The phone's control port; whether it is the real phone; one line saying which.
  uint16_t PhonePort() const { return phonePort_; }
  bool RealPhone() const { return realPhone_; }
  const std::string& PhoneDescription() const { return phoneDescription_; }
  const std::vector<TDemoSubscriber>& Subscribers() const { return subscribers_; }

  // Every request line the district has been sent, in order (UTF-8; the
  // password reads "***"); empty when the demo does not answer.
  std::vector<std::string> Requests();

  // The demo never ends another phone program of this user.
  int FindPhoneProcess() override { return 0; }
  TEndResult EndPhoneProcess(int) override { return TEndResult::Ended; }
  bool ProgramExists(const std::string& path) override;
  bool StartPhoneProcess(const std::string& path, const std::vector<std::string>& args) override;
  void ReleasePhoneProcess() override {}
  bool GetHostName(std::string& name) override;

 private:
  // The next line from the demo, split into its fields; empty when none came
  // within `ms` or the demo has gone.
  std::vector<std::string> NextLine(int ms);
  bool Send(const std::vector<std::string>& fields);

  std::unique_ptr<TChildProcess> process_;
  std::mutex talk_;  // one request and its answer at a time
  int link_ = -1;  // a socket to the demo's standard input and output
  std::string pending_;
  uint16_t port_ = 0, gatewayPort_ = 0, phonePort_ = 0;
  std::string gatewayHost_, gatewayProblem_, phoneDescription_;
  bool realPhone_ = false;
  std::vector<TDemoSubscriber> subscribers_;
};

}  // namespace vertamo::ui
