// The demo's SIP peers: real vertamo-phone programs on loopback addresses
// that play the far ends of the dispatcher's calls. A lift intercom at the
// gateway's address answers at once and plays a trapped passenger's voice;
// the address book's subscribers answer too and, in turn, ring the
// dispatcher. The demo holds each peer's control link: a peer ends when the
// demo ends (and with the workstation, however it ends).
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vertamo {
class TChildProcess;
}

namespace vertamo::demo {

struct TDemoSipPeer {
  std::string address;             // 127.0.0.x; SIP listens there on port 5060
  std::string name;                // display name (UTF-8)
  std::vector<std::string> users;  // SIP users it answers to besides its name
  std::string audioSource;         // baresip's "module,device"
};

class TDemoSipPeers {
 public:
  // How long a peer's ring goes unanswered before it gives up.
  static constexpr int kRingForMs = 30000;

  TDemoSipPeers();
  ~TDemoSipPeers();  // Stop()

  // Who rings the dispatcher: from `afterMs` on, every `everyMs`, the next
  // peer from `firstRinger` on dials `dispatcher` (a dial string) and gives
  // up after kRingForMs.
  struct TRingPlan {
    size_t firstRinger = 0;
    std::string dispatcher;
    int afterMs = 0, everyMs = 0;
  };

  // Starts `phoneProgram` once per peer in a private folder. A peer that
  // cannot start is left out, with the reason in `problems`.
  void Start(const std::string& phoneProgram, const std::vector<TDemoSipPeer>& peers, const TRingPlan& rings,
             std::vector<std::string>* problems);
  size_t Count() const { return links_.size(); }
  void Stop();

 private:
  struct TLink;
  void Serve();

  std::string folder_;
  std::vector<std::unique_ptr<TLink>> links_;
  TRingPlan rings_;
  int wake_[2] = {-1, -1};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace vertamo::demo
