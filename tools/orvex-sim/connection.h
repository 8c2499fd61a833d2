// One client connection of the simulated server: line reading and writing on a
// socket, every wait cut short when the server stops.
#pragma once

#include <string>
#include <string_view>

namespace orvexsim {

class Connection {
 public:
  // `fd` is a connected socket, `stopFd` a descriptor that becomes readable
  // when the server stops. Neither is closed here: the server closes them.
  Connection(int fd, int stopFd) : fd_(fd), stopFd_(stopFd) {}

  // Next line from the client, ended by CR, LF or CR LF (a line that grows
  // beyond kMaxLine bytes is handed over in pieces). False when the client
  // closed the connection or the server stops.
  bool ReadLine(std::string* line);
  // Sends all bytes; false when the connection broke or the server stops.
  bool Send(std::string_view bytes);
  // Sends one byte at a time with `delayMs` between bytes.
  bool SendDrip(std::string_view bytes, int delayMs);
  // Waits `ms`; false when the server stops meanwhile.
  bool Wait(int ms);
  // Ends the connection (both directions); reads and writes fail from now on.
  void Shutdown();
  // Waits until the client closes the connection or the server stops, reading
  // and calling `onLine` for what still comes.
  template <typename F>
  void Drain(F onLine) {
    std::string line;
    while (ReadLine(&line)) onLine(line);
  }

  static constexpr size_t kMaxLine = 65536;

 private:
  // Waits until the socket is readable (or writable); false on stop.
  bool WaitReady(bool forWrite, int timeoutMs, bool* timedOut);

  int fd_;
  int stopFd_;
  std::string buffer_;
  bool afterCr_ = false;
};

}  // namespace orvexsim
