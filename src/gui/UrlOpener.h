// How a link text reaches the browser. The links page only hands its text to an opener, so the
// window can pass the desktop's and a test a recorder that never starts a browser.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>

namespace vorna::gui {

// True when the address went to a browser.
using UrlOpener = std::function<bool(const QString& linkText)>;

// The web address a link text stands for: a bare host gets "http://", as a browser's address
// bar would do. Anything that is not an http or https address with a host gives an empty URL:
// config.ini is a plain text file next to the program, and a click on a product picture must
// not become a way to launch a local file or program.
QUrl WebUrlFromLinkText(const QString& linkText);

// Opens the text's web address in the user's default browser; false for a text without one, or
// when no browser could be started.
UrlOpener DefaultUrlOpener();

}  // namespace vorna::gui
