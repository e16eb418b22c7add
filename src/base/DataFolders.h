// Where the program's files live: the data it ships (config.ini, Profile/, Firmware/,
// FirmwareInformation.txt) and the folder of what the user writes (exported settings,
// backups, added firmware images, own setup sheets).
#pragma once

#include <filesystem>
#include <string>

namespace vorna {

inline constexpr const char* kDataFolderName = "vorna-link";

// The shipped data for a program started from `programFolder`: that folder itself when it
// holds config.ini (the build tree, a copy unpacked anywhere, the Windows installation), else
// ../share/vorna-link beside it when that holds config.ini (an installed program: /usr/bin ->
// /usr/share). When neither does, the program's folder, so that what is missing is named where it
// was looked for.
std::filesystem::path ShippedDataFolder(const std::filesystem::path& programFolder);

// The folder of the running program's executable; empty when the system does not say.
std::filesystem::path ProgramFolder();

// Linux: $XDG_DATA_HOME/vorna-link, or ~/.local/share/vorna-link when XDG_DATA_HOME is unset
// or not an absolute path (the XDG rule). Windows: %LOCALAPPDATA%\VORNA Link, as the shell
// names that folder. Empty when there is none. Not created here.
std::filesystem::path UserDataFolder();
// Why UserDataFolder() is empty, to end a sentence: "neither XDG_DATA_HOME nor HOME is set".
std::string WhyNoUserDataFolder();

// Subfolders of the user's data folder; empty when UserDataFolder() is.
std::filesystem::path UserFolder(const char* name);

}  // namespace vorna
