// What the benchmarks measure with and stand in with, shared by them.
#pragma once

#include <time.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "iptel/iptel_thread.h"

namespace vertamo::bench {

// Processor time of the calling thread: a batch's own work, apart from the
// time the machine gave to other threads meanwhile.
inline double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Resident memory of this process (its simulator threads included), in MB.
inline double ResidentMb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  return 0;
}

// A phone program that is never there to find, end or start: the benchmark
// connects the telephony thread to its simulator itself.
class NoPhoneProcesses : public IPhoneProcesses {
 public:
  int FindPhoneProcess() override { return 0; }
  TEndResult EndPhoneProcess(int) override { return TEndResult::Ended; }
  bool ProgramExists(const std::string&) override { return false; }
  bool StartPhoneProcess(const std::string&, const std::vector<std::string>&) override { return false; }
  void ReleasePhoneProcess() override {}
  bool GetHostName(std::string&) override { return false; }
};

}  // namespace vertamo::bench
