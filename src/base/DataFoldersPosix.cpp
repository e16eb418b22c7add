// The user's own folder on Linux, by the XDG base directory rule.
#include <cstdlib>

#include "base/DataFolders.h"

namespace vorna {

namespace fs = std::filesystem;

fs::path UserDataFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && *data == '/') return fs::path(data) / kDataFolderName;
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') return {};
    return fs::path(home) / ".local" / "share" / kDataFolderName;
}

fs::path ProgramFolder() {
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : program.parent_path();
}

std::string WhyNoUserDataFolder() {
    return "neither XDG_DATA_HOME nor HOME is set";
}

}  // namespace vorna
