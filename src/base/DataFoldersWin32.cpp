// The user's own folder on Windows: "VORNA Link" in the local application data folder, asked
// of the shell by its known-folder id, so a moved or redirected profile is followed.
#include <windows.h>
// After windows.h, which the shell's headers build on.
#include <knownfolders.h>
#include <shlobj.h>

#include <string>

#include "base/DataFolders.h"

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

fs::path ProgramFolder() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) return {};
        if (length < name.size()) return fs::path(name.substr(0, length)).parent_path();
        name.resize(name.size() * 2);  // cut short: ask again with more room
    }
}

std::string WhyNoUserDataFolder() {
    return "Windows did not name the local application data folder";
}

}  // namespace vorna
