// A network of the test's own: the scenario runs in a child process inside a
// fresh network namespace, where fixed ports (SIP's 5060) and made-up
// interfaces and addresses touch nothing of the machine's and of tests
// running alongside. Root gets the namespace directly; anyone else through a
// user namespace of their own, where they may configure it.
#pragma once

#include <fcntl.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vertamo::testing {

namespace private_network {

inline bool WriteProcFile(const std::string& path, const std::string& text) {
  std::ofstream file(path);
  file << text;
  file.flush();
  return static_cast<bool>(file);
}

inline bool EnterNamespace() {
  if (::unshare(CLONE_NEWNET) == 0) return true;
  const uid_t uid = ::getuid();
  const gid_t gid = ::getgid();
  return ::unshare(CLONE_NEWUSER | CLONE_NEWNET) == 0 && WriteProcFile("/proc/self/setgroups", "deny") &&
         WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") &&
         WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
}

inline std::string IpProgram() {
  for (const char* path : {"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"})
    if (::access(path, X_OK) == 0) return path;
  return {};
}

}  // namespace private_network

// Runs `scenario` in a child process inside a fresh network namespace whose
// loopback is up and which `ipCommands` (arguments of iproute2's "ip", such
// as "addr add 10.9.0.1/24 dev v0") have set up. What the scenario returns
// comes back (empty: all went as it should); nullopt with `why` when no such
// namespace can be had here (the test skips).
inline std::optional<std::string> InPrivateNetwork(const std::vector<std::string>& ipCommands,
                                                   const std::function<std::string()>& scenario, std::string* why) {
  const std::string ip = private_network::IpProgram();
  if (ip.empty()) {
    *why = "iproute2's ip is not installed";
    return std::nullopt;
  }
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) {
    *why = "no pipe";
    return std::nullopt;
  }
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe[0]);
    std::string result;
    if (!private_network::EnterNamespace()) {
      result = "\1no network namespace can be made here";
    } else {
      std::vector<std::string> commands = {"link set lo up"};
      commands.insert(commands.end(), ipCommands.begin(), ipCommands.end());
      for (const std::string& command : commands)
        if (result.empty() && std::system((ip + " " + command + " 2>/dev/null").c_str()) != 0)
          result = "\1the namespace's network cannot be set up: ip " + command;
      if (result.empty()) result = scenario();
    }
    for (size_t sent = 0; sent < result.size();) {
      const ssize_t n = ::write(pipe[1], result.data() + sent, result.size() - sent);
      if (n <= 0) break;
      sent += static_cast<size_t>(n);
    }
    ::_exit(0);
  }
  ::close(pipe[1]);
  std::string result;
  char buffer[4096];
  for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;) result.append(buffer, static_cast<size_t>(n));
  ::close(pipe[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status)) return "the scenario's process died";
  if (!result.empty() && result[0] == '\1') {
    *why = result.substr(1);
    return std::nullopt;
  }
  return result;
}

}  // namespace vertamo::testing
