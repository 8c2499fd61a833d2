#include "serverlink/line_channel.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <initializer_list>

#include "platform/cp1251.h"
#include "protocol/txtfunc.h"

namespace vertamo {
namespace {

// The channel's log texts in code page 1251; "%s" marks where an argument goes.
struct Texts {
  std::string received = Utf8ToCp1251("Получено: %s");
  std::string received_prefix = Utf8ToCp1251("Получено: %s...");
  std::string sent = Utf8ToCp1251("Послано: %s");
  std::string read_error = Utf8ToCp1251("Ошибка чтения сокета...");
  std::string socket_error = Utf8ToCp1251("Ошибка сокета...");
  std::string graceful_close = Utf8ToCp1251("Корректное отключение  по иннициативе сервера...");
  std::string server_close = Utf8ToCp1251("Отключение по иннициативе сервера...");
  std::string server_gone = Utf8ToCp1251("Сервер отключился...");
  std::string prompt_mismatch = Utf8ToCp1251("Не принята строка: %s получено %s");
  std::string no_line = Utf8ToCp1251("Не получена строка %s...");
  std::string wrong_line = Utf8ToCp1251("Не получена строка %s...Получено:%s");
  std::string no_int_key = Utf8ToCp1251("Не получена строка %s... Получено:%s");
  std::string no_str_key = Utf8ToCp1251("Не получена строка %s...Получено:%s");
};

const Texts& Text() {
  static const Texts texts;
  return texts;
}

// Puts the arguments in place of the pattern's "%s", in order.
std::string Format(std::string_view pattern, std::initializer_list<std::string_view> args) {
  std::string out;
  auto arg = args.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's' && arg != args.end()) {
      out += *arg++;
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

}  // namespace

TLineChannel::TLineChannel(const TStopSignal& stop, TLogSink log, bool debug)
    : stop_(stop),
      log_(std::move(log)),
      debug_(debug),
      receive_(std::make_unique<std::array<char, kReceiveBufferSize>>()) {}

void TLineChannel::Log(std::string_view message) const {
  if (Logging()) log_(message);
}

void TLineChannel::DiscardInput() {
  position_ = fill_ = 0;
  if (link_.Connected()) link_.Drain();
}

void TLineChannel::SendLine(std::string_view text) { Send(text, text); }

void TLineChannel::SendSecretLine(std::string_view text) { Send(text, "****"); }

void TLineChannel::Send(std::string_view text, std::string_view logged) {
  DiscardInput();
  read_end_ = TReadEnd::None;
  read_error_ = 0;
  if (Logging()) Log(Format(Text().sent, {logged}));
  std::string line;
  line.reserve(text.size() + 2);
  line.append(text).append("\r\n");
  link_.Send(line.data(), line.size());
}

size_t TLineChannel::ReadEnded(TReadEnd end, int error) {
  // The first reason stands: later reads of a closed link only repeat it.
  if (read_end_ == TReadEnd::None) {
    read_end_ = end;
    read_error_ = error;
  }
  return 0;
}

size_t TLineChannel::FillBuffer() {
  // A link closed at the end of the connection fails every later send too.
  if (!link_.Connected()) return ReadEnded(TReadEnd::Closed);
  if (link_.Failed()) return ReadEnded(TReadEnd::Failed, link_.LastError());
  // One wait on the socket and on the stop request: ends at data, at the
  // time-out (silently, the caller decides) or within moments of a stop.
  const int timeout =
      read_timeout_ > static_cast<unsigned>(INT_MAX) ? INT_MAX : static_cast<int>(read_timeout_);
  if (!link_.WaitSocket(true, false, false, timeout, &stop_))
    return ReadEnded(stop_.IsRequested() ? TReadEnd::Stopped : TReadEnd::TimedOut);

  const size_t waiting = link_.Available();
  if (waiting > 0) {
    const size_t n = std::min(waiting, kReceiveBufferSize);
    if (!link_.Receive(receive_->data(), n)) {
      Log(Text().read_error);
      return ReadEnded(TReadEnd::Failed, link_.LastError());
    }
    position_ = 0;
    fill_ = n;
    read_end_ = TReadEnd::None;
    read_error_ = 0;
    return n;
  }

  // Readable with nothing to read: the connection is ending. One more read
  // tells why.
  char byte;
  const bool got_byte = link_.Receive(&byte, 1);
  const long count = link_.LastCount();
  const int error = link_.LastError();
  link_.Close();
  if (got_byte)
    Log(Text().socket_error);
  else if (count == 0 && error == 0)
    Log(Text().graceful_close);
  else if (error == wsa::kConnAborted || error == wsa::kConnReset)
    Log(Text().server_close);
  else if (error == wsa::kShutdown)
    Log(Text().server_gone);
  else
    Log(Text().socket_error);
  return ReadEnded(TReadEnd::Closed, error);
}

bool TLineChannel::Refill() {
  position_ = fill_ = 0;
  return FillBuffer() > 0;
}

bool TLineChannel::ReadChar(char& c) {
  if (position_ >= fill_ && !Refill()) return false;
  c = (*receive_)[position_++];
  return true;
}

bool TLineChannel::ReadLine() {
  line_length_ = 0;
  line_[0] = '\0';
  while (line_length_ < kMaxLineLength) {
    char c;
    if (!ReadChar(c)) return false;
    if (c == '\n') continue;
    if (c == '\r') {
      if (Logging()) Log(Format(Text().received, {Line()}));
      return true;
    }
    line_[line_length_++] = c;
    line_[line_length_] = '\0';
  }
  return false;
}

bool TLineChannel::ExpectPrompt(std::string_view literal) {
  size_t matched = 0;
  while (matched < literal.size()) {
    char c;
    if (!ReadChar(c)) return false;
    if (c == '\n') continue;
    if (c != literal[matched]) {
      if (Logging()) Log(Format(Text().prompt_mismatch, {literal, literal.substr(0, matched)}));
      return false;
    }
    ++matched;
  }
  return true;
}

bool TLineChannel::ExpectLine(std::string_view prefix) {
  if (!ReadLine()) {
    if (Logging()) Log(Format(Text().no_line, {prefix}));
    return false;
  }
  if (!StartsWithText(Line(), prefix)) {
    if (Logging()) Log(Format(Text().wrong_line, {prefix, Line()}));
    return false;
  }
  return true;
}

bool TLineChannel::ReadQuotedData(std::string_view prefix, std::string& text) {
  text.clear();
  if (!ExpectPrompt(prefix)) return false;
  if (Logging()) Log(Format(Text().received_prefix, {prefix}));
  char c;
  if (!ReadChar(c) || c != '"') return false;

  // The value: taken from the receive buffer a run at a time, up to the next
  // quote, CR or LF.
  for (;;) {
    if (position_ >= fill_ && !Refill()) {
      text.clear();
      return false;
    }
    const char* begin = receive_->data() + position_;
    const char* end = receive_->data() + fill_;
    const char* stop =
        std::find_if(begin, end, [](char ch) { return ch == '"' || ch == '\r' || ch == '\n'; });
    const size_t run = static_cast<size_t>(stop - begin);
    if (run > max_quoted_value_ - text.size()) {
      text.clear();
      return false;
    }
    text.append(begin, run);
    position_ += run;
    if (stop == end) continue;
    ++position_;
    if (*stop == '\n') continue;
    if (*stop == '\r') return true;  // no closing quote: the value ends with the line
    break;
  }

  // After the closing quote: everything up to CR is dropped, but no more than
  // a value's worth of it.
  size_t dropped = 0;
  for (;;) {
    if (position_ >= fill_ && !Refill()) {
      text.clear();
      return false;
    }
    const char* begin = receive_->data() + position_;
    const size_t left = fill_ - position_;
    const void* cr = std::memchr(begin, '\r', left);
    const size_t run = cr ? static_cast<size_t>(static_cast<const char*>(cr) - begin) : left;
    if (run > max_quoted_value_ - dropped) {
      text.clear();
      return false;
    }
    dropped += run;
    position_ += run;
    if (cr) {
      ++position_;
      return true;
    }
  }
}

bool TLineChannel::LineInt(std::string_view key, int& value) {
  const bool found = GetIntParam(Line(), key, value);
  if (!found && Logging()) Log(Format(Text().no_int_key, {key, Line()}));
  return found;
}

bool TLineChannel::LineIntOpt(std::string_view key, int& value) const {
  return GetIntParam(Line(), key, value);
}

bool TLineChannel::LineStr(std::string_view key, size_t capacity, std::string& text) {
  const bool found = GetStrParam(Line(), key, capacity, text);
  if (!found && Logging()) Log(Format(Text().no_str_key, {key, Line()}));
  return found;
}

bool TLineChannel::LineStrOpt(std::string_view key, size_t capacity, std::string& text) const {
  return GetStrParam(Line(), key, capacity, text);
}

}  // namespace vertamo
