// baresip's memory under junk sent to its media ports during a call: two
// phones on loopback in a call, then RTP and RTCP packets that no call sent
// (every one from a new source, as a scan or a flood brings them) go to the
// dispatcher's media ports, bounded in count and time. Prints the resident
// memory of the dispatcher's baresip before, after the flood, and after the
// call has ended; what its private folders hold (the conversation's sides
// baresip writes for the record; often memory too, in $XDG_RUNTIME_DIR) and
// the phone's two logs.
//
// bench_rtp_junk [--packets N] [--seconds N] [--kinds rtp,sr,rr,sdes,bye|all] [--pulse]
//   (defaults 1070000, 60 and all; ALSA's null devices unless --pulse)
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "phone/phone_under_test.h"
#include "phone/rtp_junk.h"
#include "support/private_sound_server.h"

using namespace vertamo::testing;
using Clock = std::chrono::steady_clock;

namespace {

// The devices are ALSA's null ones, or those of a private PulseAudio
// (`pulse`), as a desk has them.
std::vector<std::string> Settings(int sipPort, bool answer, bool pulse = false) {
  std::vector<std::string> more;
  if (pulse) more = {"AudioSource=capture.monitor", "AudioPlayer=capture"};
  if (answer) more.push_back("AnswerAtOnce=1");
  return QuietPhoneSettings(sipPort, more);
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
  std::printf("the phone's private folders after the flood:  %6.1f MB\n", PrivateFilesMb(dispatcher.Pid()));
  std::printf("its logs after the flood: vertamo-phone.log %.1f MB, vertamo-phone.baresip.log %.1f MB\n",
              static_cast<double>(ReadWholeFile(dispatcher.Folder().file("vertamo-phone.log")).size()) / 1048576.0,
              static_cast<double>(ReadWholeFile(dispatcher.Folder().file("vertamo-phone.baresip.log")).size()) /
                  1048576.0);
  const bool stillTalking = [&] {
    bool alive = true;
    for (auto line = dispatcher.Next(100); line; line = dispatcher.Next(100)) {
      if (line->rfind("ERROR", 0) == 0) alive = false;
      if (line->rfind("NOREC", 0) == 0) std::printf("the phone said: %s\n", line->c_str());
    }
    return alive;
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
