// baresip's memory under junk sent to its media ports during a call: two
// phones on loopback in a call, then RTP and RTCP packets that no call sent
// (every one from a new source, as a scan or a flood brings them) go to the
// dispatcher's media ports, bounded in count and time. Prints the resident
// memory of the dispatcher's baresip before, after the flood, and after the
// call has ended.
//
// bench_rtp_junk [--packets N] [--seconds N]   (defaults 1070000 and 60)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "phone/phone_under_test.h"

using namespace vertamo::testing;
using Clock = std::chrono::steady_clock;

namespace {

// Resident memory of a process in MB; 0 when it is gone.
double ResidentMb(int pid) {
  const std::string status = ReadWholeFile("/proc/" + std::to_string(pid) + "/status");
  const size_t at = status.find("VmRSS:");
  return at == std::string::npos ? 0 : std::atof(status.c_str() + at + 6) / 1024.0;
}

std::vector<std::string> Settings(int sipPort, bool answer) {
  std::vector<std::string> s = {"LocalAddress=127.0.0.1", "SipPort=" + std::to_string(sipPort),
                                "AudioSource=alsa,null", "AudioPlayer=alsa,null"};
  if (answer) s.push_back("AnswerAtOnce=1");
  return s;
}

// The UDP ports of the engine other than SIP's: its media ports.
std::vector<int> MediaPorts(int engine, int sipPort) {
  std::vector<int> ports;
  for (const std::string& local : SocketAddresses(engine, "/proc/net/udp")) {
    const int port = static_cast<int>(std::strtol(local.substr(local.find(':') + 1).c_str(), nullptr, 16));
    if (port != sipPort) ports.push_back(port);
  }
  return ports;
}

// Sends `packets` junk packets over `seconds` to the ports, half RTP (a
// header of version 2, payload type 0) and half RTCP receiver reports, each
// from a source of its own.
long Flood(const std::vector<int>& ports, long packets, int seconds) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  std::mt19937 random(7);
  const auto start = Clock::now();
  long sent = 0;
  unsigned char packet[172];
  for (long i = 0; i < packets; ++i) {
    const int port = ports[static_cast<size_t>(i) % ports.size()];
    const uint32_t ssrc = random();
    size_t size;
    if (i % 2 == 0) {
      std::memset(packet, 0xD5, sizeof packet);  // G.711 silence
      packet[0] = 0x80;
      packet[1] = 0;
      packet[2] = static_cast<unsigned char>(random());
      packet[3] = static_cast<unsigned char>(random());
      std::memcpy(packet + 8, &ssrc, 4);
      size = 172;
    } else {
      std::memset(packet, 0, 32);
      packet[0] = 0x81;  // one report block
      packet[1] = 201;   // RR
      packet[3] = 7;     // length in words - 1
      std::memcpy(packet + 4, &ssrc, 4);
      const uint32_t about = random();
      std::memcpy(packet + 8, &about, 4);
      size = 32;
    }
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

}  // namespace

int main(int argc, char** argv) {
  long packets = 1070000;
  int seconds = 60;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--packets") == 0) packets = std::atol(argv[i + 1]);
    if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atoi(argv[i + 1]);
  }
  if (const std::string missing = BaresipMissing(); !missing.empty()) {
    std::printf("%s: no figures\n", missing.c_str());
    return 0;
  }
  const int liftPort = FreeSipPort(), dispatcherPort = FreeSipPort();
  PhoneUnderTest lift, dispatcher;
  if (!lift.Start(Settings(liftPort, true), {}, true, "lift") || !dispatcher.Start(Settings(dispatcherPort, false))) {
    std::printf("the phones did not start\n");
    return 1;
  }
  dispatcher.Send("c lift@127.0.0.1:" + std::to_string(liftPort));
  const auto connected = dispatcher.NextEvent(8000);
  if (!connected || connected->rfind("CALL", 0) != 0) {
    std::printf("the call did not connect\n");
    return 1;
  }
  const int engine = dispatcher.BaresipPid();
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const std::vector<int> ports = MediaPorts(engine, dispatcherPort);
  if (ports.empty()) {
    std::printf("no media ports found\n");
    return 1;
  }
  std::printf("baresip resident memory in a call, before:   %6.1f MB\n", ResidentMb(engine));
  const auto start = Clock::now();
  const long sent = Flood(ports, packets, seconds);
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("junk sent: %ld packets to %zu media ports in %.1f s\n", sent, ports.size(), took);
  std::printf("baresip resident memory after the flood:      %6.1f MB  (goal: under 64 MB)\n", ResidentMb(engine));
  const bool stillTalking = [&] {
    for (auto line = dispatcher.Next(100); line; line = dispatcher.Next(100))
      if (line->rfind("ERROR", 0) == 0) return false;
    return true;
  }();
  std::printf("the call %s the flood\n", stillTalking ? "survived" : "did not survive");
  dispatcher.Send("h");
  dispatcher.NextEvent(5000);
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const int after = dispatcher.BaresipPid();
  std::printf("baresip resident memory after the call:       %6.1f MB%s\n", ResidentMb(after),
              after == engine ? "" : "  (a fresh baresip)");
  return 0;
}
