// Why the link is down, as the connection thread tells the main window: each
// reason against a real socket or orvex-sim's faults, with the server's name,
// address and the time the link was lost.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "clientthread/client_fixture.h"
#include "sim/test_scenario.h"
#include "tools/orvex-sim/server.h"

namespace vertamo {
namespace {

using orvexsim::Fault;
using orvexsim::FaultKind;
using orvexsim::Step;

// A listening socket on a free loopback port that never accepts. With its
// accept queue full, the next connect gets no answer at all.
struct TSilentListener {
  explicit TSilentListener(bool full) {
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(fd, full ? 0 : 8);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
    if (full) filler.Connect("127.0.0.1", port);
  }
  ~TSilentListener() { ::close(fd); }
  int fd = -1, port = 0;
  TTCPClient filler;
};

struct LinkCase {
  const char* name;
  // Prepares the server side; returns the host and port to connect to.
  std::function<std::pair<std::string, int>(orvexsim::Server&, std::unique_ptr<TSilentListener>&)> server;
  TLinkFault fault;
  const char* text;
  enum { Repeats, Ends, Recovers } then;
};

void PrintTo(const LinkCase& c, std::ostream* os) { *os << c.name; }

std::pair<std::string, int> Sim(orvexsim::Server& sim, std::vector<Fault> faults) {
  auto options = simtest::QuietOptions();
  options.faults = std::move(faults);
  std::string error;
  EXPECT_TRUE(sim.Start(simtest::MakeTestScenario(), options, &error)) << error;
  return {"127.0.0.1", sim.Port()};
}

const LinkCase kCases[] = {
    {"Refused", [](auto&, auto&) { return std::pair<std::string, int>("127.0.0.1", testing::ClosedPort()); },
     TLinkFault::Refused, "соединение отклонено", LinkCase::Repeats},
    {"NoAnswerToTheConnect",
     [](auto&, auto& listener) {
       listener = std::make_unique<TSilentListener>(true);
       return std::pair<std::string, int>("127.0.0.1", listener->port);
     },
     TLinkFault::NoAnswer, "нет ответа", LinkCase::Repeats},
    {"NoAnswerToTheGreeting",
     [](auto&, auto& listener) {
       listener = std::make_unique<TSilentListener>(false);
       return std::pair<std::string, int>("127.0.0.1", listener->port);
     },
     TLinkFault::NoAnswer, "нет ответа", LinkCase::Repeats},
    {"UnknownHost", [](auto&, auto&) { return std::pair<std::string, int>("vertamo-test.invalid", 9900); },
     TLinkFault::UnknownHost, "имя сервера не найдено", LinkCase::Ends},
    {"WrongLogin", [](auto& sim, auto&) { return Sim(sim, {Fault{FaultKind::RefuseLogin, Step::Login}}); },
     TLinkFault::WrongLogin, "неверное имя или пароль", LinkCase::Ends},
    {"BadReply", [](auto& sim, auto&) { return Sim(sim, {Fault{FaultKind::GarblePrompt, Step::Greeting}}); },
     TLinkFault::BadReply, "непонятный ответ сервера", LinkCase::Repeats},
    {"ServerClosed",
     [](auto& sim, auto&) { return Sim(sim, {Fault{FaultKind::Drop, Step::GetChanges, 0, 1}}); },
     TLinkFault::ServerClosed, "сервер закрыл соединение", LinkCase::Recovers},
    {"Reload", [](auto& sim, auto&) { return Sim(sim, {Fault{FaultKind::Reload, Step::GetChanges, 0, 1}}); },
     TLinkFault::Reload, "сервер перезагружает карты", LinkCase::Recovers},
};

class LinkDown : public testing::ClientFixture, public ::testing::WithParamInterface<LinkCase> {
 protected:
  LinkDown() {
    timings.connectAttempts = 2;
    timings.connectWaitMs = 50;
    timings.readTimeoutMs = 300;
    timings.pollPeriodMs = 50;
  }
  ~LinkDown() override {
    if (client) StopClient();
    client.reset();
    sim.Stop();
  }
  orvexsim::Server sim;
  std::unique_ptr<TSilentListener> listener;
};

TEST_P(LinkDown, TellsWhyWithTheServerAndSinceWhen) {
  const LinkCase& c = GetParam();
  const auto [host, port] = c.server(sim, listener);
  SERVERINFO profile = Profile(port);
  SetProfileText(profile.Name, testing::U("Центральная"));
  SetProfileText(profile.Ip, host.c_str());
  SetProfileText(profile.Login, "disp");  // the simulator's account
  SetProfileText(profile.Password, "123");
  const auto before = std::chrono::system_clock::now();
  client = std::make_unique<TOrvexClientThread>(profile, folder.folder(), recorder, main, &sound);
  client->SetTimings(timings);
  client->Start();

  ASSERT_TRUE(recorder.WaitFor("LinkDown")) << ClientLogText();
  const TLinkDown down = recorder.LinkDowns().front();
  EXPECT_EQ(down.fault, c.fault) << recorder.Matching("LinkDown").front();
  EXPECT_EQ(recorder.Matching("LinkDown").front(), std::string("LinkDown ") + c.text);
  EXPECT_EQ(Cp1251ToUtf8(down.server), "Центральная");
  EXPECT_EQ(down.host, host);
  EXPECT_EQ(down.port, port);
  EXPECT_GE(down.since, before);
  EXPECT_LE(down.since, std::chrono::system_clock::now());
  switch (c.then) {
    case LinkCase::Ends:
      ASSERT_TRUE(WaitFinished());
      EXPECT_EQ(recorder.Count("LinkDown"), 1);
      break;
    case LinkCase::Repeats: {
      // Every later failure counts from the first one.
      ASSERT_TRUE(recorder.WaitCount("LinkDown", 2)) << ClientLogText();
      const auto downs = recorder.LinkDowns();
      EXPECT_EQ(downs[1].since, downs[0].since);
      EXPECT_EQ(downs[1].fault, c.fault);
      EXPECT_EQ(recorder.Count("LinkUp"), 0);
      // Not even the connect was answered: no greeting went out.
      if (std::string_view(c.name) == "NoAnswerToTheConnect") EXPECT_EQ(client->Attempts(), 0);
      break;
    }
    case LinkCase::Recovers: {
      // Logged in and loaded again; the next loss counts from then.
      ASSERT_TRUE(recorder.WaitCount("BuildMaps", 2)) << ClientLogText();
      const auto events = recorder.Events();
      const auto down = std::find_if(events.begin(), events.end(),
                                     [](const std::string& e) { return e.rfind("LinkDown", 0) == 0; });
      EXPECT_EQ(std::count(down, events.end(), "LinkUp"), 1);
      EXPECT_EQ(recorder.Count("LinkDown"), 1);
      break;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Reasons, LinkDown, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vertamo
