#include "platform/termination_signals.h"

#include <cerrno>
#include <mutex>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace vertamo {
namespace {

// A signal handler can reach nothing else: the pipe of the process.
int g_readFd = -1;
int g_writeFd = -1;
std::once_flag g_pipeOnce;

void OnTerminationSignal(int signal) {
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(signal);
  [[maybe_unused]] const ssize_t n = ::write(g_writeFd, &byte, 1);
  errno = saved;
}

}  // namespace

int InstallTerminationPipe() {
  std::call_once(g_pipeOnce, [] {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    g_readFd = fds[0];
    g_writeFd = fds[1];
  });
  if (g_readFd < 0) return -1;
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
  return g_readFd;
}

int TakeTerminationSignal(int readFd) {
  unsigned char byte = 0;
  ssize_t n;
  do {
    n = ::read(readFd, &byte, 1);
  } while (n < 0 && errno == EINTR);
  return n == 1 ? byte : 0;
}

namespace {

sigset_t TerminationSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  return signals;
}

}  // namespace

void BlockTerminationSignals() {
  const sigset_t signals = TerminationSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

int WaitForTerminationSignal(int timeoutMs) {
  const sigset_t signals = TerminationSignals();
  if (timeoutMs >= 0) {
    const timespec limit{timeoutMs / 1000, static_cast<long>(timeoutMs % 1000) * 1000 * 1000};
    const int received = sigtimedwait(&signals, nullptr, &limit);
    return received > 0 ? received : 0;
  }
  int received = 0;
  while (sigwait(&signals, &received) != 0) {
  }
  return received;
}

}  // namespace vertamo
