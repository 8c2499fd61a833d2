// The demo's district: orvex-sim's demo scenario served on a free loopback
// port, with kelmo-sim as the voice gateway its lifts are called through.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvexsim {
class Server;
}
namespace kelmosim {
class Server;
}

namespace vertamo::demo {

class TDemoDistrict {
 public:
  // A district that has been running for a while: some lifts are out of
  // order when the workstation logs in.
  static constexpr int kWarmUpSeconds = 600;
  // One second of the district lasts this long (events come twice as often
  // as on a real shift, so there is something to watch).
  static constexpr int kTickMs = 500;

  // The workstation reaches a gateway on its port 4000; the demo's gateway
  // takes the first of 127.0.0.2 … 127.0.0.9 where that port is free (not
  // 127.0.0.1, which the workstation reads as "the dispatch server's host").
  static constexpr uint16_t kGatewayPort = 4000;
  static constexpr int kGatewayAddresses = 8;

  TDemoDistrict();
  ~TDemoDistrict();  // Stop()
  TDemoDistrict(const TDemoDistrict&) = delete;
  TDemoDistrict& operator=(const TDemoDistrict&) = delete;

  // Starts the gateway on `gatewayPort` (0: any free port) and serves the
  // district on 127.0.0.1, any free port; the district's reply to a click on
  // a lift names the gateway. False with the reason in `error` when the
  // district cannot be served; a gateway that cannot start leaves the demo
  // without one (GatewayProblem says why).
  bool Start(std::string* error, uint16_t gatewayPort = kGatewayPort);
  uint16_t Port() const;
  void Stop();

  // Where the gateway listens; empty and 0 when it could not start.
  const std::string& GatewayHost() const { return gatewayHost_; }
  uint16_t GatewayPort() const;
  const std::string& GatewayProblem() const { return gatewayProblem_; }
  // What the workstation dials at the gateway for each unit of the district
  // ("line*address*unit"), each once.
  const std::vector<std::string>& IntercomUsers() const { return intercomUsers_; }

  // Every request line the district was sent, in order (UTF-8; the password
  // reads "***").
  std::vector<std::string> Requests() const;

 private:
  bool StartGateway(uint16_t port);

  std::unique_ptr<orvexsim::Server> server_;
  std::unique_ptr<kelmosim::Server> gateway_;
  std::string gatewayHost_;
  std::string gatewayProblem_;
  std::vector<std::string> intercomUsers_;
};

}  // namespace vertamo::demo
