// config.ini as the window reads it (gui/AppConfig.cpp: ReadTextSize, ReadProductLinks and
// TextToInt; that file is plain C++, though it lives among the window's Qt sources). Beyond
// not crashing:
// - the text size is the number the C library's strtol reads from the "size" value (at most
//   19 characters), held to the range of int, or 90 without the key; TextToInt agrees with
//   strtol on any text;
// - each product link is its key's value, or its default without the key: one line of at
//   most 259 characters.
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "gui/AppConfig.h"
#include "settings/IniFile.h"

namespace {

using namespace vorna;
using fuzz::Require;

// What strtol reads from the text (up to its first NUL), held to the range of int.
int StrtolInt(std::string_view text) {
    const std::string copy(text.substr(0, text.find('\0')));
    errno = 0;
    const long long value = std::strtoll(copy.c_str(), nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

void CheckLink(std::string_view link) {
    Require(link.find('\n') == std::string_view::npos, "a link is one line");
    const bool fits = fuzz::WellFormedUtf8(link) ? fuzz::CodePoints(link) <= gui::kLinkMaxChars
                                                 : link.size() <= 4 * gui::kLinkMaxChars;
    Require(fits, "a link has at most 259 characters");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::AsText(data, size);
    Require(gui::TextToInt(text) == StrtolInt(text), "TextToInt reads what strtol reads");

    const std::filesystem::path folder = fuzz::ScratchFolder();
    fuzz::WriteScratchFile(gui::kConfigFileName, text);
    IniFile ini;
    ini.Parse(text);

    const IniFile::Value sizeValue =
        ini.Find(gui::kTextInfoSection, gui::kTextSizeKey, gui::kTextSizeMaxChars);
    const int expected = sizeValue.found ? StrtolInt(sizeValue.text) : gui::kDefaultTextSize;
    Require(gui::ReadTextSize(folder) == expected, "the text size is the number its value holds");

    const gui::ProductLinks links = gui::ReadProductLinks(folder);
    for (std::size_t i = 0; i < gui::kProductLinkCount; ++i) {
        const IniFile::Value v =
            ini.Find(gui::kProductLinkSection, gui::kProductLinkKeys[i], gui::kLinkMaxChars);
        const std::string fallback = gui::DefaultProductLink(static_cast<gui::ProductLink>(i));
        Require(links[i] == (v.found ? v.text : fallback), "a link is its value or its default");
        CheckLink(links[i]);
    }
    return 0;
}
