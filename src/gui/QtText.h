// The window's one way from the core's text (std::string) to Qt's.
#pragma once

#include <QString>

#include <string_view>

namespace vorna::gui {

// UTF-8 when the bytes decode as such (every text of the core, every file name, every sheet
// read by now), otherwise taken byte for byte, so a device's or an old file's odd byte shows as
// a character rather than vanishing into a replacement mark.
QString ToQString(std::string_view text);

}  // namespace vorna::gui
