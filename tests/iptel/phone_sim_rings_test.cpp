// phone-sim's scripted rings that come again, over a raw control connection.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "tools/phone-sim/phone_sim.h"

namespace {

constexpr int kBoundMs = 5000;  // for anything that should happen at once

using Record = std::vector<phonesim::RecordEntry>;

size_t Count(const Record& record, const std::string& kind, const std::string& prefix = "") {
  return std::count_if(record.begin(), record.end(), [&](const phonesim::RecordEntry& e) {
    return e.kind == kind && e.text.rfind(prefix, 0) == 0;
  });
}

TEST(PhoneSimRings, ComeAgainAndAreMissedWhileTheLineIsBusy) {
  phonesim::Options options;
  options.port = 0;
  options.answerDelayMs = 10;
  options.rings = {{20, "Post [10.0.0.5]"}};
  options.ringRepeatMs = 60;
  phonesim::Server sim;
  std::string error;
  ASSERT_TRUE(sim.Start(options, &error)) << error;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(sim.Port());
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  auto send = [fd](const std::string& message) {
    ::send(fd, message.c_str(), message.size() + 1, MSG_NOSIGNAL);  // with its zero byte
  };
  // Refused each time, the ring comes back.
  for (size_t rings = 1; rings <= 3; ++rings) {
    ASSERT_TRUE(sim.WaitFor([&](const Record& r) { return Count(r, "out", "RING Post") >= rings; }, kBoundMs))
        << "ring " << rings;
    send("n");
  }
  // A map call is answered after the delay; the ring that falls due during it
  // is missed, and the next one after the hang-up rings again.
  send("c 3*7*1@127.0.0.2");
  ASSERT_TRUE(sim.WaitFor([](const Record& r) { return Count(r, "out", "CALL 3*7*1@127.0.0.2") == 1; }, kBoundMs));
  ASSERT_TRUE(sim.WaitFor([](const Record& r) { return Count(r, "missed", "Post") >= 1; }, kBoundMs));
  const Record during = sim.Record();
  const auto call = std::find_if(during.begin(), during.end(), [](const auto& e) { return e.kind == "call"; });
  EXPECT_EQ(std::count_if(call, during.end(), [](const auto& e) { return e.text.rfind("RING", 0) == 0; }), 0);
  send("h");
  const size_t before = Count(during, "out", "RING Post");
  EXPECT_TRUE(sim.WaitFor([&](const Record& r) { return Count(r, "out", "RING Post") > before; }, kBoundMs));
  ::close(fd);
}

}  // namespace
