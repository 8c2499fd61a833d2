#include "serverlink/picture_cache.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <thread>

#include "map/picture_set.h"
#include "platform/cp1251.h"
#include "platform/folders.h"
#include "platform/raw_file.h"

namespace vertamo {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";
// Longest stem kept whole; a longer one (only possible for names beyond the
// model's capacities) is shortened and marked with a hash of the whole name.
constexpr std::size_t kMaxStem = 200;

bool IsUnsafeByte(unsigned char b) {
  if (b < 0x20 || b == 0x7F) return true;
  switch (b) {
    case '/':
    case '\\':
    case ':':
    case '*':
    case '?':
    case '"':
    case '<':
    case '>':
    case '|':
    case '%':
      return true;
    default:
      return false;
  }
}

void AppendEscape(std::string& out, unsigned char b) {
  out += '%';
  out += kHex[b >> 4];
  out += kHex[b & 0xF];
}

uint64_t Fnv1a(std::string_view bytes) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char b : bytes) {
    h ^= b;
    h *= 1099511628211ull;
  }
  return h;
}

// "<identifier>_<digits>": the form of a picture set's file stem.
bool LooksLikeSetFile(std::string_view stem) {
  const std::size_t bar = stem.rfind('_');
  if (bar == std::string_view::npos || bar + 1 >= stem.size()) return false;
  for (char c : stem.substr(bar + 1))
    if (c < '0' || c > '9') return false;
  return IsPictureSetName(stem.substr(0, bar));
}

// "<stem>.png.<hex>-<hex>.tmp", as TemporaryNameFor makes them. A cache file
// itself always ends in ".png".
bool IsCacheTemporaryName(std::string_view name) {
  constexpr std::string_view kTail = ".tmp", kPng = ".png.";
  if (name.size() <= kTail.size() || name.substr(name.size() - kTail.size()) != kTail) return false;
  const std::string_view middle = name.substr(0, name.size() - kTail.size());
  const std::size_t png = middle.rfind(kPng);
  if (png == std::string_view::npos) return false;
  const std::string_view numbers = middle.substr(png + kPng.size());
  const std::size_t dash = numbers.find('-');
  const auto hex = [](std::string_view digits) {
    if (digits.empty() || digits.size() > 16) return false;
    for (char c : digits)
      if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
  };
  return dash != std::string_view::npos && hex(numbers.substr(0, dash)) && hex(numbers.substr(dash + 1));
}

std::string TemporaryNameFor(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  const std::size_t thread = std::hash<std::thread::id>{}(std::this_thread::get_id());
  char suffix[64];
  std::snprintf(suffix, sizeof suffix, ".%zx-%x.tmp", thread & 0xFFFFFFFFu, counter.fetch_add(1));
  return path + suffix;
}

}  // namespace

std::string CacheFolderIn(std::string_view workFolder) { return WithTrailingSlash(workFolder) + "Cache/"; }

std::string CacheFileStem(std::string_view name) {
  if (name.empty()) return "%";
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto b = static_cast<unsigned char>(name[i]);
    const bool edge = (i == 0 && b == '.') || (i + 1 == name.size() && (b == '.' || b == ' '));
    if (IsUnsafeByte(b) || edge) {
      AppendEscape(out, b);
    } else if (b < 0x80) {
      out += static_cast<char>(b);
    } else {
      out += Cp1251ToUtf8(name.substr(i, 1));
    }
  }
  if (out.size() > kMaxStem) {
    // Cut on a character boundary: never inside an escape or a UTF-8 sequence.
    std::size_t cut = kMaxStem - 20;
    while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
    if (cut >= 1 && out[cut - 1] == '%')
      cut -= 1;
    else if (cut >= 2 && out[cut - 2] == '%')
      cut -= 2;
    char hash[24];
    std::snprintf(hash, sizeof hash, "%%%%%016llx", static_cast<unsigned long long>(Fnv1a(name)));
    out = out.substr(0, cut) + hash;  // "%%" never occurs in an encoded name
  }
  return out;
}

std::string MapCacheFile(std::string_view cacheFolder, std::string_view mapName) {
  std::string stem = CacheFileStem(mapName);
  if (LooksLikeSetFile(stem)) {
    const std::size_t bar = stem.rfind('_');
    stem.replace(bar, 1, "%5F");
  }
  return WithTrailingSlash(cacheFolder) + stem + ".png";
}

std::string PictureSetCacheFile(std::string_view cacheFolder, std::string_view setName, int index) {
  return WithTrailingSlash(cacheFolder) + CacheFileStem(setName) + "_" + std::to_string(index) + ".png";
}

bool ReadCacheFile(const std::string& path, std::string& bytes) {
  return ReadRegularFile(path, kMaxCacheFileBytes, bytes);
}

int RemoveStaleCacheTemporaries(const std::string& cacheFolder) {
  int removed = 0;
  for (const std::string& name : FilesInFolder(cacheFolder))
    if (IsCacheTemporaryName(name) && RemoveFile(WithTrailingSlash(cacheFolder) + name)) ++removed;
  return removed;
}

bool WriteCacheFile(std::string_view cacheFolder, const std::string& path, const Image& picture) {
  const std::string png = EncodePng(picture);
  if (png.empty()) return false;
  MakeFolders(WithTrailingSlash(cacheFolder));
  std::string temporary;
  TRawFile file;
  for (int attempt = 0; attempt < 16 && !file.IsOpen(); ++attempt) {
    temporary = TemporaryNameFor(path);
    if (!file.Open(temporary, TRawFile::kGenericWrite, 0, TRawFile::kCreateNew,
                   TRawFile::kFileAttributeNormal) &&
        file.ErrorCode() != EEXIST)
      return false;
  }
  if (!file.IsOpen()) return false;
  const bool written = file.Write(png.data(), png.size());
  const bool closed = file.Close();
  // The rename makes the new picture appear whole or not at all. Cache files
  // can always be fetched again, so they are not flushed to the disk one by one.
  if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
    RemoveFile(temporary);
    return false;
  }
  return true;
}

bool RemoveCacheFile(const std::string& path) { return RemoveFile(path) || !FileExists(path); }

TCacheWriter::TCacheWriter(std::size_t maxQueuedBytes)
    : maxQueuedBytes_(maxQueuedBytes), thread_([this] { Run(); }) {}

TCacheWriter::~TCacheWriter() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    jobs_.clear();
    queuedBytes_ = 0;
  }
  changed_.notify_all();
  thread_.join();
}

void TCacheWriter::Post(std::string cacheFolder, std::string path, Image picture) {
  Queue(Job{std::move(cacheFolder), std::move(path), std::move(picture), {}});
}

void TCacheWriter::PostPng(std::string cacheFolder, std::string path, std::string png) {
  Queue(Job{std::move(cacheFolder), std::move(path), {}, std::move(png)});
}

void TCacheWriter::Queue(Job job) {
  const std::size_t bytes = job.Bytes();
  std::unique_lock lock(mutex_);
  // One picture larger than the bound still goes, once the queue is empty.
  changed_.wait(lock,
                [&] { return stopping_ || queuedBytes_ == 0 || queuedBytes_ + bytes <= maxQueuedBytes_; });
  if (stopping_) return;
  jobs_.push_back(std::move(job));
  queuedBytes_ += bytes;
  changed_.notify_all();
}

void TCacheWriter::WaitIdle() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return stopping_ || (jobs_.empty() && !busy_); });
}

int TCacheWriter::Written() const {
  std::lock_guard lock(mutex_);
  return written_;
}

int TCacheWriter::Failed() const {
  std::lock_guard lock(mutex_);
  return failed_;
}

void TCacheWriter::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
    if (stopping_) return;
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    queuedBytes_ -= job.Bytes();
    busy_ = true;
    changed_.notify_all();
    lock.unlock();
    const bool ok = (job.png.empty() || DecodePng(job.png, job.picture)) &&
                    WriteCacheFile(job.folder, job.path, job.picture);
    job = Job{};
    lock.lock();
    busy_ = false;
    ++(ok ? written_ : failed_);
    changed_.notify_all();
  }
}

}  // namespace vertamo
