// Feeds arbitrary gateway bytes through a socket into the gateway client: the
// greeting, then replies to a mix of commands chosen by the first byte, until
// a command finds nothing more waiting (a reply is a whole line, so an
// over-long one takes more than the 256 bytes it keeps). The gateway stops sending after its
// bytes but keeps reading the commands, so they still leave.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "voice/kelmo_client.h"

using vertamo::TKelmoClient;

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mix = data[0];
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size > 4097 ? 4096 : size - 1);

  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return 0;
  if (write(fds[1], bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
    close(fds[0]);
    close(fds[1]);
    return 0;
  }
  shutdown(fds[1], SHUT_WR);

  {
    TKelmoClient client;
    client.OpenAdopted(fds[0]);
    Check(client.Ready() == (bytes.substr(0, 3) == "220" && bytes.find('\n') != std::string_view::npos));
    Check(client.Buffer().size() <= TKelmoClient::kBufferSize);
    for (int i = 0; client.Ready(); ++i) {
      const int64_t before = client.Connection().BytesReceived();
      const int line = (mix + i) % 17;
      switch ((mix >> (2 * (i % 4))) & 3) {
        case 0: {
          std::string text;
          if (client.GetSwitchSettings(text)) Check(text.size() <= TKelmoClient::kSettingsTextMax);
          break;
        }
        case 1:
          client.SetDirection(line, (i & 1) != 0);
          break;
        default: {
          int mode = -1, level = -1;
          if (client.GetLineState(line, mode, level)) {
            Check(mode >= 0 && mode <= 3);
          } else {
            Check(mode == 3 && level == 0);
          }
        }
      }
      Check(client.Buffer().size() <= TKelmoClient::kBufferSize);
      char sent[512];  // the gateway reads the commands, so that sends never block
      while (recv(fds[1], sent, sizeof sent, MSG_DONTWAIT) > 0) {
      }
      const int64_t taken = client.Connection().BytesReceived() - before;
      Check(taken >= 0);
      if (taken == 0) break;  // nothing more was waiting
    }
    Check(client.Connection().BytesReceived() <= static_cast<int64_t>(bytes.size()));
  }
  close(fds[1]);
  return 0;
}
