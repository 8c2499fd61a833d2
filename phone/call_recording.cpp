#include "phone/call_recording.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "phone/baresip_config.h"
#include "platform/cp1251.h"
#include "platform/folder_entries.h"
#include "platform/folders.h"
#include "records/conversation_merge.h"
#include "records/record_place.h"

namespace vertamo::phone {
namespace {

// baresip closes a conversation's files as it frees the call, a moment after
// it reported the call closed.
constexpr auto kFilesSettle = std::chrono::milliseconds(300);

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The newest file the sndfile module wrote for one direction ("enc": what
// this phone sent, "dec": what it received); its names carry the time.
std::string NewestDump(const std::string& folder, const std::string& direction) {
  std::string newest;
  for (const std::string& name : FolderEntries(folder, TEntryKind::Files))
    if (name.rfind("dump-", 0) == 0 && EndsWith(name, "-" + direction + ".wav")) newest = name;
  return newest;
}

// baresip's files only: the sides of a record still being made stay.
void RemoveDumps(const std::string& folder) {
  for (const std::string& name : FolderEntries(folder, TEntryKind::Files))
    if (name.rfind("dump-", 0) == 0 && EndsWith(name, ".wav")) RemoveFile(folder + name);
}

}  // namespace

TCallRecording::TCallRecording(TRecordSettings settings, std::string workFolder, const TPhoneLog& log)
    : settings_(settings), workFolder_(WithTrailingSlash(workFolder)), log_(log) {
  if (::pipe2(notice_, O_CLOEXEC | O_NONBLOCK) != 0) notice_[0] = notice_[1] = -1;
  if (!settings_.enabled) return;
  std::string error;
  soundFolder_ = MakePrivateFolder(&error);
  if (soundFolder_.empty()) log_.Line("calls are not recorded: " + error);
  worker_ = std::thread([this] { Work(); });
}

TCallRecording::~TCallRecording() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
  RemoveBaresipFolder(soundFolder_);
  for (const int fd : notice_)
    if (fd >= 0) ::close(fd);
}

std::string TCallRecording::Failure(const std::string& russianWhy, const std::string& logWhy) {
  log_.Line("the conversation is not recorded: " + logWhy);
  std::lock_guard lock(mutex_);
  const bool first = !std::exchange(failing_, true);
  return Utf8ToCp1251(first ? "NOREC " + russianWhy : std::string("NOREC"));
}

std::string TCallRecording::Begin(std::time_t now, const std::string& peer) {
  current_.clear();
  if (!settings_.enabled) return "NOREC";
  // baresip writes the sides whether a record is made of them or not.
  watching_ = !soundFolder_.empty();
  flooded_ = false;
  begun_ = std::chrono::steady_clock::now();
  if (soundFolder_.empty())
    return Failure("Разговор не записывается: нет папки для звука разговора", "no private folder for the sound");
  const std::string path = RecordPath(now, peer);
  std::string error;
  if (!MakeRecordFolders(workFolder_, path, &error))
    return Failure("Разговор не записывается: нельзя создать папку Records", error);
  struct statvfs room {};
  const std::string day = workFolder_ + path.substr(0, path.rfind('/'));
  if (::statvfs(day.c_str(), &room) == 0 &&
      static_cast<unsigned long long>(room.f_bavail) * room.f_frsize < kLeastRoom)
    return Failure("Разговор не записывается: на диске нет места", "less than 2 MB free in " + day);
  current_ = path;
  log_.Line("recording the conversation into " + path);
  return "REC " + path;
}

void TCallRecording::End() {
  watching_ = false;
  if (soundFolder_.empty()) return;
  const std::string sent = NewestDump(soundFolder_, "enc"), received = NewestDump(soundFolder_, "dec");
  if (current_.empty()) {
    RemoveDumps(soundFolder_);
    return;
  }
  // Named apart from the next conversation's files, which may begin before
  // this record is made.
  TJob job{soundFolder_ + std::to_string(++jobNumber_) + "-sent.wav",
           soundFolder_ + std::to_string(jobNumber_) + "-received.wav", workFolder_ + current_,
           std::chrono::steady_clock::now()};
  if (!sent.empty()) ::rename((soundFolder_ + sent).c_str(), job.sent.c_str());
  if (!received.empty()) ::rename((soundFolder_ + received).c_str(), job.received.c_str());
  current_.clear();
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  wake_.notify_all();
}

std::string TCallRecording::Watch(std::chrono::steady_clock::time_point now) {
  if (!watching_) return {};
  const long long seconds = std::chrono::duration_cast<std::chrono::seconds>(now - begun_).count();
  const long long allowed = kMaxBytesPerSecond * (seconds + kSlackSeconds);
  std::string line;
  for (const char* side : {"enc", "dec"}) {
    const std::string name = NewestDump(soundFolder_, side);
    if (name.empty()) continue;
    const std::string path = soundFolder_ + name;
    struct stat file {};
    if (!flooded_ && (::stat(path.c_str(), &file) != 0 || file.st_size <= allowed)) continue;
    if (!flooded_) {
      flooded_ = true;
      current_.clear();
      // What this phone sends comes from the sound source: one that does not
      // keep time (ALSA's null device) runs away just as junk does.
      line = Failure(std::string("Разговор не записан: ") + (std::string(side) == "dec"
                                                                 ? "на звуковой порт приходят чужие пакеты"
                                                                 : "источник звука не держит время"),
                     std::string(side) + " grew to " + std::to_string(file.st_size) + " bytes in " +
                         std::to_string(seconds) + " s: junk comes in, or the source does not keep time");
    }
    // baresip writes on at its own offset: what lies before it takes no room.
    if (::truncate(path.c_str(), 0) != 0) log_.Line("cannot empty " + path + ": " + std::strerror(errno));
  }
  return line;
}

void TCallRecording::Work() {
  std::unique_lock lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] { return quit_ || !jobs_.empty(); });
    if (jobs_.empty()) return;
    const TJob job = jobs_.front();
    jobs_.pop_front();
    lock.unlock();
    std::this_thread::sleep_until(job.ended + kFilesSettle);
    std::string error;
    const bool made = MergeConversation(job.sent, job.received, job.target, &error);
    RemoveFile(job.sent);
    RemoveFile(job.received);
    if (made) log_.Line("recorded " + job.target);
    else log_.Line("the conversation is not recorded: " + error);
    lock.lock();
    if (made) {
      failing_ = false;
    } else if (!std::exchange(failing_, true)) {
      const bool noRoom = error.find(std::strerror(ENOSPC)) != std::string::npos ||
                          error.find(std::strerror(EFBIG)) != std::string::npos;
      notices_.push_back(Utf8ToCp1251(std::string("NOREC Разговор не записан: ") +
                                      (noRoom ? "на диске нет места" : "запись не удалась")));
      if (notice_[1] >= 0) [[maybe_unused]] auto n = ::write(notice_[1], "!", 1);
    }
  }
}

std::vector<std::string> TCallRecording::TakeNotices() {
  char drain[64];
  while (notice_[0] >= 0 && ::read(notice_[0], drain, sizeof drain) > 0) {
  }
  std::lock_guard lock(mutex_);
  return std::exchange(notices_, {});
}

void TCallRecording::KeepDays(std::time_t now) {
  const std::string today = RecordDayName(now);
  if (today == keptDay_) return;
  keptDay_ = today;
  if (const int removed = RemoveExpiredRecordDays(workFolder_, now, settings_.keepDays); removed > 0)
    log_.Line("records of " + std::to_string(removed) + " day(s) older than " + std::to_string(settings_.keepDays) +
              " days removed");
}

}  // namespace vertamo::phone
