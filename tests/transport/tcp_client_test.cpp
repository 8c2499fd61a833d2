#include "platform/tcp_client.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <netdb.h>
#include <cerrno>
#include <string>
#include <thread>

#include "platform/stop_signal.h"
#include "transport/test_peer.h"

namespace vertamo {
namespace {

using testing::RefusingPort;
using testing::TestListener;
using testing::TestPeer;

TEST(WinsockErrors, ErrnoMapsToTheNumbersTheSystemTests) {
  const struct {
    int error;
    int winsock;
  } cases[] = {
      {0, 0},
      {EINTR, 10004},
      {EAGAIN, 10035},
      {EWOULDBLOCK, 10035},
      {EINPROGRESS, 10035},  // a non-blocking connect under way
      {EBADF, 10009},
      {ENOTSOCK, 10038},
      {EADDRINUSE, 10048},
      {EADDRNOTAVAIL, 10049},
      {ENETUNREACH, 10051},
      {ECONNABORTED, 10053},
      {ECONNRESET, 10054},
      {EPIPE, 10054},
      {ENOTCONN, 10057},
      {ESHUTDOWN, 10058},
      {ETIMEDOUT, 10060},
      {ECONNREFUSED, 10061},
      {EHOSTUNREACH, 10065},
      {EDOM, EDOM},  // nothing to map: kept
  };
  for (const auto& c : cases) EXPECT_EQ(WinsockErrorFromErrno(c.error), c.winsock) << "errno " << c.error;
  EXPECT_EQ(WinsockErrorFromGai(EAI_NONAME), 11001);
  EXPECT_EQ(WinsockErrorFromGai(EAI_AGAIN), 11002);
  EXPECT_EQ(WinsockErrorFromGai(EAI_FAIL), 11003);
}

TEST(TcpClient, ResolveTakesDottedAddressesAndNames) {
  TTCPClient client;
  in_addr a{};
  ASSERT_TRUE(client.Resolve("127.0.0.1", a));
  EXPECT_EQ(ntohl(a.s_addr), 0x7F000001u);
  EXPECT_EQ(client.Status(), 0);
  ASSERT_TRUE(client.Resolve("0.0.0.0", a));
  EXPECT_EQ(a.s_addr, 0u);
  ASSERT_TRUE(client.Resolve("localhost", a));
  EXPECT_EQ(ntohl(a.s_addr) >> 24, 127u);
}

TEST(TcpClient, ResolveFailuresGiveStatusOne) {
  TTCPClient client;
  in_addr a{};
  EXPECT_FALSE(client.Resolve("", a));
  EXPECT_EQ(client.Status(), 1);
  EXPECT_EQ(client.LastError(), 11001);
  EXPECT_FALSE(client.Resolve("no-such-host.invalid", a));
  EXPECT_EQ(client.Status(), 1);
  // Without a resolver the look-up may fail with "try again" instead.
  EXPECT_GE(client.LastError(), 11001);
  EXPECT_LE(client.LastError(), 11004);
}

TEST(TcpClient, WithoutASocketEveryOperationFailsQuietly) {
  TTCPClient client;
  char buf[4];
  EXPECT_EQ(client.Handle(), TTCPClient::kNoSocket);
  EXPECT_FALSE(client.Connected());

  EXPECT_FALSE(client.SetBlocking(true));
  EXPECT_EQ(client.Status(), 1);
  EXPECT_EQ(client.LastError(), 10038);

  EXPECT_FALSE(client.Send("x", 1));
  EXPECT_EQ(client.Status(), 1);
  EXPECT_FALSE(client.Receive(buf, sizeof buf));
  EXPECT_EQ(client.Status(), 1);
  EXPECT_TRUE(client.Failed());
  EXPECT_EQ(client.Available(), 0u);
  EXPECT_FALSE(client.WaitSocket(true, true, true, 0));
  EXPECT_FALSE(client.WaitConnected(0));
  client.Drain();
  EXPECT_TRUE(client.Close());
  EXPECT_EQ(client.Status(), 0);
}

TEST(TcpClient, PortOutsideTheRangeIsRefusedBeforeAnySocket) {
  TTCPClient client;
  EXPECT_FALSE(client.Connect("127.0.0.1", 70000));
  EXPECT_EQ(client.Status(), 1);
  EXPECT_EQ(client.LastError(), 10049);
  EXPECT_FALSE(client.ConnectAsync("127.0.0.1", -1));
  EXPECT_EQ(client.Handle(), TTCPClient::kNoSocket);
}

TEST(TcpClient, UnresolvableHostFailsConnectAsync) {
  TTCPClient client;
  EXPECT_FALSE(client.ConnectAsync("", 9900));
  EXPECT_EQ(client.Status(), 1);
  EXPECT_EQ(client.Handle(), TTCPClient::kNoSocket);
}

TEST(TcpClient, BlockingConnectFillsBothAddresses) {
  TestListener listener;
  TTCPClient client;
  ASSERT_TRUE(client.Connect("127.0.0.1", listener.port()));
  EXPECT_TRUE(client.Connected());
  EXPECT_EQ(client.Status(), 0);
  EXPECT_EQ(client.LastError(), 0);
  EXPECT_NE(client.Handle(), TTCPClient::kNoSocket);
  EXPECT_EQ(ntohs(client.RemoteAddr().sin_port), listener.port());
  EXPECT_EQ(ntohl(client.RemoteAddr().sin_addr.s_addr), 0x7F000001u);
  EXPECT_NE(client.LocalAddr().sin_port, 0);
  TestPeer peer(listener.Accept());
  EXPECT_TRUE(peer.valid());
}

TEST(TcpClient, BlockingConnectToARefusingPortFails) {
  RefusingPort port;
  TTCPClient client;
  EXPECT_FALSE(client.Connect("127.0.0.1", port.port()));
  EXPECT_EQ(client.Status(), -1);
  EXPECT_EQ(client.LastError(), 10061);
  EXPECT_FALSE(client.Connected());
}

TEST(TcpClient, AsyncConnectCompletesAndLeavesTheSocketBlocking) {
  TestListener listener;
  TTCPClient client;
  ASSERT_TRUE(client.ConnectAsync("127.0.0.1", listener.port()));
  EXPECT_EQ(client.Status(), 0);
  bool connected = false;
  for (int i = 0; i < 50 && !connected; ++i) connected = client.WaitConnected(100);
  ASSERT_TRUE(connected);
  EXPECT_TRUE(client.Connected());
  EXPECT_NE(client.LocalAddr().sin_port, 0);
  EXPECT_TRUE(client.WaitConnected(0));  // already connected

  TestPeer peer(listener.Accept());
  ASSERT_TRUE(peer.Send("hello"));
  char buf[5];
  // A blocking receive waits for all five bytes to be there.
  ASSERT_TRUE(client.WaitSocket(true, false, false, 5000));
  ASSERT_TRUE(client.Receive(buf, 5));
  EXPECT_EQ(std::string(buf, 5), "hello");
}

TEST(TcpClient, AsyncConnectToARefusingPortNeverCompletes) {
  RefusingPort port;
  TTCPClient client;
  // Starting works: the refusal shows only in the waits.
  ASSERT_TRUE(client.ConnectAsync("127.0.0.1", port.port()));
  EXPECT_EQ(client.Status(), 0);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(client.WaitConnected(30));
    EXPECT_EQ(client.LastError(), 10060);
    EXPECT_FALSE(client.Connected());
  }
  // Reusable afterwards: a second connect closes the failed socket.
  TestListener listener;
  ASSERT_TRUE(client.ConnectAsync("127.0.0.1", listener.port()));
  EXPECT_TRUE(client.WaitConnected(5000));
}

TEST(TcpClient, StopEndsTheConnectWait) {
  RefusingPort port;
  TStopSignal stop;
  TTCPClient client;
  ASSERT_TRUE(client.ConnectAsync("127.0.0.1", port.port()));
  std::thread requester([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop.Request();
  });
  // Ten minutes: only the stop can end this wait in a passing run.
  EXPECT_FALSE(client.WaitConnected(600000, &stop));
  EXPECT_EQ(client.LastError(), 10004);
  requester.join();
}

TEST(TcpClient, SendAndReceiveCountBytes) {
  TestListener listener;
  TTCPClient client;
  ASSERT_TRUE(client.Connect("127.0.0.1", listener.port()));
  TestPeer peer(listener.Accept());

  ASSERT_TRUE(client.Send("abc", 3));
  EXPECT_EQ(client.LastCount(), 3);
  EXPECT_EQ(client.BytesSent(), 3);
  EXPECT_EQ(peer.Read(3), "abc");

  ASSERT_TRUE(peer.Send("12345"));
  ASSERT_TRUE(client.WaitSocket(true, false, false, 5000));
  char buf[16];
  // Asking for more than is there: a short count, Status 3.
  while (client.Available() < 5) client.WaitSocket(true, false, false, 10);
  EXPECT_FALSE(client.Receive(buf, sizeof buf));
  EXPECT_EQ(client.Status(), 3);
  EXPECT_EQ(client.LastError(), 0);
  EXPECT_EQ(client.LastCount(), 5);
  EXPECT_EQ(client.BytesReceived(), 5);

  // A new connect zeroes the totals.
  ASSERT_TRUE(client.Connect("127.0.0.1", listener.port()));
  EXPECT_EQ(client.BytesSent(), 0);
  EXPECT_EQ(client.BytesReceived(), 0);
}

TEST(TcpClient, AvailableAndDrain) {
  TestListener listener;
  TTCPClient client;
  ASSERT_TRUE(client.Connect("127.0.0.1", listener.port()));
  TestPeer peer(listener.Accept());
  const std::string block(50000, 'z');
  ASSERT_TRUE(peer.Send(block));
  while (client.Available() < block.size()) ASSERT_TRUE(client.WaitSocket(true, false, false, 5000));
  EXPECT_EQ(client.Available(), block.size());
  client.Drain();
  EXPECT_EQ(client.Available(), 0u);
  EXPECT_EQ(client.BytesReceived(), static_cast<int64_t>(block.size()));
  EXPECT_FALSE(client.WaitSocket(true, false, false, 0));
}

TEST(TcpClient, EndOfStreamAndResetAreTold) {
  TestListener listener;
  TTCPClient client;
  char buf[4];

  ASSERT_TRUE(client.Connect("127.0.0.1", listener.port()));
  TestPeer graceful(listener.Accept());
  graceful.CloseGracefully();
  ASSERT_TRUE(client.WaitSocket(true, false, false, 5000));
  EXPECT_EQ(client.Available(), 0u);
  EXPECT_FALSE(client.Receive(buf, 1));
  EXPECT_EQ(client.LastCount(), 0);
  EXPECT_EQ(client.Status(), 3);
  EXPECT_EQ(client.LastError(), 0);

  ASSERT_TRUE(client.Connect("127.0.0.1", listener.port()));
  TestPeer aborted(listener.Accept());
  aborted.Reset();
  ASSERT_TRUE(client.WaitSocket(true, false, false, 5000));
  EXPECT_FALSE(client.Receive(buf, 1));
  EXPECT_EQ(client.LastCount(), -1);
  EXPECT_EQ(client.Status(), 2);
  EXPECT_EQ(client.LastError(), 10054);
  // Writing to the dropped connection: no signal, the same error number.
  EXPECT_FALSE(client.Send("x", 1));
  EXPECT_EQ(client.Status(), 2);
  EXPECT_EQ(client.LastError(), 10054);

  // Close keeps the reason and clears the rest.
  EXPECT_TRUE(client.Close());
  EXPECT_EQ(client.Status(), 0);
  EXPECT_EQ(client.LastError(), 10054);
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(client.Handle(), TTCPClient::kNoSocket);
}

TEST(TcpClient, WaitSocketTimesOutQuietlyAndStopsOnRequest) {
  TestListener listener;
  TTCPClient client;
  ASSERT_TRUE(client.Connect("127.0.0.1", listener.port()));
  TestPeer peer(listener.Accept());

  EXPECT_FALSE(client.WaitSocket(true, false, false, 10));
  EXPECT_EQ(client.LastError(), 0);
  EXPECT_EQ(client.Status(), 0);
  EXPECT_TRUE(client.WaitSocket(false, true, false, 1000));

  TStopSignal stop;
  std::thread requester([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop.Request();
  });
  EXPECT_FALSE(client.WaitSocket(true, false, false, 600000, &stop));
  EXPECT_EQ(client.LastError(), 10004);
  requester.join();
  // A raised stop ends a wait before it starts, even with data waiting.
  ASSERT_TRUE(peer.Send("x"));
  EXPECT_FALSE(client.WaitSocket(true, false, false, 1000, &stop));
  stop.Reset();
  EXPECT_TRUE(client.WaitSocket(true, false, false, 5000, &stop));
}

TEST(TcpClient, AdoptTakesOverAConnectedSocket) {
  int fds[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
  TestPeer other(fds[1]);
  TTCPClient client;
  client.Adopt(fds[0]);
  EXPECT_TRUE(client.Connected());
  EXPECT_EQ(client.Handle(), fds[0]);
  ASSERT_TRUE(client.Send("ping", 4));
  EXPECT_EQ(other.Read(4), "ping");
}

TEST(TcpClient, TwoClientsSideBySide) {
  TestListener listener;
  TTCPClient a, b;
  ASSERT_TRUE(a.Connect("127.0.0.1", listener.port()));
  ASSERT_TRUE(b.Connect("127.0.0.1", listener.port()));
  TestPeer pa(listener.Accept()), pb(listener.Accept());
  EXPECT_NE(a.LocalAddr().sin_port, b.LocalAddr().sin_port);
  a.Close();
  EXPECT_TRUE(b.Connected());
  EXPECT_TRUE(b.Send("y", 1));
}

}  // namespace
}  // namespace vertamo
