// The journal's day-file reader on arbitrary bytes: a line that parses comes
// back the same once written again; the file reader, given the bytes as a
// whole day file, returns only records that parse, never more than asked for.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "journal/journal_file.h"
#include "support/temp_folder.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const vertamo::testing::TempFolder work(vertamo::testing::FastTempBase());
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  vertamo::TJournalRecord record;
  if (vertamo::ParseJournalLine(bytes, record)) {
    vertamo::TJournalRecord again;
    Check(vertamo::ParseJournalLine(vertamo::JournalRecordLine(record), again));
    Check(again == record);
  }

  const std::string path = work.file("day.log");
  vertamo::testing::WriteWholeFile(path, std::string(bytes));
  const auto newest = vertamo::ReadJournalDay(path, 3);
  Check(newest.size() <= 3);
  for (const vertamo::TJournalRecord& r : newest) {
    vertamo::TJournalRecord again;
    Check(vertamo::ParseJournalLine(vertamo::JournalRecordLine(r), again) && again == r);
  }
  return 0;
}
