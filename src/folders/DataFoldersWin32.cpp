// The user's own folder on Windows: "VORNA Link" in the local application data folder, asked
// of the shell by its known-folder id, so a moved or redirected profile is followed.
#include <windows.h>
// After windows.h, which the shell's headers build on.
#include <knownfolders.h>
#include <shlobj.h>

#include "folders/DataFolders.h"

namespace vorna {

namespace fs = std::filesystem;

namespace {

constexpr const wchar_t* kUserFolderName = L"VORNA Link";

}  // namespace

fs::path UserDataFolder() {
    PWSTR found = nullptr;
    fs::path folder;
    if (::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &found) == S_OK &&
        found != nullptr && *found != L'\0') {
        folder = fs::path(found) / kUserFolderName;
    }
    ::CoTaskMemFree(found);
    return folder;
}

std::string WhyNoUserDataFolder() {
    return "Windows did not name the local application data folder";
}

}  // namespace vorna
