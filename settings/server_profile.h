// The server connection profile: which dispatch server to use and how.
//
// The main window holds the active one (section "ServerInfo" of the main
// settings); the settings dialog keeps named profiles in the section
// "Servers" as keys Srv0, Srv1, ... in the one-line text form
//   Name;Ip;Login;Password;Port;Debug;CacheEnable;
// which has no escaping: a ";" inside a text cannot be stored.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/fast_ini.h"

namespace vertamo {

// A plain record; SERVERINFO{} has every byte 0. Texts are zero-terminated code
// page 1251 bytes; SetProfileText cuts a longer value to the capacity minus one.
struct SERVERINFO {
  uint16_t Port;
  char Name[64];
  char Ip[64];  // a dotted IPv4 address or a host name
  char Login[32];
  char Password[32];
  bool Debug;        // write the connection log
  bool CacheEnable;  // use the picture cache
  bool Modified;     // set by ApplyProfile when something changed; never stored
};

template <size_t N>
void SetProfileText(char (&field)[N], std::string_view text) {
  const size_t zero = text.find('\0');
  if (zero != std::string_view::npos) text = text.substr(0, zero);
  const size_t n = text.size() < N - 1 ? text.size() : N - 1;
  text.copy(field, n);
  field[n] = '\0';
}

// The profile with every key's default: Name and Ip "localhost", Login "user",
// Password "kvqz", Port 9900, Debug off, CacheEnable on.
SERVERINFO DefaultProfile();

// Reads the seven keys of `section`, each with its default.
SERVERINFO LoadProfile(const TFastIni& ini, std::string_view section);
void SaveProfile(TFastIni& ini, std::string_view section, const SERVERINFO& profile);

// Copies every field of `source` that differs from `target`'s and sets
// target.Modified when anything was copied; Modified itself is not copied.
void ApplyProfile(SERVERINFO& target, const SERVERINFO& source);

std::string ProfileToText(const SERVERINFO& profile);
// Reads the fields in order, each ended by ";" (at most 255 characters are
// looked at); a field without its ";" ends the reading, leaving the rest empty
// or 0. CacheEnable is whatever follows the sixth ";".
SERVERINFO ProfileFromText(std::string_view text);

// Port at least 1024 and an Ip that is not empty once its blanks are trimmed.
bool IsValidProfile(const SERVERINFO& profile);

// Whether `section` names a server: its "Ip" is there and not blank. Settings
// without one belong to a workstation that was never set up.
bool ProfileNamesServer(const TFastIni& ini, std::string_view section);

// The profile list of section "Servers": keys Srv0, Srv1, ... up to the first
// missing one; empty values and profiles without a name are skipped.
std::vector<SERVERINFO> ReadServerList(const TFastIni& ini);
// Erases section "Servers" and writes every profile again, numbered from 0.
void WriteServerList(TFastIni& ini, const std::vector<SERVERINFO>& profiles);

}  // namespace vertamo
