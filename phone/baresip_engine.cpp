#include "phone/baresip_engine.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <cstring>
#include <thread>

#include "phone/sip_place.h"
#include "platform/folders.h"
#include "platform/local_addresses.h"
#include "platform/tcp_listener.h"

namespace vertamo::phone {

namespace {

bool CanBind(const std::string& address, int port, int type) {
  const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(port));
  if (::inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1) {
    ::close(fd);
    return false;
  }
  const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
  ::close(fd);
  return ok;
}

int FreeLoopbackPort() {
  const TTcpListener listener = ListenTcp("127.0.0.1", 0, 1);
  if (listener.fd < 0) return 0;
  ::close(listener.fd);
  return listener.port;
}

int ConnectLoopback(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(port));
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

std::string ReadOutput(const std::string& path) {
  std::string text;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
    std::fclose(file);
  }
  return text;
}

// Why SIP cannot listen on `address` at all (whatever the port); empty when
// it can.
std::string AddressProblem(const std::string& address) {
  in_addr parsed{};
  if (::inet_pton(AF_INET, address.c_str(), &parsed) != 1) return "LocalAddress " + address + " is not an IPv4 address";
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return {};
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr = parsed;
  const bool foreign = ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 && errno == EADDRNOTAVAIL;
  ::close(fd);
  return foreign ? "LocalAddress " + address + " is not an address of this machine" : std::string();
}

}  // namespace

bool SipPortFree(const std::string& address, int port) {
  return port > 0 && port < 65535 && CanBind(address, port, SOCK_DGRAM) && CanBind(address, port, SOCK_STREAM) &&
         CanBind(address, port + 1, SOCK_STREAM);
}

TBaresipEngine::TBaresipEngine(TBaresipSetup setup, std::string program, std::string outputLog,
                               const TPhoneLog& log)
    : setup_(std::move(setup)),
      wantedSipPort_(setup_.sipPort),
      program_(std::move(program)),
      outputLog_(std::move(outputLog)),
      log_(log) {
  // A phone killed outright leaves baresip to end by itself: on SIGTERM it
  // hangs up its calls (a BYE to each far end) before it quits.
  child_.SetParentDeathSignal(SIGTERM);
}

TBaresipEngine::~TBaresipEngine() { Stop(0); }

bool TBaresipEngine::PickPorts(std::string* error) {
  setup_.controlPort = FreeLoopbackPort();
  if (setup_.controlPort == 0) {
    if (error) *error = "no free loopback port for baresip's control link";
    return false;
  }
  notices_.clear();
  const std::vector<TLocalAddress> local = LocalIpv4Addresses();
  const std::vector<std::string> candidates = SipCandidates(setup_.sipAddresses, local, DefaultRouteInterface());
  if (candidates.empty()) {
    // No address at all (not even loopback up): baresip looks for itself.
    setup_.sipAddress = "0.0.0.0";
    setup_.sipPort = wantedSipPort_;
    return true;
  }
  const TSipPorts ports{SipPortFree, AddressProblem, [](const std::string&) { return FreeLoopbackPort(); }};
  const TSipPlace place = ChooseSipPlace(candidates, wantedSipPort_, ports);
  if (place.address.empty()) {
    if (error) *error = place.error;
    return false;
  }
  setup_.sipAddress = place.address;
  setup_.sipPort = place.port;
  notices_ = place.notices;
  for (const std::string& notice : notices_) log_.Line("SIP: " + notice);
  return true;
}

bool TBaresipEngine::Start(std::string* error) {
  Stop(0);
  if (!PickPorts(error)) return false;
  folder_ = WriteBaresipFolder(setup_, error);
  if (folder_.empty()) return false;
  // The engine's own output of this start only (it can be chatty).
  if (!outputLog_.empty()) RemoveFile(outputLog_);
  if (!child_.Start(program_, {"-f", folder_}, outputLog_, error)) {
    if (error && error->find(std::strerror(ENOENT)) != std::string::npos) *error += " (is the baresip-core package installed?)";
    RemoveBaresipFolder(folder_);
    folder_.clear();
    return false;
  }
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartWaitMs);
  while (std::chrono::steady_clock::now() < until) {
    std::string how;
    if (child_.Reap(&how)) {
      if (error) *error = "baresip ended at start (" + how + "); see " + outputLog_;
      Stop(0);
      return false;
    }
    link_ = ConnectLoopback(setup_.controlPort);
    if (link_ >= 0) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (link_ < 0) {
    if (error) *error = "baresip did not open its control port; see " + outputLog_;
    Stop(0);
    return false;
  }
  reader_ = TNetstringReader();
  // baresip loads its modules before the control module, and says on
  // standard error when one fails: by now its output tells.
  audioProblem_.clear();
  const std::string output = ReadOutput(outputLog_);
  for (const std::string* device : {&setup_.audioSource, &setup_.audioPlayer}) {
    const std::string module = device->substr(0, device->find(','));
    const size_t at = output.find("module " + module + ".so: ");
    if (module.empty() || at == std::string::npos) continue;
    audioProblem_ = output.substr(at, output.find('\n', at) - at);
    log_.Line("no sound: " + audioProblem_ + " (is a sound server running in this session?)");
    break;
  }
  log_.Line("baresip started (process " + std::to_string(child_.Pid()) + "), SIP on " + setup_.sipAddress + ":" +
            std::to_string(setup_.sipPort) + " as " + setup_.user);
  return true;
}

bool TBaresipEngine::Send(const std::string& command, const std::string& params, const std::string& token) {
  if (link_ < 0) return false;
  const std::string bytes = EncodeBaresipCommand(command, params, token);
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(link_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

bool TBaresipEngine::Read(std::vector<TBaresipMessage>& messages) {
  if (link_ < 0) return false;
  char buffer[4096];
  const ssize_t n = ::recv(link_, buffer, sizeof buffer, MSG_DONTWAIT);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
  if (n <= 0) return false;
  reader_.Feed(std::string_view(buffer, static_cast<size_t>(n)));
  for (std::string payload; reader_.Next(payload);) messages.push_back(ParseBaresipMessage(payload));
  return !reader_.Broken();
}

std::string TBaresipEngine::Collapse() {
  CloseLink();
  std::string how;
  if (!child_.WaitEnded(200, &how)) {
    child_.Kill();
    how = "its control link broke; killed";
  }
  RemoveBaresipFolder(folder_);
  folder_.clear();
  return how;
}

void TBaresipEngine::Stop(int waitMs) {
  if (child_.Running()) {
    if (waitMs > 0 && Send("quit")) child_.WaitEnded(waitMs);
    child_.Kill();
  }
  CloseLink();
  RemoveBaresipFolder(folder_);
  folder_.clear();
}

long long TBaresipEngine::ResidentKb() const {
  if (!child_.Running()) return 0;
  const std::string status = ReadOutput("/proc/" + std::to_string(child_.Pid()) + "/status");
  const size_t at = status.find("VmRSS:");
  return at == std::string::npos ? 0 : std::atoll(status.c_str() + at + 6);
}

void TBaresipEngine::TrimOutput(long long maxBytes) const {
  struct stat file {};
  if (outputLog_.empty() || ::stat(outputLog_.c_str(), &file) != 0 || file.st_size <= maxBytes) return;
  if (::truncate(outputLog_.c_str(), 0) == 0)
    log_.Line("baresip's output passed " + std::to_string(maxBytes) + " bytes and was emptied");
}

void TBaresipEngine::CloseLink() {
  if (link_ >= 0) ::close(link_);
  link_ = -1;
}

}  // namespace vertamo::phone
