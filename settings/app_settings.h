// The settings every window of the workstation shares: the work folder (home
// of every file the system writes), the program's own folder, and the main
// settings file "Vertamo.ini".
//
// The running program owns one TAppSettings; nothing here is global, so a
// test can run two side by side on two folders.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "settings/fast_ini.h"
#include "settings/form_bounds.h"

namespace vertamo {

// The user's data folder: $XDG_DATA_HOME when it is an absolute path, else
// ~/.local/share. Ends in "/"; empty when no home folder is known.
std::string DataHomeFolder();

// The work folder named `name` inside `dataHome` (created with its parents
// when missing; an empty name means `programName` without its extension).
// `programFolder` when the folder cannot be had. Ends in "/".
std::string GetWorkFolder(std::string_view name, const std::string& dataHome,
                          const std::string& programFolder, std::string_view programName);

class TAppSettings {
 public:
  // The running executable's folder and name.
  TAppSettings();
  TAppSettings(std::string programFolder, std::string programName);
  TAppSettings(const TAppSettings&) = delete;
  TAppSettings& operator=(const TAppSettings&) = delete;

  std::string ProgramFolder;  // ends in "/"
  std::string ProgramName;    // file name of the executable
  std::string WorkFolder;     // ends in "/"; empty until chosen
  std::unique_ptr<TFastIni> MainIni;

  // GetWorkFolder in the user's data folder.
  std::string GetWorkFolder(std::string_view name) const;
  // Sets WorkFolder: `overrideFolder` when not empty (made absolute, created
  // with its parents; false when that fails), else GetWorkFolder(name).
  bool ChooseWorkFolder(std::string_view name, const std::string& overrideFolder = {});

  // Opens and loads WorkFolder + fileName as MainIni (closing a previous one);
  // an empty name means the executable's name with the extension ".ini".
  void OpenMainIni(std::string_view fileName);
  // Destroys MainIni, which saves it when modified.
  void CloseMainIni();
  // Window bounds in MainIni under the window's name; nothing without MainIni.
  void SaveFormPos(const IFormBounds& window);
  void RestoreFormPos(IFormBounds& window) const;

  std::string WorkPath(std::string_view name) const;
  std::string ProgramPath(std::string_view name) const;
};

}  // namespace vertamo
