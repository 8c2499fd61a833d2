// Keeps a log that something floods readable and small: a line repeated
// over and over is written once, with one more line that counts the repeats
// when the run ends; and no more than kMaxPerSecond different lines are
// written in one second, the rest counted in one line at the next second.
// A run that never ends still has its count written once a minute. So a
// flood adds at most about 2 × kMaxPerSecond + 1 lines a second.
//
// Texts are code page 1251. Not locked: the log that owns it is.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace vertamo {

class TLogLimiter {
 public:
  static constexpr int kMaxPerSecond = 20;
  static constexpr std::time_t kRunReportSeconds = 60;

  // The lines to write for `message` at `now`: none, the message, or counts
  // of what was held back and then the message.
  std::vector<std::string> Take(std::string_view message, std::time_t now);
  // The counts of what is held back (for the end of the run); afterwards
  // nothing is.
  std::vector<std::string> Flush();

  // "… повторов: N" after the repeated text; "… пропущено строк: N".
  static std::string RepeatLine(std::string_view message, long repeats);
  static std::string SkippedLine(long skipped);

 private:
  void FlushRepeats(std::vector<std::string>& out);
  void FlushSkipped(std::vector<std::string>& out);

  std::string last_;          // the last message written
  long repeats_ = 0;          // of last_, not yet written
  std::time_t lastOut_ = 0;   // when last_ or its count was last written
  std::time_t second_ = 0;    // the second `written_` counts
  int written_ = 0;
  long skipped_ = 0;          // over the rate, not yet written
};

}  // namespace vertamo
