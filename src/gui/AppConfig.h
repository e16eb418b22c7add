// config.ini next to the program: the text size of the pages and the addresses the links page
// opens. The file is only read, and every key has a default, so a missing or partial file is
// never an error. Also the user's own window settings (the Device mode last chosen), kept in
// the user's data folder, never in the shipped config.ini.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "Version.h"
#include "protocol/LinkView.h"

namespace vorna::gui {

// The main window's title, also the caption of every message box.
inline constexpr const char* kAppTitle = "Kelvaran Racing VORNA USB Link V" VORNA_VERSION;

inline constexpr const char* kConfigFileName = "config.ini";

inline constexpr const char* kTextInfoSection = "TEXT INFO";
inline constexpr const char* kTextSizeKey = "size";
inline constexpr const char* kDefaultTextSizeText = "90";
inline constexpr int kDefaultTextSize = 90;  // tenths of a point
// The size was read into a 20-character buffer, which holds 19 characters.
inline constexpr std::size_t kTextSizeMaxChars = 19;

inline constexpr const char* kProductLinkSection = "PRODUCT LINK";
// Each link was read into a 260-character buffer; a longer address is cut to 259 characters.
inline constexpr std::size_t kLinkMaxChars = 259;

// The maker's site. ".example" is reserved, so the defaults can never reach a real server.
inline constexpr const char* kMakerHost = "www.kelvaran-racing.example";

// The links in the order they are read from the file.
enum class ProductLink : std::size_t { Zen, Class, Alta, Jvx, Main };
inline constexpr std::size_t kProductLinkCount = 5;
inline constexpr std::array<const char*, kProductLinkCount> kProductLinkKeys = {
    "VORNA-ZEN", "VORNA-CLASS", "VORNA-ALTA", "VORNA-JVX", "MAIN"};

constexpr std::size_t Index(ProductLink link) {
    return static_cast<std::size_t>(link);
}

using ProductLinks = std::array<std::string, kProductLinkCount>;

// `folder`/config.ini; `folder` is the program's folder or the one given with --data-dir.
std::filesystem::path ConfigFilePath(const std::filesystem::path& folder);

// Text to integer the way the text size has always been converted: leading blanks and one sign
// allowed, conversion stops at the first non-digit, no digits give 0. A value beyond the range
// of int gives INT_MAX or INT_MIN rather than an undefined result.
int TextToInt(std::string_view text);

// Section "TEXT INFO", key "size", default "90".
int ReadTextSize(const std::filesystem::path& folder);

// The built-in address: the bare host for MAIN, the product page for the others.
std::string DefaultProductLink(ProductLink link);

// Section "PRODUCT LINK", each key with its default, each cut to kLinkMaxChars.
ProductLinks ReadProductLinks(const std::filesystem::path& folder);

// What of config.ini could not be read (the file: a folder, too large, unreadable, empty, or
// with neither of its sections; or a line in them without '=') and which defaults took its
// place, in two sentences for the window; empty when the file was read, and when it is missing
// (it need not exist). Keys a readable file leaves out are no problem: they have defaults.
std::string ConfigFileProblem(const std::filesystem::path& folder);

// The user's own settings of the window, in the user's data folder.
inline constexpr const char* kOwnSettingsFileName = "window.ini";
inline constexpr const char* kWindowSection = "WINDOW";
inline constexpr const char* kDeviceModeKey = "DeviceMode";

// The Device mode the window starts in: Esc or Program Card as last chosen, or none. Fix Mode
// is never remembered: it is for one repair, and a window that started in it would probe
// whatever is plugged in for a boot loader.
DeviceMode ReadRememberedMode(const std::filesystem::path& file);
// Keeps `mode` for the next start (Fix Mode leaves what was kept). False when the file could
// not be written; the window then simply starts without a mode next time.
bool RememberMode(const std::filesystem::path& file, DeviceMode mode);

}  // namespace vorna::gui
