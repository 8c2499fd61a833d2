#include "platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vertamo {

namespace {

int OpenPidfd(int pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

void CloseFrom(int first) {
#ifdef SYS_close_range
  if (::syscall(SYS_close_range, first, ~0U, 0) == 0) return;
#endif
  for (int fd = first; fd < 1024; ++fd) ::close(fd);
}

}  // namespace

TChildProcess::~TChildProcess() { Kill(); }

bool TChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                          const std::string& logPath, std::string* error) {
  Kill();
  // The child reports a failed exec through this pipe; a successful exec
  // closes it (close-on-exec) and the parent reads nothing.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    if (error) *error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> cargv;
  for (std::string& a : argv) cargv.push_back(a.data());
  cargv.push_back(nullptr);
  const std::string log = logPath.empty() ? "/dev/null" : logPath;
  const pid_t parent = ::getpid();
  const int deathSignal = parentDeathSignal_;
  const int givenIn = in_, givenOut = out_;
  const pid_t pid = ::fork();
  if (pid < 0) {
    if (error) *error = std::string("fork: ") + std::strerror(errno);
    ::close(report[0]);
    ::close(report[1]);
    return false;
  }
  if (pid == 0) {
    // Only async-signal-safe calls from here on.
    ::prctl(PR_SET_PDEATHSIG, deathSignal);
    if (::getppid() != parent) ::_exit(127);  // the parent ended before prctl
    ::setpgid(0, 0);  // a Ctrl+C in the parent's terminal is the parent's to handle
    const bool talks = givenIn >= 0 && givenOut >= 0;
    const int in = talks ? givenIn : ::open("/dev/null", O_RDONLY);
    const int out = talks ? givenOut : ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (in < 0 || out < 0) {
      const int e = errno;
      (void)!::write(report[1], &e, sizeof e);
      ::_exit(127);
    }
    ::dup2(in, 0);
    ::dup2(out, 1);
    if (!talks) ::dup2(out, 2);
    ::dup2(report[1], 3);
    ::fcntl(3, F_SETFD, FD_CLOEXEC);
    CloseFrom(4);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_DFL);
    ::execvp(cargv[0], cargv.data());
    const int e = errno;
    (void)!::write(3, &e, sizeof e);
    ::_exit(127);
  }
  ::close(report[1]);
  int childErrno = 0;
  ssize_t n;
  do n = ::read(report[0], &childErrno, sizeof childErrno);
  while (n < 0 && errno == EINTR);
  ::close(report[0]);
  if (n == static_cast<ssize_t>(sizeof childErrno)) {
    ::waitpid(pid, nullptr, 0);
    if (error) *error = program + ": " + std::strerror(childErrno);
    return false;
  }
  pid_ = pid;
  pidfd_ = OpenPidfd(pid);
  return true;
}

bool TChildProcess::Reap(std::string* status) {
  if (pid_ <= 0) return true;
  int raw = 0;
  const pid_t r = ::waitpid(pid_, &raw, WNOHANG);
  if (r == 0) return false;
  if (status) {
    if (r < 0)
      *status = "gone";
    else if (WIFEXITED(raw))
      *status = "exit status " + std::to_string(WEXITSTATUS(raw));
    else if (WIFSIGNALED(raw))
      *status = std::string("killed by signal ") + std::to_string(WTERMSIG(raw)) + " (" + ::strsignal(WTERMSIG(raw)) + ")";
    else
      *status = "ended";
  }
  Forget();
  return true;
}

bool TChildProcess::WaitEnded(int milliseconds, std::string* status) {
  if (pid_ <= 0) return true;
  if (pidfd_ >= 0) {
    pollfd p{pidfd_, POLLIN, 0};
    ::poll(&p, 1, milliseconds);
    return Reap(status);
  }
  for (int waited = 0; waited <= milliseconds; waited += 10) {
    if (Reap(status)) return true;
    ::usleep(10000);
  }
  return false;
}

void TChildProcess::Kill() {
  if (pid_ <= 0) return;
  if (pidfd_ >= 0)
    ::syscall(SYS_pidfd_send_signal, pidfd_, SIGKILL, nullptr, 0);
  else
    ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  Forget();
}

void TChildProcess::Forget() {
  if (pidfd_ >= 0) ::close(pidfd_);
  pidfd_ = -1;
  pid_ = 0;
}

}  // namespace vertamo
