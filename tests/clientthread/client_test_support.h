// Test doubles of the connection thread's surroundings: a "main thread" that
// runs what the thread posts, a recorder of the client events that applies them to a map
// model the way the main window does, a sound recorder, and the scripted
// dispatch server's usual behaviour.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "clientthread/fake_server.h"
#include "map/map_model.h"
#include "platform/cp1251.h"
#include "codec/base64.h"
#include "serverlink/client_events.h"
#include "support/executor_thread.h"
#include "codec/png_codec.h"

namespace vertamo::testing {

// The test's "main thread": runs what the thread posts, and Run() has it
// execute a call of the test (a stop, a request) as the main window would.
using TTestMainThread = TExecutorThread;

// Passes every task on to the main thread and counts the tasks posted and
// the tasks run.
class TPostCounter final : public IMainThreadExecutor {
 public:
  explicit TPostCounter(IMainThreadExecutor& target) : target_(target) {}
  void Post(std::function<void()> task) override {
    auto counts = counts_;
    {
      std::lock_guard<std::mutex> lock(counts->mutex);
      ++counts->posted;
    }
    counts->cv.notify_all();
    target_.Post([counts, task = std::move(task)] {
      if (task) task();
      std::lock_guard<std::mutex> lock(counts->mutex);
      ++counts->ran;
    });
  }
  void PostDelayed(std::function<void()> task, std::chrono::milliseconds delay) override {
    target_.PostDelayed(std::move(task), delay);
  }
  long Posted() const {
    std::lock_guard<std::mutex> lock(counts_->mutex);
    return counts_->posted;
  }

 private:
  struct Counts {
    std::mutex mutex;
    std::condition_variable cv;
    long posted = 0, ran = 0;
  };
  IMainThreadExecutor& target_;
  std::shared_ptr<Counts> counts_ = std::make_shared<Counts>();
};

// Records every routine as a readable UTF-8 line and applies it to the model
// as the main window does (the loaded catalogue replaces it). Checks that
// every call runs on the main thread.
class TEventRecorder final : public IClientEvents {
 public:
  explicit TEventRecorder(TMapModel& model) : model_(model) {}

  void SetMainThread(std::thread::id id) { mainId_ = id; }

  void ClearMaps() override {
    model_.Clear();
    Note("ClearMaps");
  }
  void BuildMaps(TMapModel& loaded) override {
    model_ = std::move(loaded);
    Note("BuildMaps maps=" + std::to_string(model_.MapList.Count()) + " objects=" +
         std::to_string(model_.ObjectList.Count()) + " texts=" + std::to_string(model_.TextList.Count()));
  }
  void ShowStatusText(const std::string& text) override { Note("Status " + Cp1251ToUtf8(text)); }
  void ShowProgress(int done, int total) override {
    Note("Progress " + std::to_string(done) + "/" + std::to_string(total));
  }
  void SetCounterLayout(TCounterKind c, const TCounterLayout& l) override {
    Note("CounterLayout " + Name(c) + " " + std::to_string(l.x) + "," + std::to_string(l.y) + "," +
         std::to_string(l.w) + "," + std::to_string(l.h) + " " + Cp1251ToUtf8(l.fontName));
  }
  void SetCounterValue(TCounterKind c, int value) override {
    Note("CounterValue " + Name(c) + " " + std::to_string(value));
  }
  void SetClockLayout(const TClockLayout& l) override {
    Note("ClockLayout " + std::to_string(l.x) + "," + std::to_string(l.y) + "," + std::to_string(l.w) + "," +
         std::to_string(l.h) + " " + Cp1251ToUtf8(l.fontName) + " " + std::to_string(l.color) + " " +
         std::to_string(l.fontColor) + " " + std::to_string(l.fontSize) + " " +
         std::to_string(l.transparent) + std::to_string(l.bold) + std::to_string(l.italic));
  }
  void SetSpeakerLayout(const TSpeakerLayout& l) override {
    Note("SpeakerLayout " + std::to_string(l.x) + "," + std::to_string(l.y) + "," + std::to_string(l.w) +
         "," + std::to_string(l.h) + " " + std::to_string(l.call));
  }
  void SetSpeakerCall(int call) override { Note("SpeakerCall " + std::to_string(call)); }
  void SetObjectState(int object, int index) override {
    std::string changed = "-";
    if (MAPOBJECT* o = model_.ObjectList.Get(object)) {
      o->Changed = false;
      o->SetIdx(index);
      changed = o->Changed ? "changed" : "same";
    }
    Note("State " + std::to_string(object) + " " + std::to_string(index) + " " + changed);
  }
  void SetObjectHint(int object, const std::string& hint) override {
    if (MAPOBJECT* o = model_.ObjectList.Get(object)) o->SetHint(hint);
    Note("Hint " + std::to_string(object) + " " + Cp1251ToUtf8(hint));
  }
  void SetObjectCaption(int object, const std::string& caption) override {
    if (MAPOBJECT* o = model_.ObjectList.Get(object)) o->SetCaption(caption);
    Note("Caption " + std::to_string(object) + " " + Cp1251ToUtf8(caption));
  }
  void SetObjectCapColor(int object, int color) override {
    if (MAPOBJECT* o = model_.ObjectList.Get(object)) o->SetCapColor(color);
    Note("CapColor " + std::to_string(object) + " " + std::to_string(color));
  }
  void AddLogEntry(const TLogEntry& e) override {
    std::string line =
        "Log " + std::to_string(e.object) + " " + std::to_string(e.color) + " " + std::to_string(e.fontColor);
    for (const auto& t : e.texts) line += " [" + Cp1251ToUtf8(t) + "]";
    Note(line);
  }
  void LinkDown(const TLinkDown& e) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      linkDowns_.push_back(e);
    }
    Note("LinkDown " + Cp1251ToUtf8(LinkFaultText(e.fault, e.error)));
  }
  void LinkUp() override { Note("LinkUp"); }
  std::vector<TLinkDown> LinkDowns() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return linkDowns_;
  }

  std::vector<std::string> Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }
  void Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
  }
  int Count(std::string_view prefix) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return CountLocked(prefix);
  }
  bool WaitCount(std::string_view prefix, int count, int timeoutMs = 20000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                        [&] { return CountLocked(prefix) >= count; });
  }
  bool WaitFor(std::string_view prefix, int timeoutMs = 20000) { return WaitCount(prefix, 1, timeoutMs); }
  // Events that begin with prefix, in order.
  std::vector<std::string> Matching(std::string_view prefix) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    for (const auto& e : events_)
      if (e.compare(0, prefix.size(), prefix) == 0) out.push_back(e);
    return out;
  }
  int WrongThreadCalls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return wrongThread_;
  }

 private:
  static std::string Name(TCounterKind c) {
    switch (c) {
      case TCounterKind::LiftBreak:
        return "LiftB";
      case TCounterKind::OhrAlr:
        return "OhrAlr";
      case TCounterKind::PuErr:
        return "PuErr";
    }
    return "?";
  }
  int CountLocked(std::string_view prefix) const {
    int n = 0;
    for (const auto& e : events_)
      if (e.compare(0, prefix.size(), prefix) == 0) ++n;
    return n;
  }
  void Note(std::string line) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (mainId_ != std::thread::id() && std::this_thread::get_id() != mainId_) ++wrongThread_;
      events_.push_back(std::move(line));
    }
    cv_.notify_all();
  }

  TMapModel& model_;
  std::thread::id mainId_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::string> events_;
  std::vector<TLinkDown> linkDowns_;
  int wrongThread_ = 0;
};

class TSoundRecorder final : public ISoundOutput {
 public:
  void Play(const std::string& wave) override {
    std::lock_guard<std::mutex> lock(mutex_);
    plays_.push_back(Cp1251ToUtf8(wave));
  }
  std::vector<std::string> Plays() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return plays_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> plays_;
};

// The usual behaviour of a dispatch server, with knobs. Lines are code page
// 1251 bytes (tests convert Russian texts with Utf8ToCp1251).
struct TServerScript {
  std::string loginPrompt = "Login:";
  std::string passwordPrompt = "Password:";
  std::string loginReply = "OK Full";
  std::vector<std::string> getmap{"MAPCOUNT=0", "END"};
  std::vector<std::string> getmapobj{"OBJCOUNT=0"};
  std::vector<std::string> gettext{"TEXTCOUNT=0"};
  // Runs before the usual handling of every request after the login; returns
  // true when it answered the request itself.
  std::function<bool(TFakeConnection&, const std::string&)> hook;
  // Stalls (never answers) at the step whose request begins with this text;
  // "REMOTE" stalls before the login prompt, "LOGIN" before the password
  // prompt, "PASSWORD" before the login reply.
  std::string stallAt;

  void PushChanges(std::vector<std::string> lines) {
    std::lock_guard<std::mutex> lock(mutex);
    changes.push_back(std::move(lines));
  }
  void SetReply(const std::string& request, std::vector<std::string> lines) {
    std::lock_guard<std::mutex> lock(mutex);
    replies[request] = std::move(lines);
  }
  int ChangesServed() const {
    std::lock_guard<std::mutex> lock(mutex);
    return changesServed;
  }

  mutable std::mutex mutex;
  std::deque<std::vector<std::string>> changes;  // next GETCHANGES answers (END added)
  std::map<std::string, std::vector<std::string>> replies;
  int changesServed = 0;
};

// Base64 text of a small PNG picture, as the server sends picture data.
inline std::string PictureData(int width = 2, int height = 2, uint32_t argb = 0xFF336699u) {
  Image image;
  image.width = width;
  image.height = height;
  image.argb.assign(static_cast<size_t>(width * height), argb);
  return Base64Encode(EncodePng(image));
}

// Answers for the picture requests of map `map` (a background) and of object
// `object` (a picture set of `count` pictures).
inline void ScriptPictures(TServerScript& s, int map, int object, int count) {
  const std::string data = "\"" + PictureData() + "\"";
  s.SetReply("GETPICTMAP MAP=" + std::to_string(map),
             {"MAP=" + std::to_string(map) + " W=2 H=2", "DATA=" + data});
  std::vector<std::string> set{"OBJ=" + std::to_string(object) + " PCOUNT=" + std::to_string(count) +
                               " W=2 H=2 TRANSPARENT=0"};
  for (int j = 0; j < count; ++j) set.push_back("DATA" + std::to_string(j) + "=" + data);
  s.SetReply("GETPICTIML OBJ=" + std::to_string(object), set);
}

// Serves one connection with the script. Returns when the client goes.
inline void ServeScript(TServerScript& s, TFakeConnection& c, const TFakeServer& server) {
  auto stall = [&](std::string_view at) {
    if (s.stallAt != at) return false;
    std::string ignored;
    while (!c.Ended() && !server.stopping()) c.ReadLine(ignored, 200);
    return true;
  };
  std::string line;
  if (!c.ReadLine(line)) return;  // REMOTE
  if (stall("REMOTE")) return;
  c.Send(s.loginPrompt);
  if (!c.ReadLine(line)) return;
  if (stall("LOGIN")) return;
  c.Send(s.passwordPrompt);
  if (!c.ReadLine(line)) return;
  if (stall("PASSWORD")) return;
  c.SendLine(s.loginReply);
  for (;;) {
    if (!c.ReadLine(line)) return;
    if (!s.stallAt.empty() && line.compare(0, s.stallAt.size(), s.stallAt) == 0) {
      stall(s.stallAt);
      return;
    }
    if (s.hook && s.hook(c, line)) continue;
    if (line == "GETMAP") {
      c.SendLines(s.getmap);
    } else if (line == "GETMAPOBJ") {
      c.SendLines(s.getmapobj);
    } else if (line == "GETTEXT") {
      c.SendLines(s.gettext);
    } else if (line == "GETCHANGES") {
      std::vector<std::string> lines;
      {
        std::lock_guard<std::mutex> lock(s.mutex);
        ++s.changesServed;
        if (!s.changes.empty()) {
          lines = std::move(s.changes.front());
          s.changes.pop_front();
        }
      }
      lines.push_back("END");
      c.SendLines(lines);
    } else {
      std::vector<std::string> lines;
      bool found = false;
      {
        std::lock_guard<std::mutex> lock(s.mutex);
        auto it = s.replies.find(line);
        if (it != s.replies.end()) {
          lines = it->second;
          found = true;
        }
      }
      if (found) c.SendLines(lines);
    }
  }
}

}  // namespace vertamo::testing
