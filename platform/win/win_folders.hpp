// Where the game finds its installed data and keeps the player's saves on Windows.
#pragma once

#include <string>

namespace zw {

// Runs the game in its own program folder, where the installer put Data\Res, Data\Music and
// Data\Fonts, and picks the save folder: a Data\Save folder beside the program (the portable
// zip ships one) wins; otherwise %APPDATA%\ZapWheely\Data\Save, made on the first start.
// False, with the reason, when neither can be used.
bool UseWindowsFolders(std::string& error);

// The save folder UseWindowsFolders picks for a program folder and a roaming application-data
// folder (both UTF-8); empty appData when Windows gives none.
std::string ChooseSaveFolder(const std::string& programFolder, const std::string& appData);

// A file named from the current folder, named so that it is found from any folder (UTF-8 in and
// out); the name as given where Windows cannot make it whole.
std::string AbsolutePath(const std::string& path);

}  // namespace zw
