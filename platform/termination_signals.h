// SIGTERM and SIGINT as bytes on a pipe, so that the event loop of the
// workstation closes its window the ordinary way (settings saved) when the
// session ends, `kill` is used, or Ctrl+C is pressed in a terminal.
//
// The pipe is a property of the process, as signal dispositions are: there is
// one, created by the first call. Each call (re)installs the handlers; a
// handler serves one signal and then restores the default action, so a second
// SIGTERM ends a program that is stuck while closing.
#pragma once

namespace vertamo {

// The read end of the pipe (non-blocking, close-on-exec); -1 when the system
// refused a pipe.
int InstallTerminationPipe();

// The number of one signal waiting on the pipe, 0 when none is waiting.
int TakeTerminationSignal(int readFd);

// For a program that serves until it is told to end (the simulators): SIGINT
// and SIGTERM are blocked in the calling thread, and in every thread it starts
// afterwards, so that they wait for WaitForTerminationSignal.
void BlockTerminationSignals();
// Waits for SIGINT or SIGTERM and gives its number; with a time limit (ms),
// 0 when none came within it.
int WaitForTerminationSignal(int timeoutMs = -1);

}  // namespace vertamo
