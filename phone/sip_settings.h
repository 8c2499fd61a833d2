// Section "SipPhone" of the settings file in the phone's current folder (the
// workstation's work folder). Without the section direct IP calls work with
// the defaults: SIP on port 5060 (or a free one when that is taken), no
// registrar, the desktop sound server's default devices, G.711.
#pragma once

#include <string>
#include <vector>

#include "records/record_days.h"

namespace vertamo::phone {

struct TSipSettings {
  static constexpr int kDefaultSipPort = 5060;
  int sipPort = kDefaultSipPort;    // where this phone listens
  int peerPort = kDefaultSipPort;   // where a dial string without a port (or with 1720) goes
  // The addresses SIP is to listen on, in order ("a, b"); empty: every
  // address of the machine. baresip serves one of them (sip_place.h).
  std::vector<std::string> localAddresses;
  std::string registrar;      // host[:port]; empty: no registration
  std::string user;           // SIP user; empty: the alias of the command line
  std::string password;       // only ever written to the owner-only account file
  std::string displayName;    // empty: the alias
  // Audio devices as baresip names them: "module,device"; a value without a
  // comma is a device of the sound server (PulseAudio, or PipeWire through
  // its PulseAudio interface); empty: the session's default device.
  std::string audioSource;
  std::string audioPlayer;
  std::vector<std::string> codecs;  // baresip codec names in order; empty: G.711 as the command line says
  // How long a dial may go unanswered (seconds) before it is given up as
  // "no answer": a far end that says it rings and never picks up.
  static constexpr int kDefaultDialTimeout = 60;
  int dialTimeoutSeconds = kDefaultDialTimeout;
  bool answerAtOnce = false;        // answer every incoming call (a lift intercom, a test peer)
  std::vector<std::string> extraUsers;  // more SIP users this phone answers to
  std::string baresip = "baresip";      // the engine's program
  // An idle engine holding more memory than this (MB) is started afresh.
  static constexpr int kDefaultEngineMemoryLimit = 64;
  int engineMemoryLimitMb = kDefaultEngineMemoryLimit;
  TRecordSettings records;              // section "Records"
};

// Reads sections "SipPhone" and "Records" of the INI file `path` (code page 1251; names of
// sections and keys ignore the case of A-Z). A missing file or section gives
// the defaults; a value that does not parse keeps its default.
TSipSettings ReadSipSettings(const std::string& path);

// "module,device" for baresip; `value` as the settings hold it.
std::string AudioDevice(const std::string& value);

}  // namespace vertamo::phone
