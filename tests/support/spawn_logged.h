// Starts a helper program of a test (a private sound server, a private session
// bus) with an environment of exactly the given variables, its standard output
// and error appended to a log file.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace vertamo::testing {

// PATH as the test has it, for `env`.
inline std::string PathVariable() {
  return "PATH=" + std::string(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin");
}

// The argv or envp of a spawn: pointers into `strings`, a null last.
inline std::vector<char*> NullEnded(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (auto& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Runs args[0], looked up on PATH. The child's pid, or -1 when it cannot be run.
inline pid_t SpawnLogged(std::vector<std::string> args, std::vector<std::string> env,
                         const std::string& logFile) {
  std::vector<char*> argv = NullEnded(args), envp = NullEnded(env);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

}  // namespace vertamo::testing
