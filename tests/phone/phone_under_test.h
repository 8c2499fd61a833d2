// vertamo-phone as a test runs it: the real program in a folder of its own
// (its Vertamo.ini, its logs), its control link held by the test, and a few
// ways to look at it from outside (its process, its baresip, its log).
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "phone/baresip_engine.h"
#include "platform/cp1251.h"
#include "support/spawn_logged.h"
#include "support/temp_folder.h"
#include "transport/test_peer.h"

extern char** environ;

namespace vertamo::testing {

// Why the real-phone tests cannot run here; empty when baresip is installed.
inline std::string BaresipMissing() {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  for (size_t from = 0; from <= dirs.size();) {
    const size_t to = std::min(dirs.find(':', from), dirs.size());
    if (::access((dirs.substr(from, to - from) + "/baresip").c_str(), X_OK) == 0) return {};
    from = to + 1;
  }
  return "baresip is not installed (Debian package baresip-core)";
}

// A SIP port on 127.0.0.1 that is free now, with the next one free for TLS.
// It is taken below the kernel's range of ephemeral ports: a phone that
// starts baresip again wants its port back, and any connection made meanwhile
// (another test's, the phone's own control link) could be handed a port of
// that range.
inline int FreeSipPort() {
  int ephemeralLow = 32768;
  if (std::FILE* range = std::fopen("/proc/sys/net/ipv4/ip_local_port_range", "r")) {
    if (std::fscanf(range, "%d", &ephemeralLow) != 1) ephemeralLow = 32768;
    std::fclose(range);
  }
  const int high = std::max(ephemeralLow - 2, 2000), low = std::max(high - 10000, 1100);
  std::random_device seed;
  std::mt19937 pick(seed());
  std::uniform_int_distribution<int> port(low, high);
  for (int i = 0; i < 200; ++i)
    if (const int candidate = port(pick); phone::SipPortFree("127.0.0.1", candidate)) return candidate;
  return 0;
}

// Section "SipPhone" of a phone on loopback whose sound goes nowhere (ALSA's
// null devices). `more` comes first: the first of a repeated key wins.
inline std::vector<std::string> QuietPhoneSettings(int sipPort, std::vector<std::string> more = {}) {
  for (const char* line : {"LocalAddress=127.0.0.1", "AudioSource=alsa,null", "AudioPlayer=alsa,null"})
    more.push_back(line);
  more.push_back("SipPort=" + std::to_string(sipPort));
  return more;
}

class PhoneUnderTest {
 public:
  PhoneUnderTest() = default;
  // As the workstation leaves it: the link closes and the phone ends itself.
  ~PhoneUnderTest() {
    CloseControl();
    WaitExit(3000);
    Kill();
  }

  // Starts the program with section "SipPhone" made of `settings` lines, the
  // workstation's usual command line and `env` added to the environment.
  // With `connect` the test takes the control link (and its "OK").
  bool Start(const std::vector<std::string>& settings, const std::vector<std::string>& env = {},
             bool connect = true, const std::string& alias = "dispatch1") {
    std::string ini = "[SipPhone]\r\n";
    for (const std::string& line : settings) ini += line + "\r\n";
    WriteWholeFile(folder_.file("Vertamo.ini"), ini);
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return false;
    std::vector<std::string> args = {VERTAMO_PHONE_PATH, "-lne", "--g711-ulaw", "-u", alias, "--jitter", "50",
                                     "--control-port", "0"};
    std::vector<std::string> vars;
    for (char** e = environ; *e; ++e) vars.push_back(*e);
    vars.insert(vars.end(), env.begin(), env.end());
    std::vector<char*> argv = NullEnded(args), envp = NullEnded(vars);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder_.path().c_str());
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
      ::close(out[0]);
      return false;
    }
    std::string line;
    pollfd p{out[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos && ::poll(&p, 1, 5000) > 0) {
      char c[64];
      const ssize_t n = ::read(out[0], c, sizeof c);
      if (n <= 0) break;
      line.append(c, static_cast<size_t>(n));
    }
    ::close(out[0]);
    if (line.rfind("port ", 0) != 0) return false;
    port_ = std::atoi(line.c_str() + 5);
    return !connect || Connect();
  }

  bool Connect() {
    control_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port_));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(control_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) return false;
    return Next(5000) == "OK";
  }

  int ControlPort() const { return port_; }
  int Pid() const { return pid_; }
  const TempFolder& Folder() const { return folder_; }

  void Send(const std::string& utf8) {
    const std::string message = Utf8ToCp1251(utf8) + '\0';
    (void)!::send(control_, message.data(), message.size(), MSG_NOSIGNAL);
  }

  // The next event line (UTF-8) within `ms`; "<closed>" when the link ended.
  std::optional<std::string> Next(int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      if (const size_t zero = buffer_.find('\0'); zero != std::string::npos) {
        std::string line = buffer_.substr(0, zero);
        buffer_.erase(0, zero + 1);
        return Cp1251ToUtf8(line);
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      if (left.count() <= 0) return std::nullopt;
      pollfd p{control_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char chunk[512];
      const ssize_t n = ::recv(control_, chunk, sizeof chunk, 0);
      if (n <= 0) return std::string("<closed>");
      buffer_.append(chunk, static_cast<size_t>(n));
    }
  }

  // The next line that is not a STAT line, within `ms` in all (a call that
  // goes on sends STAT lines for ever).
  std::optional<std::string> NextEvent(int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      auto line = Next(static_cast<int>(std::max<long long>(left.count(), 0)));
      if (line && (line->rfind("REC", 0) == 0 || line->rfind("NOREC", 0) == 0)) {
        recordLines_.push_back(*line);
        continue;
      }
      if (!line || line->rfind("STAT", 0) != 0) return line;
    }
  }
  // What NextEvent passed over of the recording lines, REC and NOREC.
  const std::vector<std::string>& RecordLines() const { return recordLines_; }

  // The baresip this phone started; 0 when none runs.
  int BaresipPid() const {
    const std::string children =
        ReadWholeFile("/proc/" + std::to_string(pid_) + "/task/" + std::to_string(pid_) + "/children");
    return std::atoi(children.c_str());
  }

  // Waits up to `ms` for the program to end; true when it did.
  bool WaitExit(int ms) {
    for (int waited = 0; waited < ms; waited += 10) {
      if (pid_ <= 0 || ::waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  std::string Log() const { return Cp1251ToUtf8(ReadWholeFile(folder_.file("vertamo-phone.log"))); }

  void CloseControl() {
    if (control_ >= 0) ::close(control_);
    control_ = -1;
  }

  // SIGKILL first: the control link closing first would let the phone end
  // its baresip itself.
  void Kill() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
    CloseControl();
  }

 private:
  TempFolder folder_;
  std::vector<std::string> recordLines_;
  pid_t pid_ = -1;
  int port_ = 0;
  int control_ = -1;
  std::string buffer_;
};

// The local ends ("ADDR:PORT", hex as /proc has them: "0100007F:13C4" is
// 127.0.0.1:5060) of the process's sockets in `table` ("/proc/net/udp").
inline std::vector<std::string> SocketAddresses(int pid, const char* table) {
  std::vector<std::string> inodes;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    const std::string target = std::filesystem::read_symlink(entry.path(), ec).string();
    if (target.rfind("socket:[", 0) == 0) inodes.push_back(target.substr(8, target.size() - 9));
  }
  std::vector<std::string> addresses;
  {
    std::istringstream lines(ReadWholeFile(table));
    std::string line;
    std::getline(lines, line);  // the heading
    while (std::getline(lines, line)) {
      std::istringstream fields(line);
      std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
      fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode;
      if (std::find(inodes.begin(), inodes.end(), inode) != inodes.end()) addresses.push_back(local);
    }
  }
  return addresses;
}

// The private folder of the engine a phone started (its "owner" file names
// the phone); empty when none is found.
inline std::string EngineFolderOf(int phonePid) {
  std::string base = std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
  if (base.empty() || !std::filesystem::is_directory(base)) base = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
  if (base.empty() || !std::filesystem::is_directory(base)) base = "/tmp";
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(base, ec)) {
    if (entry.path().filename().string().rfind("vertamo-phone.", 0) != 0) continue;
    if (std::atoi(ReadWholeFile((entry.path() / "owner").string()).c_str()) == phonePid) return entry.path().string();
  }
  return {};
}

inline bool ProcessGone(int pid, int ms) {
  for (int waited = 0; waited < ms; waited += 10) {
    const std::string stat = ReadWholeFile("/proc/" + std::to_string(pid) + "/stat");
    if (stat.empty() || stat.find(") Z ") != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

}  // namespace vertamo::testing
