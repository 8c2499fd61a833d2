// A flooded log stays small: repeats are counted, the rate is capped, and
// nothing is lost without a count.
#include "protocol/log_limiter.h"

#include <gtest/gtest.h>

#include "platform/cp1251.h"

namespace vertamo {
namespace {

std::string Cp(const char* utf8) { return Utf8ToCp1251(utf8); }

TEST(LogLimiter, RepeatsAreCountedAndTheRateIsCapped) {
  TLogLimiter limiter;
  std::vector<std::string> out;
  const auto take = [&](const std::string& line, std::time_t now) {
    for (std::string& l : limiter.Take(line, now)) out.push_back(std::move(l));
  };
  // A run of one line: written once, counted when another line comes.
  for (int i = 0; i < 500; ++i) take("RING", 100);
  take("ERROR", 100);
  EXPECT_EQ(out, (std::vector<std::string>{"RING", "RING" + Cp(" … повторов: ") + "499", "ERROR"}));

  // Two lines alternating 10,000 times in one second: 20 lines written, the
  // rest counted at the next second (the last one written as repeats, the
  // other as skipped).
  out.clear();
  for (int i = 0; i < 10000; ++i) take(i % 2 ? "A" : "B", 200);
  EXPECT_EQ(out.size(), static_cast<size_t>(TLogLimiter::kMaxPerSecond));
  take("next", 201);
  ASSERT_EQ(out.size(), TLogLimiter::kMaxPerSecond + 3u);
  EXPECT_EQ(std::vector<std::string>(out.end() - 3, out.end()),
            (std::vector<std::string>{Cp("… пропущено строк: 4990"), "A" + Cp(" … повторов: 4990"), "next"}));

  // A run that never ends has its count written once a minute.
  out.clear();
  for (std::time_t t = 300; t < 300 + 150; ++t) take("STAT", t);
  EXPECT_EQ(out, (std::vector<std::string>{"STAT", "STAT" + Cp(" … повторов: ") + "60",
                                           "STAT" + Cp(" … повторов: ") + "60"}));
  EXPECT_EQ(limiter.Flush(), std::vector<std::string>{"STAT" + Cp(" … повторов: ") + "29"});
  EXPECT_TRUE(limiter.Flush().empty());
  // The same line an hour later is written again.
  EXPECT_EQ(limiter.Take("STAT", 4000), std::vector<std::string>{"STAT"});
}

}  // namespace
}  // namespace vertamo
