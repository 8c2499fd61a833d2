// A child process that lives no longer than its parent: the engine a program
// drives (the phone program's baresip). The child gets a signal when the
// parent ends, however it ends (the kill signal unless told otherwise), and
// the parent watches it through a
// process descriptor (pidfd), which a poll can wait on and which never hits a
// process number reused meanwhile.
#pragma once

#include <csignal>
#include <string>
#include <vector>

namespace vertamo {

class TChildProcess {
 public:
  TChildProcess() = default;
  ~TChildProcess();  // Kill()
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  // Starts `program` (looked up on the PATH when it has no "/") with `args`
  // (argv[1]...), standard input on /dev/null and standard output and error
  // appended to `logPath` (/dev/null when empty), no other descriptor of ours.
  // False with `error` (why, in words) when it cannot be run, including a
  // program that does not exist.
  bool Start(const std::string& program, const std::vector<std::string>& args, const std::string& logPath,
             std::string* error);

  // The signal the child gets when the parent ends, for the next Start: one
  // it can end on in good order (SIGTERM), where ending so matters to others.
  void SetParentDeathSignal(int signal) { parentDeathSignal_ = signal; }
  // For the next Start: the child reads `in` and writes `out` (the parent's
  // ends of two pipes, say) in place of /dev/null and the log, and writes its
  // errors where the parent does, for a child that talks with its parent.
  void SetStandardStreams(int in, int out) {
    in_ = in;
    out_ = out;
  }

  bool Running() const { return pid_ > 0; }
  int Pid() const { return pid_; }
  // Readable once the child has ended; -1 when none runs.
  int Fd() const { return pidfd_; }

  // Collects a child that has ended: true (and `status` says how it ended)
  // when it had; false while it runs.
  bool Reap(std::string* status = nullptr);
  // Waits up to `milliseconds` for the child to end and collects it.
  bool WaitEnded(int milliseconds, std::string* status = nullptr);
  // Kills the child (SIGKILL) and collects it.
  void Kill();

 private:
  void Forget();
  int pid_ = 0;
  int pidfd_ = -1;
  int parentDeathSignal_ = SIGKILL;
  int in_ = -1, out_ = -1;
};

}  // namespace vertamo
