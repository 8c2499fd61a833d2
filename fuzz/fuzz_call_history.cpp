// The call history's reader on arbitrary bytes: a line that parses must come
// back the same once written again; the file reader, given the bytes as the
// whole file, returns only records that parse, newest first, never more than
// asked for. The same bytes as the marker of a call in progress: one that
// parses comes back the same once written again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <string_view>

#include "support/temp_folder.h"
#include "voice/call_history.h"
#include "voice/pending_call.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool utc = (setenv("TZ", "UTC", 1), tzset(), true);
  static const vertamo::testing::TempFolder work(vertamo::testing::FastTempBase());
  (void)utc;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  vertamo::TCallRecord record;
  if (vertamo::ParseCallHistoryLine(bytes, record)) {
    const std::string line = vertamo::CallHistoryLine(record);
    vertamo::TCallRecord again;
    Check(vertamo::ParseCallHistoryLine(line, again));
    Check(again == record);
  }

  vertamo::TPendingCall pending;
  if (vertamo::ParsePendingCallText(bytes, pending)) {
    vertamo::TPendingCall again;
    Check(vertamo::ParsePendingCallText(vertamo::PendingCallText(pending), again));
    Check(again == pending);
  }

  vertamo::TCallHistory history(work.path());
  {
    std::ofstream out(history.Path(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  const auto newest = history.Newest(3);
  Check(newest.size() <= 3);
  for (const vertamo::TCallRecord& r : newest) {
    vertamo::TCallRecord again;
    Check(vertamo::ParseCallHistoryLine(vertamo::CallHistoryLine(r), again) && again == r);
  }
  return 0;
}
