#include "gui/AppConfig.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "base/Files.h"
#include "settings/IniFile.h"

namespace vorna::gui {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

IniFile LoadConfig(const std::filesystem::path& folder) {
    IniFile ini;
    // A missing or unreadable file leaves the document empty, and every key takes its default.
    // The window says why once, at the start, with the file's other problems
    // (ConfigFileProblem); each value read here just falls back.
    if (const Status loaded = ini.Load(ConfigFilePath(folder)); !loaded) return IniFile();
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

std::string ConfigFileProblem(const std::filesystem::path& folder) {
    const Result<std::string> file = ReadSmallFileBare(ConfigFilePath(folder), kMaxIniFileBytes);
    const std::string allDefaults = std::string(". The default text size (") +
                                    kDefaultTextSizeText + ") and the built-in web links are used.";
    if (!file) {
        std::string why;
        switch (file.Kind()) {
            case ProblemKind::Missing:
                return {};
            case ProblemKind::Folder:
                why = "it is a folder";
                break;
            case ProblemKind::NotRegular:
                why = "it is " + file.Detail();
                break;
            case ProblemKind::TooLarge:
                why = "it is larger than " + SizeLimitText(kMaxIniFileBytes);
                break;
            default:
                why = file.Detail();
                break;
        }
        return std::string(kConfigFileName) + " was not read: " + why + allDefaults;
    }

    IniFile ini;
    ini.Parse(*file);
    if (file->find_first_not_of(" \t\r\n\v\f") == std::string::npos) {
        return std::string(kConfigFileName) + " is empty" + allDefaults;
    }
    if (!ini.HasSection(kTextInfoSection) && !ini.HasSection(kProductLinkSection)) {
        return std::string(kConfigFileName) + " was not read: it has neither a [" +
               kTextInfoSection + "] nor a [" + kProductLinkSection + "] section" + allDefaults;
    }
    std::vector<IniFile::KeyLine> stray = ini.OtherLinesIn(kTextInfoSection);
    for (IniFile::KeyLine& line : ini.OtherLinesIn(kProductLinkSection)) stray.push_back(line);
    if (stray.empty()) return {};
    const int first =
        std::min_element(stray.begin(), stray.end(), [](const auto& a, const auto& b) {
            return a.line < b.line;
        })->line;
    std::string text = "Line " + std::to_string(first) + " of " + kConfigFileName +
                       " was not read: it has no \"=\".";
    // Which defaults stand in for what the file does not give.
    if (!ini.Find(kTextInfoSection, kTextSizeKey, kTextSizeMaxChars).found) {
        text += std::string(" The default text size (") + kDefaultTextSizeText + ") is used.";
    }
    std::string links;
    for (const char* key : kProductLinkKeys) {
        if (ini.Find(kProductLinkSection, key, kLinkMaxChars).found) continue;
        links += (links.empty() ? "" : ", ") + std::string(key);
    }
    if (!links.empty()) text += " The built-in web links are used for " + links + ".";
    return text;
}

namespace {

constexpr const char* kModeNone = "None";
constexpr const char* kModeEsc = "Esc";
constexpr const char* kModeCard = "Program Card";

}  // namespace

DeviceMode ReadRememberedMode(const std::filesystem::path& file) {
    if (file.empty()) return DeviceMode::None;
    IniFile ini;
    // Missing at the first start; a file that cannot be read starts the window without a mode.
    if (const Status loaded = ini.Load(file); !loaded) return DeviceMode::None;
    const std::string mode = ini.Get(kWindowSection, kDeviceModeKey, kModeNone, 40);
    if (IniFile::EqualNoCase(mode, kModeEsc)) return DeviceMode::Esc;
    if (IniFile::EqualNoCase(mode, kModeCard)) return DeviceMode::Card;
    return DeviceMode::None;
}

bool RememberMode(const std::filesystem::path& file, DeviceMode mode) {
    if (file.empty() || mode == DeviceMode::Fix) return true;
    if (ReadRememberedMode(file) == mode) return true;
    IniFile ini;
    // Other keys a later version keeps there stay: a file that is there but cannot be read is
    // left alone rather than replaced by one holding the mode alone.
    if (const Status loaded = ini.Load(file); !loaded && loaded.Kind() != ProblemKind::Missing) {
        return false;
    }
    ini.Set(kWindowSection, kDeviceModeKey,
            mode == DeviceMode::Esc    ? kModeEsc
            : mode == DeviceMode::Card ? kModeCard
                                       : kModeNone);
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    return ini.Save(file).Ok();
}

}  // namespace vorna::gui
