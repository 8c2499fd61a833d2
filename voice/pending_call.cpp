#include "voice/pending_call.h"

#include "platform/folders.h"
#include "platform/raw_file.h"

namespace vertamo {

namespace {

constexpr std::string_view kEndSpeak = "ENDSPEAK ";
// A marker is two short lines; anything larger is not ours.
constexpr std::size_t kLargestMarker = 8 * 1024;

}  // namespace

std::string PendingCallText(const TPendingCall& call) {
  std::string text = CallHistoryLine(call.record);
  if (!call.endSpeak.empty()) text += call.endSpeak + "\r\n";
  return text;
}

bool ParsePendingCallText(std::string_view text, TPendingCall& call) {
  const std::size_t lineEnd = text.find('\n');
  TPendingCall parsed;
  if (!ParseCallHistoryLine(text.substr(0, lineEnd), parsed.record)) return false;
  std::string_view rest = lineEnd == std::string_view::npos ? std::string_view() : text.substr(lineEnd + 1);
  while (!rest.empty() && (rest.back() == '\n' || rest.back() == '\r')) rest.remove_suffix(1);
  if (!rest.empty()) {
    // Only the request a lift call owes, printable, on one line.
    if (rest.substr(0, kEndSpeak.size()) != kEndSpeak) return false;
    for (const char c : rest)
      if (static_cast<unsigned char>(c) < 0x20) return false;
    parsed.endSpeak.assign(rest);
  }
  call = std::move(parsed);
  return true;
}

TPendingCallFile::TPendingCallFile(const std::string& workFolder)
    : path_(WithTrailingSlash(workFolder) + kFileName) {}

bool TPendingCallFile::Keep(const std::optional<TPendingCall>& call) {
  if (!call) return RemoveFile(path_) || FileMode(path_) < 0;
  const std::string text = PendingCallText(*call);
  const std::string temporary = path_ + ".new";
  TRawFile file;
  if (!file.Open(temporary, TRawFile::kGenericWrite, 0, TRawFile::kCreateAlways,
                 TRawFile::kFileAttributeOwnerOnly))
    return false;
  const bool written = file.Write(text.data(), text.size()) && file.Flush();
  file.Close();
  return written && ReplaceFile(temporary, path_);
}

std::optional<TPendingCall> TPendingCallFile::Take() {
  std::string text;
  const bool read = ReadRegularFile(path_, kLargestMarker, text);
  if (FileMode(path_) >= 0) RemoveFile(path_);
  TPendingCall call;
  if (!read || !ParsePendingCallText(text, call)) return std::nullopt;
  return call;
}

}  // namespace vertamo
