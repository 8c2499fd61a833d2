#include "phone/sip_settings.h"

#include <map>
#include <sstream>

#include "platform/cp1251.h"
#include "platform/raw_file.h"
#include "protocol/txtfunc.h"

namespace vertamo::phone {

namespace {

constexpr size_t kMaxSettingsBytes = 4 * 1024 * 1024;

std::string Trim(const std::string& text) {
  const size_t from = text.find_first_not_of(" \t\r");
  if (from == std::string::npos) return {};
  const size_t to = text.find_last_not_of(" \t\r");
  return text.substr(from, to - from + 1);
}

std::string LowerAscii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// The keys of one section, names in lower case; the first of a repeated key wins.
std::map<std::string, std::string> ReadSection(const std::string& path, const std::string& section) {
  std::map<std::string, std::string> keys;
  // Only a regular file is read, without blocking: a FIFO in place of the
  // work folder's settings would otherwise hold the phone before its link.
  std::string bytes;
  if (!ReadRegularFile(path, kMaxSettingsBytes, bytes)) return keys;
  std::istringstream file(bytes);
  std::string line;
  bool inside = false;
  while (std::getline(file, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == ';') continue;
    if (line.front() == '[') {
      const size_t close = line.find(']');
      inside = close != std::string::npos && EqualsIgnoreCaseAscii(line.substr(1, close - 1), section);
      continue;
    }
    const size_t eq = line.find('=');
    if (!inside || eq == std::string::npos) continue;
    keys.emplace(LowerAscii(Trim(line.substr(0, eq))), Trim(line.substr(eq + 1)));
  }
  return keys;
}

std::vector<std::string> CommaList(const std::string& text) {
  std::vector<std::string> items;
  std::stringstream stream(text);
  for (std::string item; std::getline(stream, item, ',');)
    if (!Trim(item).empty()) items.push_back(Trim(item));
  return items;
}

}  // namespace

TSipSettings ReadSipSettings(const std::string& path) {
  TSipSettings s;
  const auto keys = ReadSection(path, "SipPhone");
  auto text = [&](const char* key, std::string& value) {
    if (const auto it = keys.find(key); it != keys.end()) value = Cp1251ToUtf8(it->second);
  };
  if (const auto it = keys.find("sipport"); it != keys.end()) {
    int port = 0;
    if (ParseWholeNumber(std::string_view(it->second), port) && port > 0 && port < 65535) s.sipPort = port;
  }
  if (const auto it = keys.find("peerport"); it != keys.end()) {
    int port = 0;
    if (ParseWholeNumber(std::string_view(it->second), port) && port > 0 && port < 65536) s.peerPort = port;
  }
  if (const auto it = keys.find("enginememorylimit"); it != keys.end()) {
    int megabytes = 0;
    if (ParseWholeNumber(std::string_view(it->second), megabytes) && megabytes > 0) s.engineMemoryLimitMb = megabytes;
  }
  if (const auto it = keys.find("dialtimeout"); it != keys.end()) {
    int seconds = 0;
    if (ParseWholeNumber(std::string_view(it->second), seconds) && seconds > 0 && seconds <= 3600)
      s.dialTimeoutSeconds = seconds;
  }
  if (const auto it = keys.find("localaddress"); it != keys.end()) s.localAddresses = CommaList(it->second);
  text("registrar", s.registrar);
  text("user", s.user);
  text("password", s.password);
  text("displayname", s.displayName);
  text("audiosource", s.audioSource);
  text("audioplayer", s.audioPlayer);
  text("baresip", s.baresip);
  if (s.baresip.empty()) s.baresip = "baresip";
  if (const auto it = keys.find("codecs"); it != keys.end()) s.codecs = CommaList(it->second);
  if (const auto it = keys.find("answeratonce"); it != keys.end()) s.answerAtOnce = it->second == "1";
  if (const auto it = keys.find("extrausers"); it != keys.end()) s.extraUsers = CommaList(it->second);
  const auto records = ReadSection(path, "Records");
  auto value = [&](const char* key) {
    const auto it = records.find(key);
    return it == records.end() ? std::string() : it->second;
  };
  s.records = RecordSettingsFrom(value("enabled"), value("keepdays"));
  return s;
}

std::string AudioDevice(const std::string& value) {
  if (value.empty()) return "pulse,";
  if (value.find(',') == std::string::npos) return "pulse," + value;
  return value;
}

}  // namespace vertamo::phone
