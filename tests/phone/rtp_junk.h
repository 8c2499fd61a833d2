// Junk for a phone's media ports, as a flood or a scan brings it: RTP audio
// and RTCP reports, each packet from a source (SSRC) of its own.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "phone_under_test.h"

namespace vertamo::testing {

// Resident memory of a process in MB; 0 when it is gone.
inline double ResidentMb(int pid) {
  const std::string status = ReadWholeFile("/proc/" + std::to_string(pid) + "/status");
  const size_t at = status.find("VmRSS:");
  return at == std::string::npos ? 0 : std::atof(status.c_str() + at + 6) / 1024.0;
}

// The room the files in the private folders of the phone `phonePid` (its
// engine's, its recording's), in MB: where baresip writes a conversation's
// sides.
inline double PrivateFilesMb(int phonePid) {
  std::string base = std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
  if (base.empty() || !std::filesystem::is_directory(base)) base = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
  if (base.empty() || !std::filesystem::is_directory(base)) base = "/tmp";
  std::error_code ec;
  double bytes = 0;
  for (const auto& folder : std::filesystem::directory_iterator(base, ec)) {
    if (folder.path().filename().string().rfind("vertamo-phone.", 0) != 0) continue;
    if (std::atoi(ReadWholeFile((folder.path() / "owner").string()).c_str()) != phonePid) continue;
    // What the files take, not how far they reach: baresip writes on past
    // the part the phone has emptied.
    for (const auto& file : std::filesystem::directory_iterator(folder.path(), ec)) {
      struct stat st {};
      if (::stat(file.path().c_str(), &st) == 0 && S_ISREG(st.st_mode)) bytes += 512.0 * static_cast<double>(st.st_blocks);
    }
  }
  return bytes / (1024.0 * 1024.0);
}

// The UDP ports of the engine other than SIP's: its media ports.
inline std::vector<int> MediaPorts(int engine, int sipPort) {
  std::vector<int> ports;
  for (const std::string& local : SocketAddresses(engine, "/proc/net/udp")) {
    const int port = static_cast<int>(std::strtol(local.substr(local.find(':') + 1).c_str(), nullptr, 16));
    if (port != sipPort) ports.push_back(port);
  }
  return ports;
}

// The kinds of junk: RTP audio (G.711 silence, a new SSRC and sequence each
// time) and the RTCP reports a flood may bring, each from a source of its own.
enum class TJunk { Rtp, Sr, Rr, Sdes, Bye };

inline size_t JunkPacket(TJunk kind, std::mt19937& random, unsigned char* packet) {
  const uint32_t ssrc = random();
  auto word = [&](size_t at, uint32_t value) {
    const uint32_t big = htonl(value);
    std::memcpy(packet + at, &big, 4);
  };
  switch (kind) {
    case TJunk::Rtp:
      std::memset(packet, 0xD5, 172);
      packet[0] = 0x80;
      packet[1] = 0;  // PCMU
      word(4, random());  // timestamp
      packet[2] = static_cast<unsigned char>(random());
      packet[3] = static_cast<unsigned char>(random());
      word(8, ssrc);
      return 172;
    case TJunk::Sr:  // a sender report with one report block
      std::memset(packet, 0, 52);
      packet[0] = 0x81;
      packet[1] = 200;
      packet[3] = 12;
      word(4, ssrc);
      word(8, random());
      word(28, random());
      return 52;
    case TJunk::Rr:
      std::memset(packet, 0, 32);
      packet[0] = 0x81;
      packet[1] = 201;
      packet[3] = 7;
      word(4, ssrc);
      word(8, random());
      return 32;
    case TJunk::Sdes: {  // one chunk with a CNAME of 16 characters
      std::memset(packet, 0, 28);
      packet[0] = 0x81;
      packet[1] = 202;
      packet[3] = 6;
      word(4, ssrc);
      packet[8] = 1;
      packet[9] = 16;
      for (int i = 0; i < 16; ++i) packet[10 + i] = static_cast<unsigned char>('a' + random() % 26);
      return 28;
    }
    case TJunk::Bye:
      std::memset(packet, 0, 8);
      packet[0] = 0x81;
      packet[1] = 203;
      packet[3] = 1;
      word(4, ssrc);
      return 8;
  }
  return 0;
}

// Sends `packets` junk packets over `seconds` to the ports, the kinds in
// turn.
inline long Flood(const std::vector<int>& ports, const std::vector<TJunk>& kinds, long packets, int seconds) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  std::mt19937 random(7);
  const auto start = std::chrono::steady_clock::now();
  long sent = 0;
  unsigned char packet[256];
  for (long i = 0; i < packets; ++i) {
    const int port = ports[static_cast<size_t>(i) % ports.size()];
    const size_t size = JunkPacket(kinds[static_cast<size_t>(i / static_cast<long>(ports.size())) % kinds.size()],
                                   random, packet);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::sendto(fd, packet, size, 0, reinterpret_cast<sockaddr*>(&sa), sizeof sa) > 0) ++sent;
    // Evenly over the time given.
    const auto due = start + std::chrono::microseconds(static_cast<long long>(seconds) * 1000000 * (i + 1) / packets);
    if ((i & 255) == 0) std::this_thread::sleep_until(due);
  }
  ::close(fd);
  return sent;
}

}  // namespace vertamo::testing
