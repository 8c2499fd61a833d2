#include "tools/demo/demo_sip_peers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>

#include "platform/child_process.h"
#include "platform/cp1251.h"
#include "platform/folder_entries.h"
#include "platform/folders.h"
#include "platform/tcp_listener.h"

namespace vertamo::demo {

namespace {

using Clock = std::chrono::steady_clock;

int FreeLoopbackPort() {
  const TTcpListener listener = ListenTcp("127.0.0.1", 0, 1);
  if (listener.fd < 0) return 0;
  ::close(listener.fd);
  return listener.port;
}

int ConnectWithin(int port, int ms) {
  const auto until = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < until) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) return fd;
    ::close(fd);
    ::usleep(20000);
  }
  return -1;
}

void SendMessage(int fd, const std::string& cp1251) {
  const std::string message = cp1251 + '\0';
  (void)!::send(fd, message.data(), message.size(), MSG_NOSIGNAL);
}

}  // namespace

struct TDemoSipPeers::TLink {
  TChildProcess process;
  int control = -1;
  std::string pending;    // bytes of a message not yet ended
  bool calling = false;   // ringing the dispatcher
  bool talking = false;
  Clock::time_point callingSince;
  ~TLink() {
    if (control >= 0) ::close(control);
    process.WaitEnded(1000);  // the closed link ends it
    process.Kill();
  }
};

TDemoSipPeers::TDemoSipPeers() = default;

TDemoSipPeers::~TDemoSipPeers() { Stop(); }

void TDemoSipPeers::Start(const std::string& phoneProgram, const std::vector<TDemoSipPeer>& peers,
                          const TRingPlan& rings, std::vector<std::string>* problems) {
  Stop();
  rings_ = rings;
  std::string base = EnvironmentValue("XDG_RUNTIME_DIR");
  if (base.empty() || !FolderExists(base)) base = "/tmp";
  std::string pattern = WithTrailingSlash(base) + "vertamo-demo-peers.XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    if (problems) problems->push_back("no folder for the SIP peers in " + base);
    return;
  }
  folder_ = WithTrailingSlash(pattern);
  for (const TDemoSipPeer& peer : peers) {
    const std::string folder = folder_ + peer.address + "/";
    MakeFolder(folder, kOwnerOnlyFolder);
    std::string users;
    for (const std::string& user : peer.users) users += (users.empty() ? "" : ",") + user;
    std::ofstream(folder + "Vertamo.ini", std::ios::binary)
        << "[SipPhone]\r\nLocalAddress=" << peer.address << "\r\nSipPort=5060\r\nAnswerAtOnce=1\r\n"
        << "DisplayName=" << Utf8ToCp1251(peer.name) << "\r\nExtraUsers=" << users
        << "\r\nAudioSource=" << peer.audioSource << "\r\nAudioPlayer=alsa,null\r\n";
    auto link = std::make_unique<TLink>();
    const int port = FreeLoopbackPort();
    std::string why;
    if (!link->process.Start(phoneProgram,
                             {"--g711-ulaw", "-u", "peer", "--control-port", std::to_string(port), "--workdir", folder},
                             folder + "output.log", &why)) {
      if (problems) problems->push_back(peer.address + ": " + why);
      continue;
    }
    link->control = ConnectWithin(port, 3000);
    if (link->control < 0) {
      if (problems) problems->push_back(peer.address + ": the phone does not answer on its control port");
      continue;
    }
    links_.push_back(std::move(link));
  }
  if (::pipe2(wake_, O_CLOEXEC) != 0) wake_[0] = wake_[1] = -1;
  stop_ = false;
  thread_ = std::thread([this] { Serve(); });
}

void TDemoSipPeers::Serve() {
  size_t next = rings_.firstRinger;
  const bool ringing = !rings_.dispatcher.empty() && rings_.everyMs > 0;
  Clock::time_point due = Clock::now() + std::chrono::milliseconds(rings_.afterMs);
  while (!stop_) {
    std::vector<pollfd> fds;
    fds.push_back({wake_[0], POLLIN, 0});
    for (const auto& link : links_) fds.push_back({link->control, POLLIN, 0});
    ::poll(fds.data(), fds.size(), 200);
    if (fds[0].revents) {
      char c[16];
      (void)!::read(wake_[0], c, sizeof c);
    }
    for (size_t i = 0; i < links_.size(); ++i) {
      TLink& link = *links_[i];
      if (!fds[i + 1].revents) continue;
      char buffer[512];
      const ssize_t n = ::recv(link.control, buffer, sizeof buffer, MSG_DONTWAIT);
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
        // The peer ended: it stays out of the rest of the demo (poll skips -1).
        ::close(link.control);
        link.control = -1;
        continue;
      }
      if (n < 0) continue;
      link.pending.append(buffer, static_cast<size_t>(n));
      for (size_t zero; (zero = link.pending.find('\0')) != std::string::npos;) {
        const std::string line = link.pending.substr(0, zero);
        link.pending.erase(0, zero + 1);
        if (line.rfind("CALL", 0) == 0) {
          link.talking = true;
          link.calling = false;
        } else if (line.rfind("ERROR", 0) == 0 || line == "END" || line == "BUSY") {
          link.talking = link.calling = false;
        }
      }
    }
    const auto now = Clock::now();
    for (const auto& link : links_) {
      if (link->calling && now - link->callingSince > std::chrono::milliseconds(kRingForMs)) {
        SendMessage(link->control, "h");
        link->calling = false;
      }
    }
    if (ringing && now >= due && next < links_.size()) {
      TLink& link = *links_[next];
      if (link.control >= 0 && !link.calling && !link.talking) {
        SendMessage(link.control, "c " + rings_.dispatcher);
        link.calling = true;
        link.callingSince = now;
      }
      next = next + 1 < links_.size() ? next + 1 : rings_.firstRinger;
      due = now + std::chrono::milliseconds(rings_.everyMs);
    }
  }
}

void TDemoSipPeers::Stop() {
  stop_ = true;
  if (wake_[1] >= 0) (void)!::write(wake_[1], "s", 1);
  if (thread_.joinable()) thread_.join();
  links_.clear();
  for (int& fd : wake_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  if (!folder_.empty()) {
    for (const std::string& sub : FolderEntries(folder_, TEntryKind::Folders)) {
      const std::string path = folder_ + sub + "/";
      for (const std::string& file : FolderEntries(path, TEntryKind::Files)) RemoveFile(path + file);
      ::rmdir(path.c_str());
    }
    ::rmdir(folder_.c_str());
    folder_.clear();
  }
}

}  // namespace vertamo::demo
