#include "sounds/sound_thread.h"

#include <climits>

#include "platform/cp1251.h"
#include "platform/folder_entries.h"
#include "platform/folders.h"

namespace vertamo {
namespace {

constexpr size_t kMaxFileName = 255;
constexpr std::string_view kWaveFolder = "Wave/";

bool IsSeparator(char c) { return c == '/' || c == '\\' || c == ':'; }

// The extension as a file-name function finds it: from the last "." after the
// last separator, or nothing.
std::string_view Extension(std::string_view name) {
  for (size_t i = name.size(); i-- > 0;) {
    if (name[i] == '.') return name.substr(i);
    if (IsSeparator(name[i])) break;
  }
  return {};
}

bool IsWaveExtension(std::string_view ext) {
  static constexpr std::string_view kWav = ".wav";
  if (ext.size() != kWav.size()) return false;
  for (size_t i = 0; i < ext.size(); ++i)
    if (LowerCp1251(static_cast<unsigned char>(ext[i])) != static_cast<unsigned char>(kWav[i])) return false;
  return true;
}

// The leading decimal number, saturated at INT_MAX.
int LeadingNumber(std::string_view text) {
  long long n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    n = n * 10 + (c - '0');
    if (n > INT_MAX) return INT_MAX;
  }
  return static_cast<int>(n);
}

bool IsFileName(std::string_view name) {
  if (name.empty() || name.size() > kMaxFileName) return false;
  for (unsigned char c : name)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}

// The file `name` in `folder`: the exact name, else one that differs only in
// letter case (the first by the order of names). Empty when there is none.
std::string FindInFolder(const std::string& folder, const std::string& name) {
  std::string path = folder + name;
  if (FileExists(path)) return path;
  for (const std::string& entry : FolderEntries(folder, TEntryKind::Files))
    if (EqualsIgnoreCaseCp1251(entry, name)) return folder + entry;
  return {};
}

}  // namespace

TSoundRequest ResolveSoundName(std::string_view name, const std::string& programFolder,
                               const std::string& workFolder) {
  TSoundRequest request;
  if (name.empty()) return request;
  if (!IsWaveExtension(Extension(name))) {
    if (name.front() >= '0' && name.front() <= '9') {
      const int ms = LeadingNumber(name);
      if (ms >= SoundThread::kMinPauseMs && ms <= SoundThread::kMaxPauseMs) {
        request.kind = TSoundRequest::TKind::Pause;
        request.pauseMs = ms;
      }
    }
    return request;
  }
  size_t start = name.size();
  while (start > 0 && !IsSeparator(name[start - 1])) --start;
  const std::string_view fileName = name.substr(start);
  if (!IsFileName(fileName)) return request;
  const std::string file(fileName);

  const std::string programWave = WithTrailingSlash(programFolder) + std::string(kWaveFolder);
  std::string found = FindInFolder(programWave, file);
  if (found.empty()) found = FindInFolder(WithTrailingSlash(workFolder) + std::string(kWaveFolder), file);
  if (found.empty()) {
    for (const std::string& sub : FolderEntries(programWave, TEntryKind::Folders)) {
      found = FindInFolder(programWave + sub + "/", file);
      if (!found.empty()) break;
    }
  }
  if (found.empty()) return request;
  request.kind = TSoundRequest::TKind::Sound;
  request.path = std::move(found);
  return request;
}

SoundThread::SoundThread(IAudioOutput& output, std::string programFolder, std::string workFolder)
    : output_(output), programFolder_(std::move(programFolder)), workFolder_(std::move(workFolder)) {}

SoundThread::~SoundThread() { Terminate(); }

void SoundThread::Start() {
  if (thread_.joinable() || terminated_) return;
  thread_ = std::thread([this] { Run(); });
}

void SoundThread::Terminate() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    terminated_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  Flush();
}

void SoundThread::Enqueue(std::string_view entry) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.emplace_back(entry);
  }
  wake_.notify_all();
}

void SoundThread::EnqueuePause(int milliseconds) { Enqueue(":" + std::to_string(milliseconds)); }

void SoundThread::PlayByName(std::string_view name) {
  const TSoundRequest request = ResolveSoundName(name, programFolder_, workFolder_);
  if (request.kind == TSoundRequest::TKind::Pause) EnqueuePause(request.pauseMs);
  if (request.kind == TSoundRequest::TKind::Sound) Enqueue(request.path);
}

void SoundThread::Flush() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.clear();
    ++flushes_;
  }
  wake_.notify_all();
}

std::vector<std::string> SoundThread::Pending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return {queue_.begin(), queue_.end()};
}

bool SoundThread::Interrupted(uint64_t flushes) const { return terminated_ || flushes_ != flushes; }

void SoundThread::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    // The poll between entries; an idle thread then sleeps until an entry
    // comes instead of waking every 100 ms.
    wake_.wait_for(lock, kPoll, [this] { return terminated_.load(); });
    wake_.wait(lock, [this] { return terminated_ || !queue_.empty(); });
    if (terminated_) break;
    const std::string entry = std::move(queue_.front());
    queue_.pop_front();
    const uint64_t flushes = flushes_;
    lock.unlock();
    if (!entry.empty() && entry.front() == ':') {
      Pause(LeadingNumber(std::string_view(entry).substr(1)), flushes);
    } else {
      output_.PlayWaveFile(entry, [this, flushes] { return Interrupted(flushes); }, lowering_);
    }
    lock.lock();
  }
}

bool SoundThread::Pause(int milliseconds, uint64_t flushes) {
  const auto length = kPauseStep * (milliseconds / static_cast<int>(kPauseStep.count()));
  std::unique_lock<std::mutex> lock(mutex_);
  return !wake_.wait_for(lock, length, [this, flushes] { return Interrupted(flushes); });
}

}  // namespace vertamo
