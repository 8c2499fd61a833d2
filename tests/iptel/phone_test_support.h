// What the thread tests share: a recorder for the main thread's side and the
// phone program's processes played by phone-sim in-process.
#pragma once

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <string>
#include <thread>
#include <vector>

#include "call_recorder.h"
#include "iptel/iptel_thread.h"
#include "iptel/telephony.h"
#include "tools/phone-sim/phone_sim.h"

namespace vertamo::testing {

// The bound of anything that should happen at once, and of the return of a
// lost link.
inline constexpr int kBoundMs = 5000;

// Telephony with its program and its files in `folder`, the link on `port`,
// the phone program's processes played by `processes` (none: the system's).
inline TTelephonyOptions TelephonyIn(const std::string& folder, int port,
                                     IPhoneProcesses* processes = nullptr) {
  TTelephonyOptions options;
  options.programFolder = folder;
  options.workFolder = folder;
  options.port = port;
  options.processes = processes;
  return options;
}

// The main thread's side: counts posted events and records message boxes,
// closing each at once.
class RecordingHost : public IPhoneHost {
 public:
  void PhoneEventPosted() override {
    std::lock_guard lock(mutex_);
    ++posted_;
    changed_.notify_all();
  }
  void ShowMessageBox(const TPhoneMessageBox& box, std::function<void()> done) override {
    {
      std::lock_guard lock(mutex_);
      boxes_.push_back(box);
      changed_.notify_all();
    }
    if (closeBoxes) done();
  }
  bool WaitPosted(int count, int ms = 5000) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return posted_ >= count; });
  }
  bool WaitBoxes(size_t count, int ms = 5000) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return boxes_.size() >= count; });
  }
  std::vector<TPhoneMessageBox> Boxes() {
    std::lock_guard lock(mutex_);
    return boxes_;
  }
  bool closeBoxes = true;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int posted_ = 0;
  std::vector<TPhoneMessageBox> boxes_;
};

// The phone program as phone-sim in-process on `port`: "running" while a sim
// serves there; ending it stops the sim; starting it starts a new one with
// `startOptions` and the command line.
class SimProcesses : public IPhoneProcesses {
 public:
  explicit SimProcesses(uint16_t port) : port_(port) {}
  ~SimProcesses() override = default;

  // A program already running before the workstation starts.
  phonesim::Server& RunOld(phonesim::Options options) {
    options.port = port_;
    old_ = std::make_unique<phonesim::Server>();
    std::string error;
    EXPECT_TRUE(old_->Start(options, &error)) << error;
    return *old_;
  }

  // The one running before the workstation is 4242, the one it started 4243.
  int FindPhoneProcess() override {
    std::lock_guard lock(mutex_);
    events.push_back("find");
    if (old_ && old_->Running()) return 4242;
    return started && started->Running() ? 4243 : 0;
  }
  TEndResult EndPhoneProcess(int pid) override {
    std::lock_guard lock(mutex_);
    events.push_back("end " + std::to_string(pid));
    phonesim::Server* program = pid == 4242 ? old_.get() : started.get();
    if (endResult == TEndResult::Ended && program) program->Stop();
    return endResult;
  }
  uint16_t Port() const { return port_; }
  bool ProgramExists(const std::string& path) override { return programExists; }
  bool StartPhoneProcess(const std::string& path, const std::vector<std::string>& args) override {
    std::lock_guard lock(mutex_);
    events.push_back("start");
    startedPath = path;
    startedArgs = args;
    if (!startServes) return true;
    phonesim::Options options = startOptions;
    if (!std::exchange(startedOnce_, true)) options.faults.insert(options.faults.end(), firstFaults.begin(), firstFaults.end());
    options.port = port_;
    options.commandLine = args;
    started = std::make_unique<phonesim::Server>();
    std::string error;
    return started->Start(options, &error);
  }
  void ReleasePhoneProcess() override {}
  bool GetHostName(std::string& name) override {
    if (!hostName) return false;
    name = *hostName;
    return true;
  }

  std::vector<std::string> Events() {
    std::lock_guard lock(mutex_);
    return events;
  }

  bool programExists = true;
  bool startServes = true;  // false: started, but it never listens
  TEndResult endResult = TEndResult::Ended;
  std::optional<std::string> hostName = std::string("dispatch1");
  phonesim::Options startOptions;
  std::vector<phonesim::Fault> firstFaults;  // only the first program started has these
  std::unique_ptr<phonesim::Server> started;
  std::string startedPath;
  std::vector<std::string> startedArgs;
  std::vector<std::string> events;

 private:
  uint16_t port_;
  bool startedOnce_ = false;
  std::mutex mutex_;
  std::unique_ptr<phonesim::Server> old_;
};

// What waits for the main thread, as text: the lines as they are, a loss as
// "<lost>", a return as "<restored>" or "<adopted>".
inline std::vector<std::string> Drain(TIPTELThread& thread) {
  std::vector<std::string> items;
  for (TPhoneQueued item; thread.PhoneEvents().TryPop(item);) {
    switch (item.kind) {
      case TPhoneQueued::TKind::Line: items.push_back(item.line); break;
      case TPhoneQueued::TKind::LinkUp: break;  // the first link is no return
      case TPhoneQueued::TKind::LinkLost: items.push_back("<lost>"); break;
      case TPhoneQueued::TKind::LinkRestored: items.push_back(item.adopted ? "<adopted>" : "<restored>"); break;
    }
  }
  return items;
}

// Takes what comes as the main thread would, until `count` items came or
// `ms` passed.
inline std::vector<std::string> Collect(TIPTELThread& thread, size_t count, int ms = 5000) {
  std::vector<std::string> items;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (items.size() < count && std::chrono::steady_clock::now() < deadline) {
    for (std::string& item : Drain(thread)) items.push_back(std::move(item));
    if (items.size() < count) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return items;
}

// A loopback port that was free a moment ago.
inline uint16_t FreePort() {
  phonesim::Server probe;
  phonesim::Options options;
  options.port = 0;
  std::string error;
  if (!probe.Start(options, &error)) return 0;
  const uint16_t port = probe.Port();
  probe.Stop();
  return port;
}

}  // namespace vertamo::testing
