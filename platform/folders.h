// Folders, paths and the process environment: what the settings layer needs
// from the operating system. Paths use "/"; folder paths that the system keeps
// end in "/".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vertamo {

// Appends "/" unless the text is empty or ends in "/" already.
std::string WithTrailingSlash(std::string_view folder);

bool FolderExists(const std::string& path);
bool FileExists(const std::string& path);
// Permissions of a folder only its owner may enter (the work folder).
constexpr unsigned kOwnerOnlyFolder = 0700;

// Creates one folder level with `mode` (less the process's umask); a folder
// that exists keeps its mode. True when it exists afterwards.
bool MakeFolder(const std::string& path, unsigned mode = 0777);
// Creates the folder and every missing parent; the folder itself gets
// `mode`, the parents 0777 (less the umask). True when it exists afterwards.
bool MakeFolders(const std::string& path, unsigned mode = 0777);

// Absolute form of a path (relative ones are taken from the current folder);
// no symbolic links are resolved.
std::string AbsolutePath(const std::string& path);
// The path with every symbolic link resolved when the file exists; else the
// path unchanged.
std::string ResolvedPath(const std::string& path);

bool SetCurrentFolder(const std::string& path);
std::string CurrentFolder();

// Full path of the running executable; empty when unknown.
std::string ExecutablePath();

// Value of an environment variable; empty when unset.
std::string EnvironmentValue(const char* name);
// The user's home folder: $HOME, else the password database; empty when unknown.
std::string HomeFolder();

// Permission bits of an existing file; -1 when it does not exist.
int FileMode(const std::string& path);
bool RemoveFile(const std::string& path);
// Names of the regular files in a folder (not "." or "..", no sub-folders),
// in no particular order; empty when the folder cannot be read.
std::vector<std::string> FilesInFolder(const std::string& folder);
// Renames `from` over `to` in one step and flushes the folder entry.
bool ReplaceFile(const std::string& from, const std::string& to);

}  // namespace vertamo
