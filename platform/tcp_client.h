// A thin, non-throwing IPv4 TCP client.
//
// Used from one thread by its owner: the server connection, the voice gateway
// client and the phone-process controller. Every operation reports through its
// return value, `Status()` and `LastError()`; nothing throws.
//
// Status():
//   0  success
//   1  no socket, no address, or the connect could not be started
//   2  send or recv failed (LastError() tells why)
//   3  fewer bytes sent or received than asked (recv at the end of the
//      stream gives 3 with LastError() 0)
//  -1  another socket call (bind, connect, getsockname, ioctl) failed
//
// LastError() keeps the Winsock numbers the rest of the system relies on, so
// that its logs and decisions read the same on every platform. errno maps as:
//   EINTR 10004, EBADF 10009, EACCES/EPERM 10013, EFAULT 10014, EINVAL 10022,
//   EMFILE/ENFILE 10024, EAGAIN/EWOULDBLOCK/EINPROGRESS 10035, EALREADY 10037,
//   ENOTSOCK 10038, EDESTADDRREQ 10039, EMSGSIZE 10040, EPROTOTYPE 10041,
//   ENOPROTOOPT 10042, EPROTONOSUPPORT 10043, ESOCKTNOSUPPORT 10044,
//   EOPNOTSUPP 10045, EPFNOSUPPORT 10046, EAFNOSUPPORT 10047, EADDRINUSE 10048,
//   EADDRNOTAVAIL 10049, ENETDOWN 10050, ENETUNREACH 10051, ENETRESET 10052,
//   ECONNABORTED 10053, ECONNRESET/EPIPE 10054, ENOBUFS/ENOMEM 10055,
//   EISCONN 10056, ENOTCONN 10057, ESHUTDOWN 10058, ETIMEDOUT 10060,
//   ECONNREFUSED 10061, EHOSTDOWN 10064, EHOSTUNREACH 10065;
//   name look-up: EAI_NONAME 11001, EAI_AGAIN 11002, EAI_NODATA 11004,
//   any other EAI_ code 11003; any other errno is kept as it is (below 10000).
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vertamo {

class TStopSignal;

// The Winsock numbers that callers test.
namespace wsa {
constexpr int kInterrupted = 10004;  // WSAEINTR: a wait ended by a stop request
constexpr int kWouldBlock = 10035;   // WSAEWOULDBLOCK
constexpr int kNotSocket = 10038;    // WSAENOTSOCK: no socket open
constexpr int kAddrNotAvail = 10049;
constexpr int kConnAborted = 10053;  // WSAECONNABORTED
constexpr int kConnReset = 10054;    // WSAECONNRESET
constexpr int kShutdown = 10058;     // WSAESHUTDOWN
constexpr int kTimedOut = 10060;     // WSAETIMEDOUT
constexpr int kConnRefused = 10061;
constexpr int kHostNotFound = 11001;  // WSAHOST_NOT_FOUND
}  // namespace wsa

// errno → Winsock number, as listed above.
int WinsockErrorFromErrno(int error);
// getaddrinfo's EAI_ result → Winsock number.
int WinsockErrorFromGai(int gai_error);

class TTCPClient {
 public:
  static constexpr int kNoSocket = -1;

  enum : int { kOk = 0, kNoSocketOrAddress = 1, kIoFailed = 2, kShortTransfer = 3, kCallFailed = -1 };

  TTCPClient() = default;
  ~TTCPClient();
  TTCPClient(const TTCPClient&) = delete;
  TTCPClient& operator=(const TTCPClient&) = delete;

  // inet_addr form first, then a name look-up (IPv4, first address).
  // An empty host gives Status 1 and LastError 11001.
  bool Resolve(std::string_view host, in_addr& address);

  // Blocking connect from 0.0.0.0, any local port. Closes an open socket
  // first and zeroes the byte totals. A port outside 0..65535 fails with
  // Status 1, LastError 10049.
  bool Connect(std::string_view host, int port);

  // Starts a non-blocking connect; true when it is under way (Status 0).
  // Fails (Status 1) only when the host does not resolve, or no socket can be
  // made, bound or started. A connect refused or unreachable at once is still
  // "under way": WaitConnected then waits its full time and fails, exactly as
  // for one that fails later.
  bool ConnectAsync(std::string_view host, int port);

  // Completes ConnectAsync. True once connected (then the socket is blocking
  // again and LocalAddr() holds the local end). Not connected within the
  // time, or the connect failed: the whole time is waited, LastError 10060,
  // false (ConnectError() tells a failed connect from one still under way).
  // A stop request ends the wait at once: LastError 10004, false.
  bool WaitConnected(int milliseconds, const TStopSignal* stop = nullptr);
  // Why the last ConnectAsync failed, as the peer or the network answered it
  // (10061 refused, 10065 no route, ...); 0 while it is under way, once
  // connected, and when no answer came at all.
  int ConnectError() const { return connect_error_; }

  // Blocking (true) or non-blocking (false) mode. Without a socket: Status 1,
  // LastError 10038, false.
  bool SetBlocking(bool blocking);

  // Shuts the sending side down and closes the socket. Handle() becomes
  // kNoSocket, Connected() false, Status() 0; LastError() is kept (it still
  // tells why a connection ended) unless close itself fails. Always true.
  bool Close();

  // One send / recv call. Status 2 on an error, 3 on a short count; the count
  // goes to LastCount() and to the byte totals. True only with Status 0.
  // Without a socket: Status 1, false. Send never raises SIGPIPE.
  bool Send(const void* data, size_t length);
  bool Receive(void* buffer, size_t size);

  // Bytes waiting to be read (FIONREAD); 0 on failure (LastError set) or
  // without a socket.
  size_t Available();

  // Waits up to `milliseconds` until the socket is readable (data, end of
  // stream or an error to collect), writable, or has an exceptional
  // condition, whichever were asked. True when one of them holds.
  // `stop`, when given, ends the wait at once: false with LastError 10004.
  // A failed wait sets LastError; a time-out leaves it alone. Touches no Status.
  bool WaitSocket(bool readable, bool writable, bool error, int milliseconds,
                  const TStopSignal* stop = nullptr);

  // Reads and drops what Available() reports.
  void Drain();

  // Takes over a socket that is already connected (a socketpair end in tests
  // and fuzzing, or an accepted connection). Closes an open socket first.
  void Adopt(int socket_fd);

  int Handle() const { return handle_; }
  bool Connected() const { return connected_; }
  int Status() const { return status_; }
  bool Failed() const { return status_ != kOk; }
  const sockaddr_in& LocalAddr() const { return local_addr_; }
  const sockaddr_in& RemoteAddr() const { return remote_addr_; }
  long LastCount() const { return last_count_; }
  int LastError() const { return last_error_; }
  int64_t BytesReceived() const { return bytes_received_; }
  int64_t BytesSent() const { return bytes_sent_; }

 private:
  bool Fail(int status, int error);  // always false
  bool Succeed();                    // always true
  bool FailErrno(int status);
  bool Prepare(std::string_view host, int port);  // resolve, close, new bound socket
  void AfterTransfer(long count, size_t asked, int64_t& total);

  int handle_ = kNoSocket;
  bool connected_ = false;
  int status_ = kOk;
  sockaddr_in local_addr_{};
  sockaddr_in remote_addr_{};
  long last_count_ = 0;
  int last_error_ = 0;
  int64_t bytes_received_ = 0;
  int64_t bytes_sent_ = 0;
  // A non-blocking connect that already failed: WaitConnected only waits out
  // its time from then on.
  bool connect_failed_ = false;
  int connect_error_ = 0;
};

}  // namespace vertamo
