#include "records/record_days.h"

#include <unistd.h>

#include <algorithm>
#include <string_view>

#include "platform/folder_entries.h"
#include "platform/folders.h"
#include "records/record_place.h"

namespace vertamo {
namespace {

bool WholeNumber(const std::string& text, long& value) {
  if (text.empty() || text.size() > 9) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long DayNumber(int year, int month, int day) {
  year -= month <= 2;
  const long era = (year >= 0 ? year : year - 399) / 400;
  const long yoe = year - era * 400;
  const long doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// The day number of a folder named "YYYY-MM-DD"; false for any other name.
bool DayOfFolder(std::string_view name, long& day) {
  long year = 0, month = 0, mday = 0;
  if (name.size() != 10 || name[4] != '-' || name[7] != '-' || !WholeNumber(std::string(name.substr(0, 4)), year) ||
      !WholeNumber(std::string(name.substr(5, 2)), month) || !WholeNumber(std::string(name.substr(8, 2)), mday) ||
      month < 1 || month > 12 || mday < 1 || mday > 31)
    return false;
  day = DayNumber(static_cast<int>(year), static_cast<int>(month), static_cast<int>(mday));
  return true;
}

}  // namespace

TRecordSettings RecordSettingsFrom(const std::string& enabled, const std::string& keepDays) {
  TRecordSettings settings;
  if (enabled == "0" || enabled == "1") settings.enabled = enabled == "1";
  if (long days = 0; WholeNumber(keepDays, days)) settings.keepDays = static_cast<int>(std::max(days, 1L));
  return settings;
}

int RemoveExpiredRecordDays(const std::string& workFolder, std::time_t now, int keepDays) {
  std::tm local{};
  localtime_r(&now, &local);
  const long today = DayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  const std::string records = WithTrailingSlash(workFolder) + kRecordsFolder + "/";
  int removed = 0;
  for (const std::string& name : FolderEntries(records, TEntryKind::Folders)) {
    long day = 0;
    if (!DayOfFolder(name, day) || today - day < std::max(keepDays, 1)) continue;
    const std::string folder = records + name;
    for (const std::string& file : FolderEntries(folder, TEntryKind::Files)) {
      // A merge cut short by a crash leaves its unfinished file beside the records.
      std::string_view record = file;
      if (record.ends_with(kUnfinishedSuffix)) record.remove_suffix(std::string_view(kUnfinishedSuffix).size());
      if (IsRecordPath(std::string(kRecordsFolder) + "/" + name + "/" + std::string(record)))
        RemoveFile(folder + "/" + file);
    }
    if (::rmdir(folder.c_str()) == 0) ++removed;
  }
  return removed;
}

}  // namespace vertamo
