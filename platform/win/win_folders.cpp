#include "platform/win/win_folders.hpp"

#include <shlobj.h>
#include <windows.h>

#include <filesystem>

#include "platform/win/win_text.hpp"
#include "save/save_files.hpp"

namespace zw {

std::string ChooseSaveFolder(const std::string& programFolder, const std::string& appData) {
  std::error_code ec;
  const std::filesystem::path portable = FsPath(programFolder) / "Data" / "Save";
  if (std::filesystem::is_directory(portable, ec)) return "Data/Save";
  if (appData.empty()) return {};
  return appData + "\\ZapWheely\\Data\\Save";
}

std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path whole = std::filesystem::absolute(FsPath(path), ec);
  if (ec) return path;
  return Utf8(whole.wstring());
}

bool UseWindowsFolders(std::string& error) {
  std::wstring exe(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
    if (n == 0) {
      error = "The game cannot find its own folder.";
      return false;
    }
    if (n < exe.size()) {
      exe.resize(n);
      break;
    }
    exe.resize(exe.size() * 2);
  }
  const std::filesystem::path folder = std::filesystem::path(exe).parent_path();
  if (!SetCurrentDirectoryW(folder.c_str())) {
    error = "The game cannot open its folder " + Utf8(folder.wstring()) + ".";
    return false;
  }
  std::string appData;
  PWSTR known = nullptr;
  if (SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, &known) == S_OK)
    appData = Utf8(known);
  CoTaskMemFree(known);
  const std::string save = ChooseSaveFolder(Utf8(folder.wstring()), appData);
  if (save.empty()) {
    error = "Windows gives the game no application-data folder to keep its saves in.";
    return false;
  }
  std::error_code ec;
  std::filesystem::create_directories(FsPath(save), ec);
  if (!std::filesystem::is_directory(FsPath(save), ec)) {
    error = "The game cannot make its save folder " + save + ".";
    return false;
  }
  SetSaveFolder(save);
  return true;
}

}  // namespace zw
