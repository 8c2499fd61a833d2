// Where the record of a conversation lives: a folder per local day in the
// work folder's "Records" ("Records/2026-12-08/"), a file per conversation
// named by the moment it was answered and the far end as dialled or as it
// rang in ("14-02-11 2-3-1@10.0.0.5.opus"). The history keeps this path,
// relative to the work folder, with its call, so that the call's line finds
// the file; the name alone tells a supervisor browsing the folder when and
// with whom. Folders are their owner's only (0700), files too (0600).
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace vertamo {

inline constexpr const char* kRecordsFolder = "Records";
// A record being written is named so until it is whole.
inline constexpr const char* kUnfinishedSuffix = ".part";

// "YYYY-MM-DD" of the local day `when` falls on.
std::string RecordDayName(std::time_t when);
// The record's path relative to the work folder.
std::string RecordPath(std::time_t answered, std::string_view peer);
// Whether `path` has the shape RecordPath gives. A path read back from a file
// (the history) names a record only when it does: it then stays inside
// "Records" of the work folder, whatever the file said.
bool IsRecordPath(std::string_view path);
// Creates "Records" and the day folder of `recordPath` in `workFolder`, owner
// only; false with the reason in words.
bool MakeRecordFolders(const std::string& workFolder, std::string_view recordPath, std::string* error);

}  // namespace vertamo
