// The picture cache: PNG files in the work folder's "Cache" folder.
//
//   background of a map          Cache/<map name>.png
//   picture j of a picture set   Cache/<set name>_<j>.png
//
// Names come from the server, so they are made safe before they name a file:
// bytes that are harmless in a file name stay as they are (converted from code
// page 1251 to UTF-8, so Russian map names stay readable), every other byte
// becomes "%" and two hexadecimal digits ("%" itself included), and a leading
// "." as well as a trailing "." or blank are encoded too. The encoding is
// one-to-one: the same name always gives the same file and two different names
// never share one. A map name that would look like a picture set's file
// ("lift_0") gets its last "_" encoded, so maps and sets never collide either.
//
// A cache file is written to a temporary file in the same folder and renamed
// over the old one, so a crash never leaves half a picture under a cache name.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "codec/png_codec.h"
#include "serverlink/load_limits.h"

namespace vertamo {

// The cache folder of a work folder: work folder + "Cache/".
std::string CacheFolderIn(std::string_view workFolder);

// The file-name form of a name (without folder or extension); see above.
std::string CacheFileStem(std::string_view name);

// Full paths; cacheFolder with or without its closing "/".
std::string MapCacheFile(std::string_view cacheFolder, std::string_view mapName);
std::string PictureSetCacheFile(std::string_view cacheFolder, std::string_view setName, int index);

// Reads a whole cache file (at most kMaxCacheFileBytes). False when it cannot be
// opened or read, is larger, or is anything but a regular file (a FIFO under a
// cache name is refused at once, never waited for).
bool ReadCacheFile(const std::string& path, std::string& bytes);

// Removes the temporary files that an interrupted cache write left behind
// (<cache file>.<hex>-<hex>.tmp); returns how many went.
int RemoveStaleCacheTemporaries(const std::string& cacheFolder);

// Creates the cache folder when needed and replaces the file at `path` by the
// picture as the project's PNG encoder writes it, atomically. False when the
// picture is empty or the file cannot be written (the old file then stays).
bool WriteCacheFile(std::string_view cacheFolder, const std::string& path, const Image& picture);

// Removes a cache file; true when it is gone.
bool RemoveCacheFile(const std::string& path);

// Writes cache files on a thread of its own, so that encoding a received
// picture again (as large as a map background) does not hold up the load.
// Pictures are written in the order posted; each file appears whole or not at
// all (WriteCacheFile), so a checksum path that runs before a file is written
// merely falls back to the download.
class TCacheWriter {
 public:
  // maxQueuedBytes: pixel bytes that may wait; Post waits while more do.
  explicit TCacheWriter(std::size_t maxQueuedBytes = std::size_t{64} << 20);
  // Drops what still waits and lets the picture being written finish.
  ~TCacheWriter();
  TCacheWriter(const TCacheWriter&) = delete;
  TCacheWriter& operator=(const TCacheWriter&) = delete;

  void Post(std::string cacheFolder, std::string path, Image picture);
  // The same for a picture as received (a PNG file), which the writer decodes
  // itself: what waits is the file, a fraction of its pixels, so that a load
  // whose pictures come faster than they can be encoded again seldom waits.
  void PostPng(std::string cacheFolder, std::string path, std::string png);
  // Waits until every posted picture has been written.
  void WaitIdle();
  // Pictures written, and files that could not be written.
  int Written() const;
  int Failed() const;

 private:
  struct Job {
    std::string folder, path;
    Image picture;
    std::string png;  // instead of the picture, when given
    std::size_t Bytes() const { return png.empty() ? picture.argb.size() * sizeof(uint32_t) : png.size(); }
  };
  void Queue(Job job);
  void Run();

  const std::size_t maxQueuedBytes_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> jobs_;
  std::size_t queuedBytes_ = 0;
  bool busy_ = false;
  bool stopping_ = false;
  int written_ = 0, failed_ = 0;
  std::thread thread_;
};

}  // namespace vertamo
