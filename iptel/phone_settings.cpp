#include "iptel/phone_settings.h"

#include "settings/fast_ini.h"

namespace vertamo {

namespace {

// One table drives reading and writing, so the two never disagree on a key,
// its default or its place in the file.
template <typename Visit>
void ForEachKey(PhoneSettings& s, Visit&& visit) {
  visit("UseIpTel", s.UseIpTel);
  visit("H323Port", s.H323Port);
  visit("H323LogLevel", s.H323LogLevel);
  visit("SoundBuffers", s.SoundBuffers);
  visit("G711Frames", s.G711Frames);
  visit("DisableFastStart", s.DisableFastStart);
  visit("DisableTunnel", s.DisableTunnel);
  visit("DisableH245", s.DisableH245);
  visit("JitterMin", s.JitterMin);
  visit("JitterMax", s.JitterMax);
  visit("UseGatekeeper", s.UseGatekeeper);
  visit("GatekeeperAdr", s.GatekeeperAdr);
  visit("GatekeeperId", s.GatekeeperId);
  visit("GatekeeperPassword", s.GatekeeperPassword);
  visit("EndpointAlias", s.EndpointAlias);
  visit("EnableIpLog", s.EnableIpLog);
}

struct Reader {
  const TFastIni& ini;
  void operator()(const char* key, bool& value) const { value = ini.ReadBool(kPhoneSection, key, value); }
  void operator()(const char* key, int& value) const { value = ini.ReadInteger(kPhoneSection, key, value); }
  void operator()(const char* key, std::string& value) const {
    value = ini.ReadString(kPhoneSection, key, value);
  }
};

struct Writer {
  TFastIni& ini;
  void operator()(const char* key, bool& value) const { ini.WriteBool(kPhoneSection, key, value); }
  void operator()(const char* key, int& value) const { ini.WriteInteger(kPhoneSection, key, value); }
  void operator()(const char* key, std::string& value) const { ini.WriteString(kPhoneSection, key, value); }
};

}  // namespace

PhoneSettings ReadPhoneSettings(const TFastIni& ini) {
  PhoneSettings settings;
  ForEachKey(settings, Reader{ini});
  return settings;
}

void WritePhoneSettings(TFastIni& ini, const PhoneSettings& settings) {
  PhoneSettings copy = settings;
  ForEachKey(copy, Writer{ini});
}

}  // namespace vertamo
