#include "platform/process.h"

#include "platform/folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sstream>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>

extern char** environ;

namespace vertamo {

namespace {

void SetError(int* error, int value) {
  if (error) *error = value;
}

std::string ReadLink(const std::string& path) {
  char buffer[PATH_MAX];
  const ssize_t n = readlink(path.c_str(), buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

}  // namespace

int SpawnDetached(const std::string& path, const std::vector<std::string>& args, int* error,
                  const std::string& folder) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  // Every descriptor above the standard three is closed in the child, those
  // without close-on-exec too.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  // Its own session and the default signal handling and mask.
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, path.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    SetError(error, rc);
    return 0;
  }
  SetError(error, 0);
  return pid;
}

std::vector<int> OwnProcesses() {
  std::vector<int> pids;
  const uid_t uid = getuid();
  const pid_t self = getpid();
  DIR* proc = opendir("/proc");
  if (!proc) return pids;
  while (dirent* entry = readdir(proc)) {
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (pid <= 0 || *end != '\0' || pid == self) continue;
    struct stat info{};
    if (stat((std::string("/proc/") + entry->d_name).c_str(), &info) != 0 || info.st_uid != uid) continue;
    pids.push_back(static_cast<int>(pid));
  }
  closedir(proc);
  std::sort(pids.begin(), pids.end());
  return pids;
}

std::string ProcessExecutable(int pid) { return ReadLink("/proc/" + std::to_string(pid) + "/exe"); }

std::vector<std::string> ProcessArguments(int pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
  std::vector<std::string> args;
  for (std::string arg; std::getline(file, arg, '\0');) args.push_back(arg);
  return args;
}

std::string ProcessFolder(int pid) { return ReadLink("/proc/" + std::to_string(pid) + "/cwd"); }

bool ProcessListensOnLoopback(int pid, int port) {
  // The listening sockets at the port, by inode, then whether the process
  // holds one of them.
  char loopback[32], any[32];
  std::snprintf(loopback, sizeof loopback, "0100007F:%04X", port);
  std::snprintf(any, sizeof any, "00000000:%04X", port);
  std::vector<std::string> inodes;
  std::ifstream table("/proc/net/tcp");
  std::string line;
  std::getline(table, line);  // the heading
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
    fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode;
    if (state == "0A" && (local == loopback || local == any)) inodes.push_back("socket:[" + inode + "]");
  }
  if (inodes.empty()) return false;
  const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
  DIR* dir = opendir(fds.c_str());
  if (!dir) return false;
  bool found = false;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    const std::string target = ReadLink(fds + "/" + entry->d_name);
    if (std::find(inodes.begin(), inodes.end(), target) != inodes.end()) {
      found = true;
      break;
    }
  }
  closedir(dir);
  return found;
}

bool SameExecutable(const std::string& executable, const std::string& path) {
  const std::string expected = ResolvedPath(path);
  return !executable.empty() && (executable == expected || executable == expected + " (deleted)");
}

int FindProcessByExecutable(const std::string& path) {
  for (const int pid : OwnProcesses())
    if (SameExecutable(ProcessExecutable(pid), path)) return pid;
  return 0;
}

int OpenProcessHandle(int pid, int* error) {
  if (pid <= 0) {
    SetError(error, ESRCH);
    return -1;
  }
  const long fd = syscall(SYS_pidfd_open, pid, 0);
  SetError(error, fd < 0 ? errno : 0);
  return fd < 0 ? -1 : static_cast<int>(fd);
}

bool TerminateProcessHandle(int handle, int* error) {
  const long rc = syscall(SYS_pidfd_send_signal, handle, SIGKILL, nullptr, 0);
  SetError(error, rc < 0 ? errno : 0);
  return rc == 0;
}

void CloseProcessHandle(int handle) {
  if (handle >= 0) close(handle);
}

bool ReapChild(int pid) {
  if (pid <= 0) return true;
  int status = 0;
  const pid_t rc = waitpid(pid, &status, WNOHANG);
  return rc != 0;
}

bool ProcessAlive(int pid) {
  if (pid <= 0) return false;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return false;
  const size_t close = text.rfind(')');
  return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z' &&
         text[close + 2] != 'X';
}

bool GetHostName(std::string& name) {
  char buffer[256] = {};
  if (gethostname(buffer, sizeof buffer - 1) != 0 || buffer[0] == '\0') return false;
  name = buffer;
  return true;
}

}  // namespace vertamo
