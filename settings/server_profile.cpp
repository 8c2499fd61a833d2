#include "settings/server_profile.h"

#include <cstring>

namespace vertamo {
namespace {

constexpr std::string_view kServers = "Servers";

std::string ListKey(size_t index) { return "Srv" + std::to_string(index); }

template <size_t N>
bool CopyIfDifferent(char (&target)[N], const char (&source)[N]) {
  if (std::strncmp(target, source, N) == 0) return false;
  std::memcpy(target, source, N);
  target[N - 1] = '\0';
  return true;
}

}  // namespace

SERVERINFO DefaultProfile() {
  SERVERINFO p{};
  p.Port = 9900;
  SetProfileText(p.Name, "localhost");
  SetProfileText(p.Ip, "localhost");
  SetProfileText(p.Login, "user");
  SetProfileText(p.Password, "kvqz");
  p.Debug = false;
  p.CacheEnable = true;
  return p;
}

SERVERINFO LoadProfile(const TFastIni& ini, std::string_view section) {
  const SERVERINFO d = DefaultProfile();
  SERVERINFO p{};
  SetProfileText(p.Name, ini.ReadString(section, "Name", d.Name));
  SetProfileText(p.Ip, ini.ReadString(section, "Ip", d.Ip));
  SetProfileText(p.Login, ini.ReadString(section, "Login", d.Login));
  SetProfileText(p.Password, ini.ReadString(section, "Password", d.Password));
  p.Port = static_cast<uint16_t>(ini.ReadInteger(section, "Port", d.Port));  // low 16 bits
  p.Debug = ini.ReadBool(section, "Debug", d.Debug);
  p.CacheEnable = ini.ReadBool(section, "CacheEnable", d.CacheEnable);
  return p;
}

void SaveProfile(TFastIni& ini, std::string_view section, const SERVERINFO& profile) {
  ini.WriteString(section, "Name", profile.Name);
  ini.WriteString(section, "Ip", profile.Ip);
  ini.WriteString(section, "Login", profile.Login);
  ini.WriteString(section, "Password", profile.Password);
  ini.WriteInteger(section, "Port", profile.Port);
  ini.WriteBool(section, "Debug", profile.Debug);
  ini.WriteBool(section, "CacheEnable", profile.CacheEnable);
}

void ApplyProfile(SERVERINFO& target, const SERVERINFO& source) {
  bool changed = false;
  changed |= CopyIfDifferent(target.Name, source.Name);
  changed |= CopyIfDifferent(target.Ip, source.Ip);
  changed |= CopyIfDifferent(target.Login, source.Login);
  changed |= CopyIfDifferent(target.Password, source.Password);
  if (target.Port != source.Port) {
    target.Port = source.Port;
    changed = true;
  }
  if (target.Debug != source.Debug) {
    target.Debug = source.Debug;
    changed = true;
  }
  if (target.CacheEnable != source.CacheEnable) {
    target.CacheEnable = source.CacheEnable;
    changed = true;
  }
  if (changed) target.Modified = true;
}

std::string ProfileToText(const SERVERINFO& profile) {
  std::string text;
  text.append(profile.Name).append(";");
  text.append(profile.Ip).append(";");
  text.append(profile.Login).append(";");
  text.append(profile.Password).append(";");
  text.append(std::to_string(profile.Port)).append(";");
  text.append(profile.Debug ? "1;" : "0;");
  text.append(profile.CacheEnable ? "1;" : "0;");
  return text;
}

SERVERINFO ProfileFromText(std::string_view text) {
  SERVERINFO p{};
  const size_t zero = text.find('\0');
  if (zero != std::string_view::npos) text = text.substr(0, zero);
  if (text.size() > 255) text = text.substr(0, 255);

  // Takes the next field up to its ";"; false when the ";" is missing.
  auto next = [&text](std::string_view& field) {
    const size_t semi = text.find(';');
    if (semi == std::string_view::npos) return false;
    field = text.substr(0, semi);
    text.remove_prefix(semi + 1);
    return true;
  };
  std::string_view field;
  if (!next(field)) return p;
  SetProfileText(p.Name, field);
  if (!next(field)) return p;
  SetProfileText(p.Ip, field);
  if (!next(field)) return p;
  SetProfileText(p.Login, field);
  if (!next(field)) return p;
  SetProfileText(p.Password, field);
  if (!next(field)) return p;
  p.Port = static_cast<uint16_t>(IniStrToInt(field));
  if (!next(field)) return p;
  p.Debug = IniStrToInt(field) != 0;
  p.CacheEnable = IniStrToInt(text) != 0;  // the number stops at the final ";"
  return p;
}

bool IsValidProfile(const SERVERINFO& profile) {
  const std::string_view ip(profile.Ip, strnlen(profile.Ip, sizeof profile.Ip));
  return profile.Port >= 1024 && ip.find_first_not_of(' ') != std::string_view::npos;
}

bool ProfileNamesServer(const TFastIni& ini, std::string_view section) {
  return ini.ReadString(section, "Ip", "").find_first_not_of(" \t") != std::string::npos;
}

std::vector<SERVERINFO> ReadServerList(const TFastIni& ini) {
  std::vector<SERVERINFO> list;
  if (!ini.SectionExists(kServers)) return list;
  for (size_t i = 0; ini.ValueExists(kServers, ListKey(i)); ++i) {
    const std::string value = ini.ReadString(kServers, ListKey(i), "");
    if (value.empty()) continue;
    const SERVERINFO p = ProfileFromText(value);
    if (p.Name[0] != '\0') list.push_back(p);
  }
  return list;
}

void WriteServerList(TFastIni& ini, const std::vector<SERVERINFO>& profiles) {
  ini.EraseSection(kServers);
  for (size_t i = 0; i < profiles.size(); ++i)
    ini.WriteString(kServers, ListKey(i), ProfileToText(profiles[i]));
}

}  // namespace vertamo
