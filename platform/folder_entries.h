// What a folder holds, for code that searches folders by name.
#pragma once

#include <string>
#include <vector>

namespace vertamo {

enum class TEntryKind { Files, Folders };

// Names of the regular files or of the sub-folders of `folder` (symbolic
// links count as what they point to), without "." and "..", sorted by their
// bytes. Empty when the folder cannot be read.
std::vector<std::string> FolderEntries(const std::string& folder, TEntryKind kind);

}  // namespace vertamo
