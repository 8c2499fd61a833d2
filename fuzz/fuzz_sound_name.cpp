// Sound names as the server sends them ("PLAY"), through PlayByName: whatever
// the name, at most one entry is queued, a pause lies within 100...3000 ms,
// and a sound is a file directly in one of the "Wave" folders or in a
// sub-folder of the program's.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "sounds/sound_thread.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

struct Folders {
  std::string root, program, work;
  Folders() {
    root = (std::filesystem::temp_directory_path() / "fuzz-sound-XXXXXX").string();
    if (::mkdtemp(root.data()) == nullptr) std::abort();
    program = root + "/program/";
    work = root + "/work/";
    std::filesystem::create_directories(program + "Wave/sub");
    std::filesystem::create_directories(work + "Wave");
    for (const std::string& file : {program + "Wave/Alarm.wav", program + "Wave/sub/Loop.wav",
                                    work + "Wave/Call.wav", root + "/Outside.wav"})
      std::ofstream(file) << "RIFF";
  }
  ~Folders() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
};

bool InsideOneLevel(const std::string& path, const std::string& folder, bool allowSubFolder) {
  if (path.compare(0, folder.size(), folder) != 0) return false;
  const std::string rest = path.substr(folder.size());
  const size_t slash = rest.find('/');
  if (slash == std::string::npos) return rest != "." && rest != "..";
  return allowSubFolder && rest.find('/', slash + 1) == std::string::npos && rest.substr(0, slash) != "..";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Folders folders;
  static vertamo::TSilentAudioOutput silent;
  static vertamo::SoundThread thread(silent, folders.program, folders.work);
  const std::string_view name(reinterpret_cast<const char*>(data), size);
  thread.PlayByName(name);
  const auto pending = thread.Pending();
  thread.Flush();
  Check(pending.size() <= 1);
  if (pending.empty()) return 0;
  const std::string& entry = pending.front();
  if (entry.front() == ':') {
    const int ms = std::atoi(entry.c_str() + 1);
    Check(ms >= 100 && ms <= 3000);
    return 0;
  }
  Check(InsideOneLevel(entry, folders.program + "Wave/", true) ||
        InsideOneLevel(entry, folders.work + "Wave/", false));
  return 0;
}
