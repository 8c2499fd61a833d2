// The IP-telephony settings: section "H323" of the main settings file. They
// tune the phone program's command line and switch the telephony log on.
// Nothing is range-checked here; the command line applies the ranges.
#pragma once

#include <string>

namespace vertamo {

class TFastIni;

inline constexpr const char* kPhoneSection = "H323";

struct PhoneSettings {
  bool UseIpTel = true;
  int H323Port = 1720;  // kept and written back
  int H323LogLevel = 0;
  int SoundBuffers = 3;
  int G711Frames = 30;
  bool DisableFastStart = false;
  bool DisableTunnel = false;
  bool DisableH245 = false;
  int JitterMin = 50;
  int JitterMax = 50;
  bool UseGatekeeper = false;         // kept and written back
  std::string GatekeeperAdr;          // kept and written back
  std::string GatekeeperId;           // kept and written back
  std::string GatekeeperPassword;     // kept and written back
  std::string EndpointAlias;          // kept and written back
  bool EnableIpLog = false;
};

// The sixteen keys of "H323" with their defaults.
PhoneSettings ReadPhoneSettings(const TFastIni& ini);
// All sixteen keys, in the order of the record.
void WritePhoneSettings(TFastIni& ini, const PhoneSettings& settings);

}  // namespace vertamo
