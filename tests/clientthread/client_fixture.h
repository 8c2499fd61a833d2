// A connection thread wired to recorders, a test main thread and a scripted
// server, as the thread's tests use it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>

#include "clientthread/client_test_support.h"
#include "clientthread/fake_server.h"
#include "platform/cp1251.h"
#include "serverlink/orvex_client_thread.h"
#include "settings/server_profile.h"
#include "support/temp_folder.h"
#include "transport/test_peer.h"

namespace vertamo::testing {

// A port on which nobody listens. The socket stays bound (without listening)
// for the life of the test program: a connect to it is refused, and no other
// test running meanwhile can be given the port and start listening on it.
inline int ClosedPort() {
  static const int port = [] {
    int bound = 0;
    BindLoopback(bound);  // never closed
    return bound;
  }();
  return port;
}

inline std::string U(const std::string& utf8) { return Utf8ToCp1251(utf8); }

class ClientFixture : public ::testing::Test {
 protected:
  ClientFixture() : recorder(model) {
    recorder.SetMainThread(main.Run([] { return std::this_thread::get_id(); }));
    timings.pauseMs = 300;  // the 3 s pause, shortened; observable as "Пауза..."
  }
  ~ClientFixture() override {
    if (client) StopClient();
    client.reset();
    server.reset();
  }

  void StartServer() {
    server =
        std::make_unique<TFakeServer>([this](TFakeConnection& c) { ServeScript(script, c, c.server()); });
  }

  SERVERINFO Profile(int port) const {
    SERVERINFO p = DefaultProfile();
    SetProfileText(p.Ip, "127.0.0.1");
    SetProfileText(p.Login, "dispatcher");
    SetProfileText(p.Password, U("пароль"));
    p.Port = static_cast<uint16_t>(port);
    p.Debug = debug;
    p.CacheEnable = cache;
    return p;
  }

  void StartClient(int port) {
    client =
        std::make_unique<TOrvexClientThread>(Profile(port), folder.folder(), recorder, main, &sound);
    client->SetTimings(timings);
    client->Start();
  }
  void StartClient() { StartClient(server->port()); }

  // Stops the thread from the main thread, as the main window does, and
  // fails the test (instead of hanging) when the stop does not end.
  void StopClient() {
    auto done = std::async(std::launch::async, [this] {
      main.Run([this] {
        client->Stop();
        return 0;
      });
    });
    if (done.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
      ADD_FAILURE() << "the stop did not end";
      std::abort();
    }
  }

  // Waits until the thread reports the stage (or the time runs out).
  bool WaitStage(int stage, int timeoutMs = 20000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      if (client->Stage() == stage) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }
  bool WaitFinished(int timeoutMs = 20000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      if (client->Finished()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }

  // A main-window request, asked on the main thread; waits here for its
  // answer (or its time-out), which it keeps in `answer`.
  bool Ask(const std::string& request, bool list) {
    auto promise = std::make_shared<std::promise<TRequestAnswer>>();
    main.Run([&] {
      const TAnswerHandler done = [promise](const TRequestAnswer& a) { promise->set_value(a); };
      list ? client->SendListCommand(request, requester, done) : client->SendCommand(request, requester, done);
      return 0;
    });
    answer = promise->get_future().get();
    return answer.answered;
  }
  bool SendCommand(const std::string& request) { return Ask(request, false); }
  bool SendListCommand(const std::string& request) { return Ask(request, true); }

  std::string ClientLogText() { return Cp1251ToUtf8(ReadWholeFile(folder.file("Client.log"))); }

  TempFolder folder;
  TTestMainThread main;
  TMapModel model;
  TEventRecorder recorder;
  TSoundRecorder sound;
  TServerScript script;
  TClientTimings timings;
  bool debug = true;
  bool cache = false;
  std::unique_ptr<TFakeServer> server;
  std::unique_ptr<TOrvexClientThread> client;
  std::shared_ptr<const void> requester = std::make_shared<int>(0);
  TRequestAnswer answer;  // of the last Ask
};

}  // namespace vertamo::testing
