// Shared set-up of the load step tests: a scripted server on loopback, a line
// channel connected to it, a model, a notifier whose posts run inline with a
// recorder of the main-thread events, and "Client.log" in a fresh work folder.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "map/map_model.h"
#include "platform/cp1251.h"
#include "platform/stop_signal.h"
#include "serverlink/client_events.h"
#include "serverlink/client_log.h"
#include "serverlink/line_channel.h"
#include "serverlink/load_context.h"
#include "serverlink/picture_cache.h"
#include "support/scripted_server.h"
#include "support/temp_folder.h"

namespace vertamo::testing {

inline std::string Cp(const std::string& utf8) { return Utf8ToCp1251(utf8); }
inline std::string Utf8(const std::string& cp1251) { return Cp1251ToUtf8(cp1251); }

// Records every main-thread event as one readable UTF-8 line.
class RecordingEvents : public IClientEvents {
 public:
  void ClearMaps() override { Add("ClearMaps"); }
  void BuildMaps(TMapModel&) override { Add("BuildMaps"); }
  void ShowStatusText(const std::string& text) override {
    statuses.push_back(Utf8(text));
    Add("status " + Utf8(text));
  }
  void ShowProgress(int done, int total) override {
    progress.push_back(std::to_string(done) + "/" + std::to_string(total));
  }
  void SetCounterLayout(TCounterKind counter, const TCounterLayout& l) override {
    Add("layout " + Name(counter) + " " + Box(l.x, l.y, l.w, l.h) + " font=" + Utf8(l.fontName));
  }
  void SetCounterValue(TCounterKind counter, int value) override {
    Add("value " + Name(counter) + " " + std::to_string(value));
  }
  void SetClockLayout(const TClockLayout& l) override {
    std::ostringstream s;
    s << "clock " << Box(l.x, l.y, l.w, l.h) << " font=" << Utf8(l.fontName) << " color=" << l.color
      << " fontColor=" << l.fontColor << " size=" << l.fontSize << " transparent=" << l.transparent
      << " bold=" << l.bold << " italic=" << l.italic;
    Add(s.str());
  }
  void SetSpeakerLayout(const TSpeakerLayout& l) override {
    Add("speaker " + Box(l.x, l.y, l.w, l.h) + " call=" + std::to_string(l.call));
  }
  void SetSpeakerCall(int call) override { Add("call " + std::to_string(call)); }
  void SetObjectState(int object, int index) override { Add("state"); }
  void SetObjectHint(int object, const std::string& hint) override { Add("hint"); }
  void SetObjectCaption(int object, const std::string& caption) override { Add("caption"); }
  void SetObjectCapColor(int object, int color) override { Add("capcolor"); }
  void AddLogEntry(const TLogEntry& entry) override { Add("log"); }

  // Events other than status texts.
  std::vector<std::string> widgets;
  std::vector<std::string> statuses;
  std::vector<std::string> progress;  // "done/total" of every progress post

 private:
  void Add(const std::string& line) {
    if (line.rfind("status ", 0) != 0) widgets.push_back(line);
  }
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
  static std::string Box(int x, int y, int w, int h) {
    return std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(w) + "," + std::to_string(h);
  }
};

class LoadFixture : public ::testing::Test {
 protected:
  void SetUp() override { Start(true); }

  // (Re)creates the client side with the profile's Debug switch; the server
  // and the work folder stay.
  void Start(bool debug, bool cacheEnable = false) {
    ctx.reset();
    notifier.reset();
    channel.reset();
    log = std::make_unique<TClientLog>(work.path(), debug);
    channel = std::make_unique<TLineChannel>(
        stop, [this](std::string_view message) { log->WriteLine(message); }, debug);
    channel->SetReadTimeout(5000);
    notifier = std::make_unique<TClientNotifier>(executor, events);
    ctx = std::make_unique<TLoadContext>(
        TLoadContext{*channel, model, *notifier, *log, {}, cacheEnable, CacheFolderIn(work.path())});
  }

  // Connects the channel to the scripted server; call after scripting it.
  void Connect() {
    const int port = server->ListenLoopback();
    ASSERT_NE(port, 0);
    ASSERT_TRUE(channel->Link().ConnectAsync("127.0.0.1", port));
    ASSERT_TRUE(channel->Link().WaitConnected(5000));
  }

  // A second connection (a reconnect) to a fresh server, same work folder.
  void Reconnect(bool cacheEnable) {
    channel->Link().Close();
    server = std::make_unique<ScriptedServer>();
    Start(log->DebugEnabled(), cacheEnable);
  }

  // Closes the server's side shortly after it has answered `request`.
  void StopServerAfter(const std::string& request) {
    closer = std::thread([this, request] {
      while (!server->Received(request)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      server->Stop();
    });
  }
  void TearDown() override {
    if (closer.joinable()) closer.join();
  }

  // "Client.log" as UTF-8 messages, without their time stamps.
  std::vector<std::string> LogLines() const {
    std::vector<std::string> lines;
    const std::string all = ReadWholeFile(log->Path());
    size_t start = 0;
    for (size_t end; (end = all.find("\r\n", start)) != std::string::npos; start = end + 2) {
      const std::string line = all.substr(start, end - start);
      lines.push_back(Utf8(line.size() >= 16 ? line.substr(16) : line));
    }
    return lines;
  }
  bool Logged(const std::string& utf8) const {
    for (const std::string& line : LogLines())
      if (line == utf8) return true;
    return false;
  }
  std::string LogText() const {
    std::string all;
    for (const std::string& line : LogLines()) all += line + "\n";
    return all;
  }

  TempFolder work;
  std::unique_ptr<ScriptedServer> server = std::make_unique<ScriptedServer>();
  TStopSignal stop;
  std::unique_ptr<TClientLog> log;
  std::unique_ptr<TLineChannel> channel;
  TMapModel model;
  TInlineExecutor executor;
  RecordingEvents events;
  std::unique_ptr<TClientNotifier> notifier;
  // For a load that decodes as the connection thread does; it outlives ctx.
  TDecodePool pool{3};
  std::unique_ptr<TLoadContext> ctx;
  std::thread closer;
};

}  // namespace vertamo::testing
