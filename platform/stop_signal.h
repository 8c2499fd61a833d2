// A stop request that a waiting thread can poll together with its sockets.
//
// Worker threads wait on sockets and on pauses; the owner asks them to stop
// from another thread. `TStopSignal` is an atomic flag plus an event
// descriptor that becomes readable when the flag is raised, so a wait on a
// socket and on the stop request at once ends within about a millisecond of
// the request without any busy polling.
#pragma once

#include <atomic>

namespace vertamo {

class TStopSignal {
 public:
  TStopSignal();
  ~TStopSignal();
  TStopSignal(const TStopSignal&) = delete;
  TStopSignal& operator=(const TStopSignal&) = delete;

  // Raises the flag and wakes every wait on Fd(); safe from any thread, any
  // number of times.
  void Request();
  bool IsRequested() const { return requested_.load(std::memory_order_acquire); }
  // Lowers the flag again. Meant for the owner while no other thread raises it.
  void Reset();

  // Readable (POLLIN) while a stop is requested; never read or write it
  // yourself. -1 only if the system refused an event descriptor, in which
  // case WaitFor still works, in steps of at most one millisecond.
  int Fd() const { return fd_; }

  // Sleeps up to `milliseconds` (negative: without limit) and returns as soon
  // as a stop is requested. True when a stop is requested.
  bool WaitFor(int milliseconds) const;

 private:
  std::atomic<bool> requested_{false};
  int fd_ = -1;
};

}  // namespace vertamo
