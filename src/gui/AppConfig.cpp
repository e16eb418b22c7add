#include "gui/AppConfig.h"

#include <climits>

#include "settings/IniFile.h"

namespace vorna::gui {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

IniFile LoadConfig(const std::filesystem::path& folder) {
    IniFile ini;
    // A missing or unreadable file leaves the document empty, and every key takes its default.
    ini.Load(ConfigFilePath(folder));
    return ini;
}

}  // namespace

std::filesystem::path ConfigFilePath(const std::filesystem::path& folder) {
    return folder / kConfigFileName;
}

int TextToInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate towards the sign so that INT_MIN itself is reachable; saturate beyond it.
    long long value = 0;
    constexpr long long kLimit = static_cast<long long>(INT_MAX) + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kLimit) value = kLimit;
    }
    if (negative) return static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

int ReadTextSize(const std::filesystem::path& folder) {
    const IniFile ini = LoadConfig(folder);
    return TextToInt(
        ini.Get(kTextInfoSection, kTextSizeKey, kDefaultTextSizeText, kTextSizeMaxChars));
}

std::string DefaultProductLink(ProductLink link) {
    if (link == ProductLink::Main) return kMakerHost;
    return std::string("http://") + kMakerHost + "/product/" + kProductLinkKeys[Index(link)] + "/";
}

ProductLinks ReadProductLinks(const std::filesystem::path& folder) {
    const IniFile ini = LoadConfig(folder);
    ProductLinks links;
    for (std::size_t i = 0; i < kProductLinkCount; ++i) {
        const auto link = static_cast<ProductLink>(i);
        links[i] = ini.Get(kProductLinkSection, kProductLinkKeys[i], DefaultProductLink(link),
                           kLinkMaxChars);
    }
    return links;
}

namespace {

constexpr const char* kModeNone = "None";
constexpr const char* kModeEsc = "Esc";
constexpr const char* kModeCard = "Program Card";

}  // namespace

DeviceMode ReadRememberedMode(const std::filesystem::path& file) {
    if (file.empty()) return DeviceMode::None;
    IniFile ini;
    ini.Load(file);
    const std::string mode = ini.Get(kWindowSection, kDeviceModeKey, kModeNone, 40);
    if (IniFile::EqualNoCase(mode, kModeEsc)) return DeviceMode::Esc;
    if (IniFile::EqualNoCase(mode, kModeCard)) return DeviceMode::Card;
    return DeviceMode::None;
}

bool RememberMode(const std::filesystem::path& file, DeviceMode mode) {
    if (file.empty() || mode == DeviceMode::Fix) return true;
    if (ReadRememberedMode(file) == mode) return true;
    IniFile ini;
    ini.Load(file);  // other keys a later version keeps there stay
    ini.Set(kWindowSection, kDeviceModeKey,
            mode == DeviceMode::Esc    ? kModeEsc
            : mode == DeviceMode::Card ? kModeCard
                                       : kModeNone);
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    return ini.Save(file);
}

}  // namespace vorna::gui
