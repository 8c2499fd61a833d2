// What the thread tests share: a recorder for the main thread's side and the
// phone program's processes played by phone-sim in-process.
#pragma once

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "call_recorder.h"
#include "iptel/iptel_thread.h"
#include "tools/phone-sim/phone_sim.h"

namespace vertamo::testing {

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

  int FindPhoneProcess() override {
    std::lock_guard lock(mutex_);
    events.push_back("find");
    return old_ && old_->Running() ? 4242 : 0;
  }
  TEndResult EndPhoneProcess(int pid) override {
    std::lock_guard lock(mutex_);
    events.push_back("end " + std::to_string(pid));
    if (endResult == TEndResult::Ended && old_) old_->Stop();
    return endResult;
  }
  bool ProgramExists(const std::string& path) override { return programExists; }
  bool StartPhoneProcess(const std::string& path, const std::vector<std::string>& args) override {
    std::lock_guard lock(mutex_);
    events.push_back("start");
    startedPath = path;
    startedArgs = args;
    if (!startServes) return true;
    phonesim::Options options = startOptions;
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
  std::unique_ptr<phonesim::Server> started;
  std::string startedPath;
  std::vector<std::string> startedArgs;
  std::vector<std::string> events;

 private:
  uint16_t port_;
  std::mutex mutex_;
  std::unique_ptr<phonesim::Server> old_;
};

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
