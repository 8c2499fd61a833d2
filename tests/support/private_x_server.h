// An X server of the test's own: Xvfb on the display number it picks itself
// (-displayfd, never a fixed one), with the openbox window manager, both
// child processes ended with the object. Window tests that need the real
// keyboard path (XTEST, auto-repeat, window activation) point Qt's xcb
// platform at Display() and never touch the machine's own display.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "support/spawn_logged.h"
#include "support/temp_folder.h"

namespace vertamo::testing {

class PrivateXServer {
 public:
  PrivateXServer() = default;
  ~PrivateXServer() { Stop(); }
  PrivateXServer(const PrivateXServer&) = delete;
  PrivateXServer& operator=(const PrivateXServer&) = delete;

  // ":N", once started.
  const std::string& Display() const { return display_; }
  const std::string& Error() const { return error_; }

  // Starts Xvfb with one screen of `geometry` ("1920x1200x24"), then openbox,
  // and waits until the window manager has taken the screen (10 s at most);
  // the keyboard's auto-repeat is on. False and Error when anything fails.
  bool Start(const std::string& geometry = "1920x1200x24") {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return Fail("no pipe");
    // The child writes its display number to descriptor 3.
    std::vector<std::string> args = {"Xvfb", "-displayfd", "3", "-screen", "0", geometry, "-nolisten", "tcp"};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, folder_.file("xvfb.log").c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::string path = PathVariable();
    char* envp[] = {path.data(), nullptr};
    const int rc = posix_spawnp(&xvfb_, argv[0], &actions, nullptr, argv.data(), envp);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
      ::close(fds[0]);
      xvfb_ = -1;
      return Fail("Xvfb cannot be run (is the xvfb package installed?)");
    }
    std::string number;
    pollfd wait{fds[0], POLLIN, 0};
    while (::poll(&wait, 1, 10000) == 1) {
      char c;
      if (::read(fds[0], &c, 1) != 1 || c == '\n') break;
      number += c;
    }
    ::close(fds[0]);
    if (number.empty()) return Fail("Xvfb named no display: " + ReadWholeFile(folder_.file("xvfb.log")));
    display_ = ":" + number;

    wm_ = SpawnLogged({"openbox", "--sm-disable"}, Environment(), folder_.file("openbox.log"));
    if (wm_ < 0) return Fail("openbox cannot be run (is the openbox package installed?)");
    bool managed = false;
    for (int i = 0; i < 200 && !managed; ++i) {
      managed = Output({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}).find("window id") != std::string::npos;
      if (!managed) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!managed)
      return Fail("openbox did not take the screen: " + ReadWholeFile(folder_.file("openbox.log")));
    if (Run({"xset", "r", "on"}) != 0) return Fail("xset cannot be run (is x11-xserver-utils installed?)");
    return true;
  }

  // Runs a program against this display and waits for its end: its exit code
  // (-1 when it cannot be run).
  int Run(std::vector<std::string> args) const {
    const pid_t pid = SpawnLogged(std::move(args), Environment(), folder_.file("tools.log"));
    if (pid < 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // The same, giving what the program printed.
  std::string Output(std::vector<std::string> args) const {
    const std::string file = folder_.file("output.txt");
    std::remove(file.c_str());
    const pid_t pid = SpawnLogged(std::move(args), Environment(), file);
    if (pid < 0) return {};
    ::waitpid(pid, nullptr, 0);
    return ReadWholeFile(file);
  }

  void Stop() {
    for (pid_t* pid : {&wm_, &xvfb_}) {
      if (*pid <= 0) continue;
      ::kill(*pid, SIGTERM);
      ::waitpid(*pid, nullptr, 0);
      *pid = -1;
    }
  }

 private:
  std::vector<std::string> Environment() const {
    return {"DISPLAY=" + display_, "HOME=" + folder_.path(), "XDG_CONFIG_HOME=" + folder_.path(),
            PathVariable()};
  }
  bool Fail(const std::string& why) {
    error_ = why;
    Stop();
    return false;
  }

  TempFolder folder_;
  pid_t xvfb_ = -1, wm_ = -1;
  std::string display_, error_;
};

}  // namespace vertamo::testing
