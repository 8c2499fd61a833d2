// baresip as the phone's engine: a child process with a configuration of its
// own, commanded over its ctrl_tcp link on a free loopback port. The engine
// ends with the phone (the kill signal on the parent's death) and is watched
// through a process descriptor, so its death is noticed at once.
#pragma once

#include <string>
#include <vector>

#include "phone/baresip_config.h"
#include "phone/baresip_message.h"
#include "phone/phone_log.h"
#include "platform/child_process.h"

namespace vertamo::phone {

class TBaresipEngine {
 public:
  // How long a started engine has to open its control port.
  static constexpr int kStartWaitMs = 5000;

  TBaresipEngine(TBaresipSetup setup, std::string program, std::string outputLog, const TPhoneLog& log);
  ~TBaresipEngine();  // Stop()
  TBaresipEngine(const TBaresipEngine&) = delete;
  TBaresipEngine& operator=(const TBaresipEngine&) = delete;

  // Writes the configuration, starts the engine and connects to it. False
  // with the reason in words (for the log and the dispatcher).
  bool Start(std::string* error);
  bool Running() const { return link_ >= 0; }
  int LinkFd() const { return link_; }
  int ProcessFd() const { return child_.Fd(); }
  int SipPort() const { return setup_.sipPort; }
  // For the dispatcher (UTF-8), one sentence each, when SIP listens
  // elsewhere than the settings say: another port (theirs was taken), not
  // every address they name (baresip serves one); empty when it listens
  // where asked.
  const std::vector<std::string>& Notices() const { return notices_; }
  std::string MainAor() const { return MainAccountAor(setup_); }
  int Pid() const { return child_.Pid(); }
  // Why the sound devices' module did not load (no sound server in the
  // session, say); empty when it did. Calls then connect without sound.
  const std::string& AudioProblem() const { return audioProblem_; }

  bool Send(const std::string& command, const std::string& params = {}, const std::string& token = {});
  // Takes what the link has; false when the link closed or broke.
  bool Read(std::vector<TBaresipMessage>& messages);
  // After the process descriptor became readable or the link closed: kills
  // what is left, collects it, and says how it ended.
  std::string Collapse();
  // Asks the engine to quit, waits up to `waitMs`, then kills it.
  void Stop(int waitMs = 1000);
  // The engine's resident memory in kB; 0 when it does not run.
  long long ResidentKb() const;
  // Empties the engine's output file once it has grown past `maxBytes`
  // (it appends, so it goes on writing at the new end).
  void TrimOutput(long long maxBytes) const;

 private:
  bool PickPorts(std::string* error);
  void CloseLink();

  TBaresipSetup setup_;
  int wantedSipPort_;
  std::string program_;
  std::string outputLog_;
  const TPhoneLog& log_;
  TChildProcess child_;
  std::string folder_;
  int link_ = -1;
  TNetstringReader reader_;
  std::string audioProblem_;
  std::vector<std::string> notices_;
};

// Whether SIP can listen on `address`:`port` (UDP and TCP) with TLS on the
// next port (TCP).
bool SipPortFree(const std::string& address, int port);

}  // namespace vertamo::phone
