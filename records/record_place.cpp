#include "records/record_place.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/folders.h"

namespace vertamo {
namespace {

constexpr std::string_view kExtension = ".opus";
constexpr size_t kLongestPeer = 64;

bool IsDayName(std::string_view name) {
  constexpr std::string_view kShape = "0000-00-00";
  if (name.size() != kShape.size()) return false;
  for (size_t i = 0; i < name.size(); ++i)
    if (kShape[i] == '0' ? (name[i] < '0' || name[i] > '9') : name[i] != kShape[i]) return false;
  return true;
}

bool IsNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '@' || c == '.' ||
         c == '-' || c == '_' || c == '+' || c == ' ';
}

// The far end as a file name: a dial string's "*" become "-", anything a
// file name should not hold becomes "_", and it never starts with a dot.
std::string PeerName(std::string_view peer) {
  std::string name;
  for (const char c : peer.substr(0, kLongestPeer)) {
    if (c == '*') name += '-';
    else name += IsNameCharacter(c) && c != ' ' ? c : '_';
  }
  if (name.empty()) name = "call";
  if (name[0] == '.') name[0] = '_';
  return name;
}

}  // namespace

std::string RecordDayName(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  return text;
}

std::string RecordPath(std::time_t answered, std::string_view peer) {
  std::tm local{};
  localtime_r(&answered, &local);
  char time[48];
  std::snprintf(time, sizeof time, "%02d-%02d-%02d", local.tm_hour, local.tm_min, local.tm_sec);
  return std::string(kRecordsFolder) + "/" + RecordDayName(answered) + "/" + time + " " + PeerName(peer) +
         std::string(kExtension);
}

bool IsRecordPath(std::string_view path) {
  const std::string_view folder = kRecordsFolder;
  if (path.substr(0, folder.size()) != folder || path.size() < folder.size() + 12 || path[folder.size()] != '/')
    return false;
  path.remove_prefix(folder.size() + 1);
  if (!IsDayName(path.substr(0, 10)) || path[10] != '/') return false;
  const std::string_view name = path.substr(11);
  if (name.size() <= kExtension.size() || name.substr(name.size() - kExtension.size()) != kExtension ||
      name[0] == '.')
    return false;
  for (const char c : name)
    if (!IsNameCharacter(c)) return false;
  return true;
}

bool MakeRecordFolders(const std::string& workFolder, std::string_view recordPath, std::string* error) {
  const std::string records = WithTrailingSlash(workFolder) + kRecordsFolder;
  const std::string day = WithTrailingSlash(workFolder) + std::string(recordPath.substr(0, recordPath.rfind('/')));
  for (const std::string& folder : {records, day}) {
    if (MakeFolder(folder, kOwnerOnlyFolder)) continue;
    if (error) *error = "cannot create " + folder + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace vertamo
