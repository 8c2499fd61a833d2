// How long records are kept: section "Records" of the settings, `Enabled`
// (1: every conversation is recorded) and `KeepDays` (90: the days of
// records kept, today counted as the first). Older day folders are removed
// at start and once a day; today's never, whatever KeepDays says.
#pragma once

#include <ctime>
#include <string>

namespace vertamo {

struct TRecordSettings {
  static constexpr int kDefaultKeepDays = 90;
  bool enabled = true;
  int keepDays = kDefaultKeepDays;
};

// The settings from the section's values as written (code page 1251 text;
// empty: the key is missing). A value that does not parse keeps its default;
// KeepDays below 1 counts as 1 (today only).
TRecordSettings RecordSettingsFrom(const std::string& enabled, const std::string& keepDays);

// Removes the day folders of "Records" in `workFolder` that fall `keepDays`
// or more days before the local day of `now`, with the records in them.
// Anything else there (a folder that is not a day, a file that is not a
// record) stays, and so does the folder that holds it. The number of day
// folders removed.
int RemoveExpiredRecordDays(const std::string& workFolder, std::time_t now, int keepDays);

}  // namespace vertamo
