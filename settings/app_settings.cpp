#include "settings/app_settings.h"

#include "platform/folders.h"
#include "settings/func.h"

namespace vertamo {
namespace {

std::string_view WithoutExtension(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

std::string DataHomeFolder() {
  const std::string xdg = EnvironmentValue("XDG_DATA_HOME");
  if (!xdg.empty() && xdg.front() == '/') return WithTrailingSlash(xdg);
  const std::string home = HomeFolder();
  if (home.empty()) return {};
  return WithTrailingSlash(home) + ".local/share/";
}

std::string GetWorkFolder(std::string_view name, const std::string& dataHome,
                          const std::string& programFolder, std::string_view programName) {
  if (dataHome.empty() || !MakeFolders(dataHome)) return programFolder;
  const std::string_view sub = name.empty() ? WithoutExtension(programName) : name;
  const std::string folder = WithTrailingSlash(dataHome) + std::string(sub) + "/";
  MakeFolder(folder, kOwnerOnlyFolder);  // settings with the password, logs
  return FolderExists(folder) ? folder : programFolder;
}

TAppSettings::TAppSettings() {
  const std::string exe = ExecutablePath();
  const size_t slash = exe.rfind('/');
  if (slash == std::string::npos) {
    ProgramFolder = WithTrailingSlash(CurrentFolder());
    ProgramName = exe;
  } else {
    ProgramFolder = exe.substr(0, slash + 1);
    ProgramName = exe.substr(slash + 1);
  }
}

TAppSettings::TAppSettings(std::string programFolder, std::string programName)
    : ProgramFolder(WithTrailingSlash(programFolder)), ProgramName(std::move(programName)) {}

std::string TAppSettings::GetWorkFolder(std::string_view name) const {
  return vertamo::GetWorkFolder(name, DataHomeFolder(), ProgramFolder, ProgramName);
}

bool TAppSettings::ChooseWorkFolder(std::string_view name, const std::string& overrideFolder) {
  if (overrideFolder.empty()) {
    WorkFolder = GetWorkFolder(name);
    return true;
  }
  const std::string folder = AbsolutePath(overrideFolder);
  if (!MakeFolders(folder, kOwnerOnlyFolder)) return false;
  WorkFolder = WithTrailingSlash(folder);
  return true;
}

void TAppSettings::OpenMainIni(std::string_view fileName) {
  CloseMainIni();
  const std::string name =
      fileName.empty() ? std::string(WithoutExtension(ProgramName)) + ".ini" : std::string(fileName);
  // What an interrupted save of an earlier run left behind goes first.
  RemoveStaleIniTemporaries(WorkPath(name));
  MainIni = std::make_unique<TFastIni>(WorkPath(name));
}

void TAppSettings::CloseMainIni() { MainIni.reset(); }

void TAppSettings::SaveFormPos(const IFormBounds& window) {
  if (MainIni) MainIni->WriteFormBounds(&window);
}

void TAppSettings::RestoreFormPos(IFormBounds& window) const {
  if (MainIni) MainIni->ReadFormBounds(&window);
}

std::string TAppSettings::WorkPath(std::string_view name) const {
  return vertamo::WorkPath(WorkFolder, name);
}

std::string TAppSettings::ProgramPath(std::string_view name) const {
  return vertamo::ProgramPath(ProgramFolder, name);
}

}  // namespace vertamo
