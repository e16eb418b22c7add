#include "base/DataFolders.h"

#include <system_error>

namespace vorna {

namespace fs = std::filesystem;

namespace {

bool HoldsData(const fs::path& folder) {
    std::error_code ec;
    return fs::is_regular_file(folder / "config.ini", ec);
}

}  // namespace

fs::path ShippedDataFolder(const fs::path& programFolder) {
    if (HoldsData(programFolder)) return programFolder;
    const fs::path installed =
        (programFolder / ".." / "share" / kDataFolderName).lexically_normal();
    if (HoldsData(installed)) return installed;
    return programFolder;
}

fs::path UserFolder(const char* name) {
    const fs::path root = UserDataFolder();
    return root.empty() ? root : root / name;
}

}  // namespace vorna
