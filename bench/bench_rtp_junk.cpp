// baresip's memory under junk sent to its media ports during a call: two
// phones on loopback in a call, then RTP and RTCP packets that no call sent
// (every one from a new source, as a scan or a flood brings them) go to the
// dispatcher's media ports, bounded in count and time. Prints the resident
// memory of the dispatcher's baresip before, after the flood, and after the
// call has ended.
//
// bench_rtp_junk [--packets N] [--seconds N] [--kinds rtp,sr,rr,sdes,bye|all] [--pulse]
//   (defaults 1070000, 60 and all; ALSA's null devices unless --pulse)
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
#include "support/private_sound_server.h"

using namespace vertamo::testing;
using Clock = std::chrono::steady_clock;

namespace {

// Resident memory of a process in MB; 0 when it is gone.
double ResidentMb(int pid) {
  const std::string status = ReadWholeFile("/proc/" + std::to_string(pid) + "/status");
  const size_t at = status.find("VmRSS:");
  return at == std::string::npos ? 0 : std::atof(status.c_str() + at + 6) / 1024.0;
}

// The devices are ALSA's null ones, or those of a private PulseAudio
// (`pulse`), as a desk has them.
std::vector<std::string> Settings(int sipPort, bool answer, bool pulse = false) {
  std::vector<std::string> more;
  if (pulse) more = {"AudioSource=capture.monitor", "AudioPlayer=capture"};
  if (answer) more.push_back("AnswerAtOnce=1");
  return QuietPhoneSettings(sipPort, more);
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

// The kinds of junk: RTP audio (G.711 silence, a new SSRC and sequence each
// time) and the RTCP reports a flood may bring, each from a source of its own.
enum class TJunk { Rtp, Sr, Rr, Sdes, Bye };

size_t JunkPacket(TJunk kind, std::mt19937& random, unsigned char* packet) {
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
long Flood(const std::vector<int>& ports, const std::vector<TJunk>& kinds, long packets, int seconds) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  std::mt19937 random(7);
  const auto start = Clock::now();
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

std::vector<TJunk> KindsNamed(const std::string& names) {
  std::vector<TJunk> kinds;
  const std::pair<const char*, TJunk> known[] = {
      {"rtp", TJunk::Rtp}, {"sr", TJunk::Sr}, {"rr", TJunk::Rr}, {"sdes", TJunk::Sdes}, {"bye", TJunk::Bye}};
  for (const auto& [name, kind] : known)
    if (names == "all" || ("," + names + ",").find("," + std::string(name) + ",") != std::string::npos)
      kinds.push_back(kind);
  return kinds;
}

}  // namespace

int main(int argc, char** argv) {
  long packets = 1070000;
  int seconds = 60;
  std::string kindNames = "all";
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--packets") == 0) packets = std::atol(argv[i + 1]);
    if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--kinds") == 0) kindNames = argv[i + 1];
  }
  bool pulse = false;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--pulse") == 0) pulse = true;
  const std::vector<TJunk> kinds = KindsNamed(kindNames);
  if (kinds.empty()) {
    std::printf("--kinds: a comma list of rtp, sr, rr, sdes, bye, or all\n");
    return 1;
  }
  if (const std::string missing = BaresipMissing(); !missing.empty()) {
    std::printf("%s: no figures\n", missing.c_str());
    return 0;
  }
  const int liftPort = FreeSipPort(), dispatcherPort = FreeSipPort();
  PrivateSoundServer sound;
  if (pulse && !sound.Start()) {
    std::printf("no private PulseAudio\n");
    return 1;
  }
  PhoneUnderTest lift, dispatcher;
  if (!lift.Start(Settings(liftPort, true), {}, true, "lift") ||
      !dispatcher.Start(Settings(dispatcherPort, false, pulse),
                        pulse ? std::vector<std::string>{"PULSE_SERVER=" + sound.Address()} : std::vector<std::string>{})) {
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
  const long sent = Flood(ports, kinds, packets, seconds);
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("junk sent (%s): %ld packets to %zu media ports in %.1f s\n", kindNames.c_str(), sent, ports.size(),
              took);
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
