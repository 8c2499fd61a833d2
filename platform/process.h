// Processes: what the telephony needs to run its phone program.
//
// A program is started without a shell, from an argument list, in a session
// of its own (no controlling terminal), with standard input and output on
// /dev/null and no other descriptor of ours. A running program is found by
// scanning /proc for processes of the same user whose executable is the
// expected file, and ended through a process descriptor (pidfd), so a number
// that was reused meanwhile is never hit.
#pragma once

#include <string>
#include <vector>

namespace vertamo {

// Starts `path` with `args` (argv[1]...) and the caller's environment, in
// `folder` (empty: the caller's current folder). The process id, or 0 with
// `error` (errno) set.
int SpawnDetached(const std::string& path, const std::vector<std::string>& args, int* error = nullptr,
                  const std::string& folder = {});

// The first process (lowest id) other than this one that belongs to this
// user and runs the executable `path` (compared after resolving links; an
// executable replaced on the disk still counts). 0 when none.
int FindProcessByExecutable(const std::string& path);

// This user's processes other than this one, in rising order of id.
std::vector<int> OwnProcesses();
// A process's executable (links resolved; " (deleted)" after it when the
// file was replaced), its arguments (argv[0] first) and its current folder
// (links resolved); empty when they cannot be read (gone, not ours).
std::string ProcessExecutable(int pid);
std::vector<std::string> ProcessArguments(int pid);
std::string ProcessFolder(int pid);
// Whether the process holds a TCP socket listening on `port` of 127.0.0.1 or
// of every address.
bool ProcessListensOnLoopback(int pid, int port);
// Whether `path` names the same executable as `executable` does (after
// resolving links; a file replaced since it started still counts).
bool SameExecutable(const std::string& executable, const std::string& path);

// A descriptor that stands for the process; -1 with `error` set when it
// cannot be had (the process is gone).
int OpenProcessHandle(int pid, int* error = nullptr);
// Kills the process (SIGKILL); false with `error` set when refused.
bool TerminateProcessHandle(int handle, int* error = nullptr);
void CloseProcessHandle(int handle);

// Collects an ended child of ours; true when it had ended (or is not ours).
bool ReapChild(int pid);

// Whether a process with this id exists (a zombie counts as gone).
bool ProcessAlive(int pid);

// This computer's host name; false when it cannot be had.
bool GetHostName(std::string& name);

}  // namespace vertamo
