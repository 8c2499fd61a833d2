#include "serverlink/client_log.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <utility>

#include "platform/cp1251.h"
#include "protocol/log_prefix.h"

namespace vertamo {

TClientLog::TClientLog(std::string workFolder, bool debug) : debug_(debug) {
  if (!workFolder.empty() && workFolder.back() != '/') workFolder += '/';
  path_ = std::move(workFolder) + "Client.log";
}

TClientLog::~TClientLog() { Close(); }

void TClientLog::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  file_.Close();
}

std::string EscapeControlBytes(std::string_view message) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(message.size());
  for (const char c : message) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b != 0x7F) {
      out += c;
      continue;
    }
    out += "\\x";
    out += kHex[b >> 4];
    out += kHex[b & 0xF];
  }
  return out;
}

void TClientLog::WriteLine(std::string_view message) {
  if (message.size() > kMaxMessage) message = message.substr(0, kMaxMessage);
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::string line = LogLinePrefix(local);
  line.append(EscapeControlBytes(message));
  line.append("\r\n");
  std::lock_guard<std::mutex> lock(mutex_);
  // A folder that is missing now may exist at the next line: try again then.
  if (!file_.IsOpen() &&
      !file_.Open(path_, TRawFile::kFileAppendData, TRawFile::kFileShareRead, TRawFile::kOpenAlways,
                  TRawFile::kFileAttributeNormal | TRawFile::kFileAttributeOwnerOnly))
    return;
  // Append mode and one write per line: each line lands whole at the end of
  // the file, so lines of two writers never interleave.
  if (!file_.Write(line.data(), line.size())) {
    // A disk that was full may have room at the next line.
    file_.Close();
  }
}

void TClientLog::VAlways(const char* format, va_list args) {
  const std::string cpFormat = Utf8ToCp1251(format ? format : "");
  char buffer[kMaxMessage + 1];
  const int n = std::vsnprintf(buffer, sizeof buffer, cpFormat.c_str(), args);
  if (n < 0) return;
  WriteLine(std::string_view(buffer, std::min<size_t>(static_cast<size_t>(n), kMaxMessage)));
}

void TClientLog::VDebug(const char* format, va_list args) {
  if (debug_) VAlways(format, args);
}

void TClientLog::Debug(const char* format, ...) {
  if (!debug_) return;
  va_list args;
  va_start(args, format);
  VAlways(format, args);
  va_end(args);
}

void TClientLog::Always(const char* format, ...) {
  va_list args;
  va_start(args, format);
  VAlways(format, args);
  va_end(args);
}

}  // namespace vertamo
