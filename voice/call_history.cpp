#include "voice/call_history.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "platform/cp1251.h"
#include "platform/folders.h"
#include "platform/lines_from_end.h"
#include "platform/raw_file.h"
#include "protocol/log_limiter.h"

namespace vertamo {
namespace {

constexpr char kSeparator = '\t';
// A line longer than this is not one of ours and is passed over.
constexpr std::size_t kLongestLine = 4096;

void AppendField(std::string& line, std::string_view text) {
  for (const char c : text) line += c == '\t' || c == '\r' || c == '\n' ? ' ' : c;
}

bool IsDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int Number(std::string_view digits) {
  int n = 0;
  for (const char c : digits) n = n * 10 + (c - '0');
  return n;
}

// "YYYY-MM-DD hh:mm:ss" of the local time.
bool ParseStart(std::string_view text, std::time_t& start) {
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' ||
      text[16] != ':')
    return false;
  const std::string_view parts[6] = {text.substr(0, 4),  text.substr(5, 2),  text.substr(8, 2),
                                     text.substr(11, 2), text.substr(14, 2), text.substr(17, 2)};
  if (!std::all_of(std::begin(parts), std::end(parts), IsDigits)) return false;
  std::tm local{};
  local.tm_year = Number(parts[0]) - 1900;
  local.tm_mon = Number(parts[1]) - 1;
  local.tm_mday = Number(parts[2]);
  local.tm_hour = Number(parts[3]);
  local.tm_min = Number(parts[4]);
  local.tm_sec = Number(parts[5]);
  local.tm_isdst = -1;
  if (local.tm_mon < 0 || local.tm_mon > 11 || local.tm_mday < 1 || local.tm_mday > 31 ||
      local.tm_hour > 23 || local.tm_min > 59 || local.tm_sec > 59)
    return false;
  start = std::mktime(&local);
  return start != static_cast<std::time_t>(-1);
}

std::string LocalTimeText(std::time_t moment) {
  std::tm local{};
  localtime_r(&moment, &local);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

std::string CallAgainText(const TCallAgain& again) {
  if (again.Lift()) return "OBJ=" + std::to_string(again.object) + " PU=" + std::to_string(again.unit);
  if (!again.address.empty()) return "ADR=" + again.address;
  return {};
}

// A field that is not one of the two shapes is no way to call again, and
// the line is kept all the same.
TCallAgain ParseCallAgain(std::string_view text) {
  TCallAgain again;
  if (text.size() > 4 && text.substr(0, 4) == "ADR=" && text.find(' ') == std::string_view::npos) {
    again.address.assign(text.substr(4));
    return again;
  }
  const std::size_t unit = text.find(" PU=");
  if (text.substr(0, 4) != "OBJ=" || unit == std::string_view::npos) return again;
  const std::string_view object = text.substr(4, unit - 4);
  std::string_view number = text.substr(unit + 4);
  const bool negative = !number.empty() && number.front() == '-';
  if (negative) number.remove_prefix(1);
  if (!IsDigits(object) || object.size() > 9 || !IsDigits(number) || number.size() > 9) return again;
  again.object = Number(object);
  again.unit = negative ? -Number(number) : Number(number);
  return again;
}

}  // namespace

std::string CallHistoryLine(const TCallRecord& record) {
  std::string line = LocalTimeText(record.start);
  line += kSeparator;
  line += std::to_string(std::max(record.seconds, 0));
  line += kSeparator;
  AppendField(line, record.outcome);
  line += kSeparator;
  AppendField(line, record.who);
  const std::string again = CallAgainText(record.again);
  if (record.answered != 0 || !again.empty()) {
    line += kSeparator;
    if (record.answered != 0) line += LocalTimeText(record.answered);
    if (!record.record.empty() || !again.empty()) {
      line += kSeparator;
      AppendField(line, record.record);
    }
    if (!again.empty()) {
      line += kSeparator;
      AppendField(line, again);
    }
  }
  line += "\r\n";
  return line;
}

bool ParseCallHistoryLine(std::string_view line, TCallRecord& record) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.find_first_of("\r\n") != std::string_view::npos) return false;
  std::string_view fields[3];
  for (std::string_view& field : fields) {
    const std::size_t tab = line.find(kSeparator);
    if (tab == std::string_view::npos) return false;
    field = line.substr(0, tab);
    line.remove_prefix(tab + 1);
  }
  // Lines of calls never answered end with who; answered ones add the
  // moment, and the record when the line has one; then how to call again.
  std::string_view answered, recordField, againField;
  if (const std::size_t tab = line.find(kSeparator); tab != std::string_view::npos) {
    answered = line.substr(tab + 1);
    line = line.substr(0, tab);
    if (const std::size_t next = answered.find(kSeparator); next != std::string_view::npos) {
      recordField = answered.substr(next + 1);
      answered = answered.substr(0, next);
      if (const std::size_t last = recordField.find(kSeparator); last != std::string_view::npos) {
        againField = recordField.substr(last + 1);
        recordField = recordField.substr(0, last);
      }
    }
  }
  // Nine digits at most keep the talk time within an int.
  if (!IsDigits(fields[1]) || fields[1].size() > 9 || fields[2].empty()) return false;
  TCallRecord parsed;
  if (!ParseStart(fields[0], parsed.start)) return false;
  if (!answered.empty() && !ParseStart(answered, parsed.answered)) return false;
  parsed.seconds = Number(fields[1]);
  parsed.outcome.assign(fields[2]);
  parsed.who.assign(line);
  // A record belongs to an answered call; nothing follows the way to call
  // again.
  if (againField.find(kSeparator) != std::string_view::npos || (answered.empty() && !recordField.empty()))
    return false;
  parsed.record.assign(recordField);
  parsed.again = ParseCallAgain(againField);
  record = std::move(parsed);
  return true;
}

std::string RecordNoteText(TRecordNote note) {
  switch (note) {
    case TRecordNote::NotRecorded:
      return Utf8ToCp1251("не записан");
    case TRecordNote::PhoneDoesNotRecord:
      return Utf8ToCp1251("не записан: программа телефона не записывает разговоры");
  }
  return {};
}

std::string CallOutcomeText(TCallOutcome outcome) {
  switch (outcome) {
    case TCallOutcome::Finished:
      return Utf8ToCp1251("Разговор завершен");
    case TCallOutcome::Refused:
      return Utf8ToCp1251("Отклонен");
    case TCallOutcome::Busy:
      return Utf8ToCp1251("Занято");
    case TCallOutcome::Failed:
      return Utf8ToCp1251("Ошибка");
    case TCallOutcome::NotAnswered:
      return Utf8ToCp1251("Нет ответа");
    case TCallOutcome::Interrupted:
      return Utf8ToCp1251("Прерван");
  }
  return {};
}

TCallHistory::TCallHistory(std::string workFolder) : path_(WithTrailingSlash(workFolder) + kFileName) {}

TCallHistory::~TCallHistory() {
  if (repeats_ > 0 && last_) Write({last_->start, last_->who, 0, TLogLimiter::RepeatLine(last_->outcome, repeats_), 0, {}});
}

std::string TCallHistory::NotRecordingText() {
  return Utf8ToCp1251("Звонки не записываются: нельзя писать в CallHistory.log рабочей папки");
}

bool TCallHistory::Append(const TCallRecord& record) {
  if (last_ && record.seconds == 0 && last_->seconds == 0 && record.who == last_->who &&
      record.outcome == last_->outcome) {
    ++repeats_;
    last_->start = record.start;
    return true;
  }
  if (repeats_ > 0 && last_)
    Write({last_->start, last_->who, 0, TLogLimiter::RepeatLine(last_->outcome, std::exchange(repeats_, 0)), 0, {}});
  const bool written = Write(record);
  last_ = record;
  return written;
}

bool TCallHistory::Write(const TCallRecord& record) {
  // Opened for each call: a file the dispatcher moved away is made anew.
  TRawFile file;
  bool written = OpenBoundedLogForAppend(file, path_, kMaxBytes);
  if (written) {
    std::string text = LastLineEnded(file) ? std::string() : std::string("\r\n");
    text += CallHistoryLine(record);
    written = file.Write(text.data(), text.size());
  }
  if (recording_ && !written) notice_ = true;
  if (written) notice_ = false;
  recording_ = written;
  return written;
}

std::vector<TCallRecord> TCallHistory::Newest(std::size_t max) const {
  return NewestRecords<TCallRecord>(path_, kLongestLine, max, ParseCallHistoryLine);
}

}  // namespace vertamo
