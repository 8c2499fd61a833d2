// The line channel of the server connection.
//
// The dispatch server speaks in lines: the client sends one request line
// ended by CR LF, the server answers with lines ended by CR (every LF is
// dropped wherever it comes), and some answers carry long quoted values.
// `TLineChannel` owns the connection's `TTCPClient`, a 32768-byte receive
// buffer and the current line (at most 2047 characters), and reads with a
// time-out (10 s) that a stop request ends at once.
//
// One thread uses a channel (the connection thread); it takes no locks. The
// stop signal is shared with whoever stops that thread.
//
// Log lines (code page 1251, without time stamp or line end) go to the log
// sink only while Debug is set; nothing is formatted otherwise.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/stop_signal.h"
#include "platform/tcp_client.h"
#include "serverlink/load_limits.h"

namespace vertamo {

// Why the last read of the channel gave nothing.
enum class TReadEnd {
  None,      // no read failed since the last send (or the last read brought data)
  TimedOut,  // nothing arrived within the read time-out
  Closed,    // the server closed or dropped the connection
  Failed,    // a socket call failed (ReadError() tells which)
  Stopped,   // a stop request ended the wait
};

// Receives one finished log message.
using TLogSink = std::function<void(std::string_view message)>;

class TLineChannel {
 public:
  static constexpr size_t kReceiveBufferSize = 32768;
  static constexpr size_t kLineBufferSize = 2048;
  static constexpr size_t kMaxLineLength = kLineBufferSize - 1;
  static constexpr unsigned kDefaultReadTimeout = 10000;       // milliseconds
  static constexpr size_t kDefaultMaxQuotedValue = kMaxQuotedValueBytes;

  explicit TLineChannel(const TStopSignal& stop, TLogSink log = {}, bool debug = false);
  TLineChannel(const TLineChannel&) = delete;
  TLineChannel& operator=(const TLineChannel&) = delete;

  // The connection: connect, close and ask for status through it.
  TTCPClient& Link() { return link_; }
  const TTCPClient& Link() const { return link_; }

  void SetDebug(bool debug) { debug_ = debug; }
  bool Debug() const { return debug_; }
  void SetLogSink(TLogSink log) { log_ = std::move(log); }
  // Writes `message` to the sink when Debug is set.
  void Log(std::string_view message) const;
  bool Logging() const { return debug_ && log_; }

  void SetReadTimeout(unsigned milliseconds) { read_timeout_ = milliseconds; }
  unsigned ReadTimeout() const { return read_timeout_; }
  // The longest quoted value ReadQuotedData accepts; a longer one fails the
  // read like a broken connection.
  void SetMaxQuotedValue(size_t bytes) { max_quoted_value_ = bytes; }
  size_t MaxQuotedValue() const { return max_quoted_value_; }

  // Drops the unread rest of the receive buffer and, while connected, every
  // byte already waiting on the socket.
  void DiscardInput();

  // DiscardInput, log "Послано: <text>", send text + CR LF. The send's result
  // is not examined: a broken connection shows in the next read.
  void SendLine(std::string_view text);
  // SendLine for a secret (the password): the log shows "Послано: ****".
  void SendSecretLine(std::string_view text);

  // Waits up to ReadTimeout for data and takes what is waiting (at most one
  // buffer). Returns the bytes received; 0 on a time-out (silent), a stop
  // request, an earlier failed send/receive (until the next send), or a
  // connection that ended (then the link is closed and the reason logged).
  size_t FillBuffer();

  // The next received byte; false when FillBuffer gives nothing.
  bool ReadChar(char& c);

  // Reads up to CR into Line(), dropping LF. False on a read failure or when
  // 2047 characters came without CR (the rest stays unread).
  bool ReadLine();
  // The current line (the last one ReadLine or ExpectLine read).
  std::string_view Line() const { return {line_.data(), line_length_}; }

  // Reads `literal` character by character (LF skipped, CR is a mismatch):
  // for prompts that do not end a line, such as "Login:".
  bool ExpectPrompt(std::string_view literal);

  // ReadLine, then whether the line starts with `prefix` (ignoring case).
  bool ExpectLine(std::string_view prefix);

  // Reads `prefix`, then a quoted value of any length up to MaxQuotedValue():
  // LF dropped; the closing quote ends the value and what follows it up to CR
  // is dropped; a CR before any closing quote ends the value too. On failure
  // `text` is empty.
  bool ReadQuotedData(std::string_view prefix, std::string& text);

  // Key readers on the current line (see GetIntParam / GetStrParam). The
  // plain forms log a missing key; the Opt forms stay silent.
  bool LineInt(std::string_view key, int& value);
  bool LineIntOpt(std::string_view key, int& value) const;
  bool LineStr(std::string_view key, size_t capacity, std::string& text);
  bool LineStrOpt(std::string_view key, size_t capacity, std::string& text) const;

  // Received bytes not yet consumed.
  size_t Buffered() const { return fill_ - position_; }

  // Why the last read failed, kept until the next send or the next read that
  // brings data; ReadError() is the Winsock number behind Closed or Failed.
  TReadEnd ReadEnd() const { return read_end_; }
  int ReadError() const { return read_error_; }

 private:
  bool Refill();
  // Notes why FillBuffer gives nothing; returns 0 for it.
  size_t ReadEnded(TReadEnd end, int error = 0);
  // Logs "Послано: " with `logged`, sends `text` + CR LF.
  void Send(std::string_view text, std::string_view logged);

  const TStopSignal& stop_;
  TLogSink log_;
  bool debug_;
  TTCPClient link_;
  std::unique_ptr<std::array<char, kReceiveBufferSize>> receive_;
  size_t fill_ = 0;
  size_t position_ = 0;
  std::array<char, kLineBufferSize> line_{};
  size_t line_length_ = 0;
  unsigned read_timeout_ = kDefaultReadTimeout;
  size_t max_quoted_value_ = kDefaultMaxQuotedValue;
  TReadEnd read_end_ = TReadEnd::None;
  int read_error_ = 0;
};

}  // namespace vertamo
