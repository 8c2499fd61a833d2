#include "tools/demo/demo_phone.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "phone/baresip_engine.h"
#include "phone/sip_settings.h"
#include "platform/child_process.h"
#include "platform/cp1251.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "platform/tcp_listener.h"
#include "tools/demo/demo_district.h"
#include "tools/demo/demo_sip_peers.h"
#include "tools/phone-sim/phone_sim.h"

namespace vertamo::demo {

namespace {

struct Subscriber {
  const char* name;  // UTF-8
  const char* address;
};

// The demo's address book; its subscribers are also the ones who ring. With
// the real phone each is a SIP peer at its address (loopback, beyond the
// gateway's 127.0.0.2 ... 127.0.0.9).
constexpr Subscriber kSubscribers[] = {
    {"Пост охраны", "127.0.0.10"}, {"Аварийная служба", "127.0.0.11"}, {"Диспетчер Север", "127.0.0.12"}};
constexpr int kSubscriberCount = static_cast<int>(std::size(kSubscribers));

// The voices the build speaks, beside vertamo-phone: a trapped passenger and
// a subscriber. A peer without its voice stays silent (ALSA's null device).
constexpr const char* kCabinVoice = "cabin-voice.wav";
constexpr const char* kSubscriberVoice = "subscriber-voice.wav";

bool BaresipInstalled() {
  const std::string path = EnvironmentValue("PATH");
  for (size_t from = 0; from <= path.size();) {
    const size_t to = std::min(path.find(':', from), path.size());
    if (::access((path.substr(from, to - from) + "/baresip").c_str(), X_OK) == 0) return true;
    from = to + 1;
  }
  return false;
}

int FreeSipPort() {
  for (int attempt = 0; attempt < 50; ++attempt) {
    const TTcpListener listener = ListenTcp("127.0.0.1", 0, 1);
    if (listener.fd < 0) continue;
    ::close(listener.fd);
    if (phone::SipPortFree("127.0.0.1", listener.port)) return listener.port;
  }
  return phone::TSipSettings::kDefaultSipPort;
}

}  // namespace

TDemoPhone::TDemoPhone() = default;

TDemoPhone::~TDemoPhone() { Stop(); }

bool TDemoPhone::Start(const TDemoDistrict& district, const std::string& phoneProgram, std::string* error) {
  Stop();
  std::string why;
  if (!BaresipInstalled())
    why = "baresip is not installed (package baresip-core)";
  else if (!FileExists(phoneProgram))
    why = "there is no " + phoneProgram;
  if (!why.empty()) {
    std::fprintf(stderr, "vertamo-demo: the demo's phone is phone-sim, without voice: %s\n", why.c_str());
    return StartSim(error);
  }
  const TTcpListener listener = ListenTcp("127.0.0.1", 0, 1);
  if (listener.fd < 0) {
    if (error) *error = "no free loopback port for the phone's control link";
    return false;
  }
  ::close(listener.fd);
  controlPort_ = listener.port;
  phoneProgram_ = phoneProgram;
  sipPort_ = phone::SipPortFree("127.0.0.1", phone::TSipSettings::kDefaultSipPort) ? phone::TSipSettings::kDefaultSipPort
                                                                                     : FreeSipPort();
  StartPeers(district);
  return true;
}

bool TDemoPhone::StartSim(std::string* error) {
  phonesim::Options options;
  options.bind = "127.0.0.1";
  options.port = 0;
  options.paused = true;
  options.answerDelayMs = kAnswerDelayMs;
  options.statEveryMs = kStatEveryMs;
  options.app = Utf8ToCp1251("phone-sim\tдемонстрация");
  // The subscribers ring in turn, kRingEveryMs apart.
  for (int i = 0; i < kSubscriberCount; ++i) {
    const Subscriber& s = kSubscribers[i];
    options.rings.push_back(
        {kRingAfterMs + i * kRingEveryMs, Utf8ToCp1251(std::string(s.name) + " [" + s.address + "]")});
  }
  options.ringRepeatMs = kSubscriberCount * kRingEveryMs;
  auto server = std::make_unique<phonesim::Server>();
  if (!server->Start(options, error)) return false;
  server_ = std::move(server);
  return true;
}

void TDemoPhone::StartPeers(const TDemoDistrict& district) {
  // The passenger's voice lies beside the phone program the link names.
  const std::string resolved = ResolvedPath(phoneProgram_);
  const std::string folder = resolved.substr(0, resolved.rfind('/') + 1);
  const std::string voice = folder + kCabinVoice, subscriberVoice = folder + kSubscriberVoice;
  std::vector<TDemoSipPeer> peers;
  size_t firstSubscriber = 0;
  if (!district.GatewayHost().empty()) {
    if (!FileExists(voice))
      std::fprintf(stderr, "vertamo-demo: the demo's lift intercom stays silent: there is no %s\n", voice.c_str());
    peers.push_back({district.GatewayHost(), "Лифт", district.IntercomUsers(),
                     FileExists(voice) ? "aufile," + voice : "alsa,null"});
    firstSubscriber = 1;
  }
  for (const Subscriber& s : kSubscribers)
    peers.push_back({s.address, s.name, {}, FileExists(subscriberVoice) ? "aufile," + subscriberVoice : "alsa,null"});
  TDemoSipPeers::TRingPlan rings;
  rings.firstRinger = firstSubscriber;
  rings.dispatcher = "127.0.0.1:" + std::to_string(sipPort_);
  rings.afterMs = kRingAfterMs;
  rings.everyMs = kRingEveryMs;
  peers_ = std::make_unique<TDemoSipPeers>();
  std::vector<std::string> problems;
  peers_->Start(phoneProgram_, peers, rings, &problems);
  for (const std::string& problem : problems)
    std::fprintf(stderr, "vertamo-demo: a SIP peer of the demo did not start: %s\n", problem.c_str());
}

uint16_t TDemoPhone::Port() const { return Real() ? controlPort_ : server_ ? server_->Port() : 0; }

std::string TDemoPhone::Describe() const {
  if (!Real()) return "phone-sim on 127.0.0.1:" + std::to_string(Port());
  return "vertamo-phone on 127.0.0.1:" + std::to_string(controlPort_) + " (SIP 127.0.0.1:" +
         std::to_string(sipPort_) + ", " + std::to_string(peers_ ? peers_->Count() : 0) + " SIP peers)";
}

void TDemoPhone::Stop() {
  if (server_) server_->Stop();
  server_.reset();
  if (phone_) phone_->Kill();
  phone_.reset();
  peers_.reset();
  phoneProgram_.clear();
}

std::vector<TDemoSubscriber> TDemoPhone::Subscribers() {
  std::vector<TDemoSubscriber> all;
  for (const Subscriber& s : kSubscribers) all.push_back({s.name, s.address});
  return all;
}

bool TDemoPhone::StartPhoneProgram(const std::string& path, const std::vector<std::string>& args, std::string* error) {
  if (!Real()) {
    if (!server_) {
      if (error) *error = "phone-sim is not running";
      return false;
    }
    std::vector<std::string> commandLine{path};
    commandLine.insert(commandLine.end(), args.begin(), args.end());
    server_->Resume(commandLine);
    return true;
  }
  // The phone's own settings file in the work folder (the current folder):
  // SIP stays on loopback, on the port the subscribers ring.
  std::ofstream(kSettingsFile, std::ios::binary | std::ios::trunc)
      << "[SipPhone]\r\nLocalAddress=127.0.0.1\r\nSipPort=" << sipPort_ << "\r\n";
  std::vector<std::string> all = args;
  all.insert(all.end(), {"--control-port", std::to_string(controlPort_), "--settings", kSettingsFile});
  phone_ = std::make_unique<TChildProcess>();
  // It ends with the demo, which ends with the workstation.
  phone_->SetParentDeathSignal(SIGTERM);
  return phone_->Start(path, all, {}, error);
}

}  // namespace vertamo::demo
