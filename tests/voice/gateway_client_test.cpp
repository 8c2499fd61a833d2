// The gateway client on the wire: against a peer that writes its replies
// before each command (so what is waiting is exactly what the case says), and
// against kelmo-sim on an ephemeral port.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "tools/kelmo-sim/kelmo_sim.h"
#include "voice/kelmo_client.h"

namespace vertamo {
namespace {

// The gateway's end of a socket pair: what it writes waits in the client's
// socket before the client reads.
class Peer {
 public:
  Peer() {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) == 0) {
      fd_ = pair[0];
      clientFd_ = pair[1];
    }
  }
  ~Peer() {
    if (fd_ >= 0) ::close(fd_);
  }
  void Write(const std::string& bytes) { ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
  // Everything the client sent so far.
  std::string Sent() {
    std::string all;
    char buffer[512];
    for (ssize_t n; (n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;) all.append(buffer, n);
    return all;
  }
  void ShutWrite() { ::shutdown(fd_, SHUT_WR); }
  int fd() const { return fd_; }
  void CloseNow() {
    ::close(fd_);
    fd_ = -1;
  }
  // A client that took the greeting "220".
  void OpenReady(TKelmoClient& client) {
    Write("220 ready\r\n");
    ASSERT_TRUE(client.OpenAdopted(clientFd_));
  }
  int clientFd_ = -1;

 private:
  int fd_ = -1;
};

TEST(KelmoClient, GreetingDecidesReadiness) {
  struct Case {
    std::string greeting;
    bool ready;
  } cases[] = {{"220 Kelmo\r\n", true}, {"220\n", true}, {"221 busy\r\n", false}, {"22\r\n", false}, {"\r\n", false}};
  for (const Case& c : cases) {
    Peer peer;
    TKelmoClient client;
    peer.Write(c.greeting);
    EXPECT_EQ(client.OpenAdopted(peer.clientFd_), c.ready) << c.greeting;
    EXPECT_EQ(client.Ready(), c.ready);
    if (!c.ready) {
      int mode = -1, level = -1;
      EXPECT_FALSE(client.GetLineState(3, mode, level));
      EXPECT_EQ(mode, 3);
      EXPECT_EQ(level, 0);
      EXPECT_EQ(peer.Sent(), "") << "a client that is not ready sends nothing";
    }
  }
}

TEST(KelmoClient, LevelRepliesAndTheirBytes) {
  struct Case {
    std::string reply;
    int mode, level;
  } cases[] = {
      {"241 1500\r\n", 1, 1500}, {"250 7\r\n", 3, 7},  {"242 -12x\r\n", 2, -12},
      {"240\r\n", 0, 0},         {"9\r\n", 3, 0},      {"241 99999999999\r\n", 1, 2147483647},
  };
  for (const Case& c : cases) {
    Peer peer;
    TKelmoClient client;
    peer.OpenReady(client);
    peer.Write(c.reply);
    int mode = -1, level = -1;
    EXPECT_TRUE(client.GetLineState(3, mode, level)) << c.reply;
    EXPECT_EQ(mode, c.mode) << c.reply;
    EXPECT_EQ(level, c.level) << c.reply;
    EXPECT_EQ(peer.Sent(), "getad 3\r\n");
  }
}

TEST(KelmoClient, AReplyIsOneWholeLine) {
  Peer peer;
  TKelmoClient client;
  peer.OpenReady(client);
  int mode = -1, level = -1;
  // A reply in two segments is one reply.
  peer.Write("241 15");
  std::thread rest([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    peer.Write("00\r\n");
  });
  ASSERT_TRUE(client.GetLineState(3, mode, level));
  rest.join();
  EXPECT_EQ(client.Buffer(), "241 1500\r\n");
  EXPECT_EQ(level, 1500);

  // Over 256 bytes: 256 kept, the rest of the line dropped.
  peer.Write("241 1500" + std::string(300, ' ') + "\r\n240 7\r\n");
  ASSERT_TRUE(client.GetLineState(3, mode, level));
  EXPECT_EQ(client.Buffer().size(), 256u);
  ASSERT_TRUE(client.GetLineState(3, mode, level));
  EXPECT_EQ(client.Buffer(), "240 7\r\n");
}

// Bound: the reply's 2 s wait, plus 1 s for a loaded machine.
TEST(KelmoClient, AReplyThatNeverEndsIsCutOffAtItsWait) {
  Peer peer;
  TKelmoClient client;
  peer.OpenReady(client);
  std::atomic<bool> done = false;
  std::thread flood([&] {
    // Keeps the socket full, so that bytes are always waiting.
    const std::string bytes(4096, '7');
    while (!done) {
      pollfd writable{peer.fd(), POLLOUT, 0};
      if (::poll(&writable, 1, 10) > 0) ::send(peer.fd(), bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    }
  });
  const auto before = std::chrono::steady_clock::now();
  int mode, level;
  EXPECT_FALSE(client.GetLineState(3, mode, level));
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(3));
  EXPECT_FALSE(client.Answered());
  done = true;
  flood.join();
}

TEST(KelmoClient, SettingsAndDirections) {
  Peer peer;
  TKelmoClient client;
  peer.OpenReady(client);
  std::string text;
  peer.Write("200 20 300 1500\r\n");
  ASSERT_TRUE(client.GetSwitchSettings(text));
  EXPECT_EQ(text, "20 300 1500\r\n");
  SwitchSettings settings;
  SettingsFromText(text, settings);
  EXPECT_EQ(SettingsToText(settings), "20 300 1500");
  peer.Write("200 " + std::string(40, '9') + "\r\n");
  ASSERT_TRUE(client.GetSwitchSettings(text));
  EXPECT_EQ(text, std::string(31, '9'));
  peer.Write("500 no\r\n");
  EXPECT_FALSE(client.GetSwitchSettings(text));
  EXPECT_EQ(peer.Sent(), "getsdp\r\ngetsdp\r\ngetsdp\r\n");

  peer.Write("200 OK\r\n");
  EXPECT_TRUE(client.SetDirection(3, true));
  peer.Write("201 OK\r\n");
  EXPECT_FALSE(client.SetDirection(12, false));
  EXPECT_EQ(peer.Sent(), "setatx 3\r\nsetarx 12\r\n");
  EXPECT_TRUE(client.Ready());
}

TEST(KelmoClient, PeerClosedFailsTheCommandAFailedSendEndsTheClient) {
  Peer peer;
  TKelmoClient client;
  peer.OpenReady(client);
  int mode, level;
  peer.ShutWrite();  // readable with nothing waiting
  EXPECT_FALSE(client.GetLineState(3, mode, level));
  EXPECT_TRUE(client.Ready());

  peer.CloseNow();
  EXPECT_FALSE(client.SetDirection(3, true));
  EXPECT_FALSE(client.Ready());
  const int64_t sent = client.Connection().BytesSent();
  EXPECT_FALSE(client.GetLineState(3, mode, level));
  std::string text;
  EXPECT_FALSE(client.GetSwitchSettings(text));
  EXPECT_EQ(client.Connection().BytesSent(), sent) << "no traffic once a send failed";
}

TEST(SwitchSettingsText, ThirtyThreeCharacterScan) {
  struct Case {
    std::string text;
    SwitchSettings expected;
  } cases[] = {
      {"20 300 1500\r\n", {20, 300, 1500}},
      {"7", {7, 6, 9}},
      {"7   8", {7, 8, 9}},
      {"", {0, 6, 9}},
      {"-4 +5 x", {-4, 5, 0}},
      {"1" + std::string(30, ' ') + "2 3", {1, 2, 9}},   // the third starts at the 34th character
      {"1" + std::string(32, ' ') + "2", {1, 6, 9}},     // the second starts at the 34th character
      {std::string("1 2\0 3", 6), {1, 2, 9}},            // a zero byte ends the text
  };
  for (const Case& c : cases) {
    SwitchSettings settings{5, 6, 9};
    SettingsFromText(c.text, settings);
    EXPECT_EQ(SettingsToText(settings), SettingsToText(c.expected)) << '"' << c.text << '"';
  }
}

// Against the stand-in gateway.
class KelmoClientSim : public ::testing::Test {
 protected:
  void Start(std::vector<kelmosim::Fault> faults = {}) {
    kelmosim::Options options;
    options.port = 0;
    options.faults = std::move(faults);
    std::string error;
    ASSERT_TRUE(sim_.Start(options, &error)) << error;
  }
  kelmosim::Server sim_;
};

TEST_F(KelmoClientSim, AConversation) {
  Start();
  {
    TKelmoClient client;
    ASSERT_TRUE(client.Open("127.0.0.1", sim_.Port()));
    std::string text;
    ASSERT_TRUE(client.GetSwitchSettings(text));
    EXPECT_EQ(text, "20 300 1500\r\n");
    int mode, level;
    ASSERT_TRUE(client.GetLineState(3, mode, level));
    EXPECT_EQ(mode, 2) << "a line in a conversation listens first";
    ASSERT_TRUE(client.SetDirection(3, true));
    EXPECT_EQ(sim_.LineMode(3), 1);
    ASSERT_TRUE(client.GetLineState(3, mode, level));
    EXPECT_EQ(mode, 1);
  }
  ASSERT_TRUE(sim_.WaitFor([](auto& r) { return !r.empty() && r.back().kind == "close"; }, 5000));
  EXPECT_EQ(sim_.Received(), (std::vector<std::string>{"getsdp", "getad 3", "setatx 3", "getad 3", "quit"}));
  EXPECT_EQ(sim_.LineMode(3), 0) << "the line left its conversation with the connection";
}

TEST_F(KelmoClientSim, SilentGatewayIsNeverReadyAndIsSentNothing) {
  Start({kelmosim::Fault::Silent});
  TKelmoClient client;
  EXPECT_FALSE(client.Open("127.0.0.1", sim_.Port()));
  int mode, level;
  EXPECT_FALSE(client.GetLineState(3, mode, level));
  EXPECT_FALSE(client.SetDirection(3, true));
  client.Close();
  ASSERT_TRUE(sim_.WaitFor([](auto& r) { return !r.empty() && r.back().kind == "close"; }, 5000));
  EXPECT_EQ(sim_.Received(), std::vector<std::string>{"quit"});
}

TEST_F(KelmoClientSim, FaultyGreetingsAndUnknownCodes) {
  for (auto fault : {kelmosim::Fault::Greeting221, kelmosim::Fault::GreetingShort}) {
    Start({fault});
    TKelmoClient client;
    EXPECT_FALSE(client.Open("127.0.0.1", sim_.Port())) << int(fault);
  }
  Start({kelmosim::Fault::UnknownCode, kelmosim::Fault::Overlong});
  TKelmoClient client;
  ASSERT_TRUE(client.Open("127.0.0.1", sim_.Port()));
  int mode, level;
  ASSERT_TRUE(client.GetLineState(3, mode, level));
  EXPECT_EQ(mode, 3);
  EXPECT_EQ(client.Buffer().size(), 256u);
}

TEST_F(KelmoClientSim, AGatewayThatHangsUpEndsTheClientAtTheNextSend) {
  Start({kelmosim::Fault::CloseAfter});  // after one command
  TKelmoClient client;
  ASSERT_TRUE(client.Open("127.0.0.1", sim_.Port()));
  int mode, level;
  ASSERT_TRUE(client.GetLineState(3, mode, level));
  ASSERT_TRUE(sim_.WaitFor([](auto& r) { return r.back().kind == "close"; }, 5000));
  int commands = 0;
  while (client.Ready() && commands < 5) {
    EXPECT_FALSE(client.GetLineState(3, mode, level));
    ++commands;
  }
  EXPECT_FALSE(client.Ready()) << "the send after the hang-up fails";
}

}  // namespace
}  // namespace vertamo
