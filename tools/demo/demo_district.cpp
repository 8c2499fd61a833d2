#include "tools/demo/demo_district.h"

#include <algorithm>

#include "tools/kelmo-sim/kelmo_sim.h"
#include "tools/orvex-sim/scenario.h"
#include "tools/orvex-sim/server.h"

namespace vertamo::demo {

TDemoDistrict::TDemoDistrict() = default;

TDemoDistrict::~TDemoDistrict() { Stop(); }

bool TDemoDistrict::StartGateway(uint16_t port) {
  for (int i = 0; i < kGatewayAddresses; ++i) {
    kelmosim::Options options;
    options.bind = "127.0.0." + std::to_string(2 + i);
    options.port = port;
    auto gateway = std::make_unique<kelmosim::Server>();
    std::string why;
    if (gateway->Start(options, &why)) {
      gateway_ = std::move(gateway);
      gatewayHost_ = options.bind;
      gatewayProblem_.clear();
      return true;
    }
    gatewayProblem_ = "no free address for it among 127.0.0.2 ... 127.0.0." + std::to_string(1 + kGatewayAddresses) +
                      " (the last said " + why + ")";
  }
  return false;
}

bool TDemoDistrict::Start(std::string* error, uint16_t gatewayPort) {
  Stop();
  orvexsim::Scenario district = orvexsim::BuildDemoScenario();
  if (StartGateway(gatewayPort))
    for (orvexsim::ObjectDef& object : district.objects)
      if (object.call) object.call->gateway = gatewayHost_;
  intercomUsers_.clear();
  for (const orvexsim::ObjectDef& object : district.objects) {
    if (!object.call) continue;
    const orvexsim::CallDef& c = *object.call;
    for (const std::optional<int>& unit : {c.pul, c.pu}) {
      if (!unit) continue;
      const std::string user = std::to_string(c.com) + "*" + std::to_string(c.adr) + "*" + std::to_string(*unit);
      if (std::find(intercomUsers_.begin(), intercomUsers_.end(), user) == intercomUsers_.end())
        intercomUsers_.push_back(user);
    }
  }
  auto scenario = std::make_shared<const orvexsim::Scenario>(std::move(district));
  orvexsim::ServerOptions options;
  options.bind = "127.0.0.1";
  options.port = 0;
  options.liveTickMs = kTickMs;
  auto server = std::make_unique<orvexsim::Server>();
  if (!server->Start(scenario, options, error)) {
    Stop();
    return false;
  }
  server->StepLive(kWarmUpSeconds);
  server_ = std::move(server);
  return true;
}

uint16_t TDemoDistrict::Port() const { return server_ ? server_->Port() : 0; }

std::vector<std::string> TDemoDistrict::Requests() const {
  std::vector<std::string> lines;
  if (server_)
    for (const orvexsim::RecordEntry& entry : server_->Record()) lines.push_back(entry.line);
  return lines;
}

uint16_t TDemoDistrict::GatewayPort() const { return gateway_ ? gateway_->Port() : 0; }

void TDemoDistrict::Stop() {
  if (server_) server_->Stop();
  server_.reset();
  if (gateway_) gateway_->Stop();
  gateway_.reset();
  gatewayHost_.clear();
}

}  // namespace vertamo::demo
