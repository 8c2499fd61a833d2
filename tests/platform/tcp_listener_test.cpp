#include "platform/tcp_listener.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace vertamo {
namespace {

TEST(TcpListener, PicksAFreePortAndSaysWhyItCannotListen) {
  const TTcpListener first = ListenTcp("127.0.0.1", 0, 4);
  ASSERT_GE(first.fd, 0);
  ASSERT_NE(first.port, 0);
  EXPECT_EQ(ListenFailure(first, "127.0.0.1", 0), "");

  // The port another listener holds.
  const TTcpListener taken = ListenTcp("127.0.0.1", first.port, 4);
  EXPECT_EQ(taken.fd, -1);
  EXPECT_EQ(taken.failedAt, TTcpListener::TFailedAt::Bind);
  EXPECT_EQ(ListenFailure(taken, "127.0.0.1", first.port),
            "127.0.0.1:" + std::to_string(first.port) + ": Address already in use");

  const TTcpListener named = ListenTcp("localhost", 0, 4);
  EXPECT_EQ(named.fd, -1);
  EXPECT_EQ(ListenFailure(named, "localhost", 0), "not an IPv4 address: localhost");
  ::close(first.fd);
}

}  // namespace
}  // namespace vertamo
