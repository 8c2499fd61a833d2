// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes away.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace vertamo::testing {

class TempFolder {
 public:
  TempFolder() : TempFolder(std::filesystem::temp_directory_path().string()) {}
  // Under `base` instead (fuzz targets write a file every run: /dev/shm keeps
  // that off the disk).
  explicit TempFolder(const std::string& base) {
    std::string tmpl = (std::filesystem::path(base) / "vertamo-test-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) != nullptr) path_ = tmpl;
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder, without a trailing "/".
  const std::string& path() const { return path_; }
  // The folder with a trailing "/", as the system keeps folders.
  std::string folder() const { return path_ + "/"; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// A folder in memory where the system has one, else under the temporary folder.
inline const char* FastTempBase() { return std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp"; }

// Empty when the file cannot be read. A file of /proc whose process ends
// while it is read fails the read itself, which libstdc++'s stream buffer
// reports by throwing; that is also "cannot be read".
inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  try {
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::ios_base::failure&) {
    return {};
  }
}

inline void WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace vertamo::testing
