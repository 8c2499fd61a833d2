#include "protocol/log_limiter.h"

#include "platform/cp1251.h"

namespace vertamo {

std::string TLogLimiter::RepeatLine(std::string_view message, long repeats) {
  return std::string(message) + Utf8ToCp1251(" … повторов: ") + std::to_string(repeats);
}

std::string TLogLimiter::SkippedLine(long skipped) {
  return Utf8ToCp1251("… пропущено строк: ") + std::to_string(skipped);
}

void TLogLimiter::FlushRepeats(std::vector<std::string>& out) {
  if (repeats_ > 0) out.push_back(RepeatLine(last_, repeats_));
  repeats_ = 0;
}

void TLogLimiter::FlushSkipped(std::vector<std::string>& out) {
  if (skipped_ > 0) out.push_back(SkippedLine(skipped_));
  skipped_ = 0;
}

std::vector<std::string> TLogLimiter::Take(std::string_view message, std::time_t now) {
  std::vector<std::string> out;
  if (now != second_) {
    second_ = now;
    written_ = 0;
    FlushSkipped(out);
  }
  // A repeat of the last line is counted; the count goes out when the run
  // ends, or once a minute while it lasts.
  if (message == last_ && (repeats_ > 0 || now - lastOut_ < kRunReportSeconds)) {
    ++repeats_;
    if (now - lastOut_ >= kRunReportSeconds) {
      FlushRepeats(out);
      lastOut_ = now;
    }
    return out;
  }
  // Over the rate even the count of a run waits for the next second, so
  // that lines alternating in a flood cannot turn into a flood of counts.
  if (written_ >= kMaxPerSecond) {
    ++skipped_;
    return out;
  }
  FlushRepeats(out);
  ++written_;
  last_ = std::string(message);
  lastOut_ = now;
  out.push_back(last_);
  return out;
}

std::vector<std::string> TLogLimiter::Flush() {
  std::vector<std::string> out;
  FlushRepeats(out);
  FlushSkipped(out);
  return out;
}

}  // namespace vertamo
