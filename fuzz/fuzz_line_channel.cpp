// Feeds arbitrary server bytes through a socket into the line channel's
// readers. The first four bytes choose the readers and the quoted-value bound;
// the rest is what the "server" sent before closing its end.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/stop_signal.h"
#include "serverlink/line_channel.h"

using vertamo::TLineChannel;
using vertamo::TStopSignal;

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t ops[4] = {0, 1, 2, 3};
  for (size_t i = 0; i < 4 && i < size; ++i) ops[i] = data[i];
  const size_t skip = size < 4 ? size : 4;
  data += skip;
  size -= skip;
  // More than the socket holds would block the writer: the tail is dropped.
  if (size > 100000) size = 100000;

  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return 0;
  const int buffer = 1 << 20;
  setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
  const bool written = WriteAll(fds[1], data, size);
  close(fds[1]);  // the server hangs up after its bytes
  if (!written) {
    close(fds[0]);
    return 0;
  }

  static TStopSignal stop;
  size_t logged = 0;
  TLineChannel channel(
      stop, [&](std::string_view m) { logged += m.size(); }, (ops[0] & 0x80) != 0);
  channel.SetReadTimeout(1000);  // never reached: the stream ends
  if (ops[1] & 0x80) channel.SetMaxQuotedValue(ops[1] & 0x7F);
  channel.Link().Adopt(fds[0]);

  std::string text;
  int number = 0;
  for (int step = 0; step < 10000 && channel.Link().Connected(); ++step) {
    switch (ops[step % 4] % 7) {
      case 0:
        if (channel.ReadLine()) Check(channel.Line().find('\r') == std::string_view::npos);
        break;
      case 1:
        channel.ExpectPrompt("Login:");
        break;
      case 2:
        if (channel.ExpectLine("OBJ")) {
          channel.LineInt(" OBJ=", number);
          channel.LineIntOpt(" IDX=", number);
          if (channel.LineStr(" NAME=", 64, text)) Check(text.size() < 64);
          if (channel.LineStrOpt(" HINT=", 1, text)) Check(text.empty());
        }
        break;
      case 3:
        if (channel.ReadQuotedData("DATA=", text)) {
          Check(text.find_first_of("\"\r\n") == std::string::npos);
          Check(text.size() <= channel.MaxQuotedValue());
        } else {
          Check(text.empty());
        }
        break;
      case 4: {
        char c;
        channel.ReadChar(c);
        break;
      }
      case 5:
        channel.ExpectLine("");  // an empty prefix never matches
        break;
      default:
        channel.DiscardInput();
        break;
    }
    Check(channel.Line().size() <= TLineChannel::kMaxLineLength);
    Check(channel.Buffered() <= TLineChannel::kReceiveBufferSize);
  }
  return 0;
}
