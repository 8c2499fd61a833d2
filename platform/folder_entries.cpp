#include "platform/folder_entries.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

namespace vertamo {

std::vector<std::string> FolderEntries(const std::string& folder, TEntryKind kind) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return names;
  const int fd = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    bool isFolder = entry->d_type == DT_DIR;
    bool isFile = entry->d_type == DT_REG;
    if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      struct stat st {};
      if (::fstatat(fd, entry->d_name, &st, 0) != 0) continue;
      isFolder = S_ISDIR(st.st_mode);
      isFile = S_ISREG(st.st_mode);
    }
    if (kind == TEntryKind::Folders ? isFolder : isFile) names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace vertamo
