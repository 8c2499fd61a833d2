// A D-Bus session bus of the test's own: dbus-daemon as a child process,
// listening on a socket in a fresh temporary folder, ended with the object.
// Tests point their connections (and the programs they start) at Address()
// and never reach the machine's own session bus.
#pragma once

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/spawn_logged.h"
#include "support/temp_folder.h"

namespace vertamo::testing {

class PrivateSessionBus {
 public:
  PrivateSessionBus() = default;
  ~PrivateSessionBus() { Stop(); }
  PrivateSessionBus(const PrivateSessionBus&) = delete;
  PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

  // The bus address, valid before it starts.
  std::string Address() const { return "unix:path=" + Socket(); }
  const std::string& Error() const { return error_; }

  // Starts dbus-daemon; false (and Error) when it cannot be run or its socket
  // does not take connections within 10 s.
  bool Start() {
    const std::string config = folder_.file("session.conf");
    WriteWholeFile(
        config,
        "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
        " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
        "<busconfig>\n  <type>session</type>\n  <listen>unix:path=" +
            Socket() +
            "</listen>\n  <auth>EXTERNAL</auth>\n"
            "  <policy context=\"default\">\n    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
            "    <allow eavesdrop=\"true\"/>\n"
            "    <allow own=\"*\"/>\n  </policy>\n</busconfig>\n");
    std::vector<std::string> args = {"dbus-daemon", "--config-file=" + config, "--nofork", "--nopidfile"};
    pid_ = SpawnLogged(args, {"HOME=" + folder_.path(), "XDG_RUNTIME_DIR=" + folder_.path(), PathVariable()},
                       folder_.file("bus.log"));
    if (pid_ < 0) {
      error_ = "dbus-daemon cannot be run (is the dbus-daemon package installed?)";
      return false;
    }
    for (int i = 0; i < 200; ++i) {
      if (Answers()) return true;
      if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        error_ = "dbus-daemon ended at once: " + ReadWholeFile(folder_.file("bus.log"));
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    error_ = "the private dbus-daemon does not take connections: " + ReadWholeFile(folder_.file("bus.log"));
    Stop();
    return false;
  }

  void Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  std::string Socket() const { return folder_.file("bus"); }

  bool Answers() const {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, Socket().c_str(), sizeof address.sun_path - 1);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
  }

  TempFolder folder_;
  pid_t pid_ = -1;
  std::string error_;
};

}  // namespace vertamo::testing
