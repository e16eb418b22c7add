#include "gui/UrlOpener.h"

#include <QDesktopServices>

namespace vorna::gui {

QUrl WebUrlFromLinkText(const QString& linkText) {
    const QString text = linkText.trimmed();
    if (text.isEmpty()) return {};
    const QUrl url = QUrl::fromUserInput(text);
    if (!url.isValid() || url.host().isEmpty()) return {};
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) return {};
    return url;
}

UrlOpener DefaultUrlOpener() {
    return [](const QString& linkText) {
        const QUrl url = WebUrlFromLinkText(linkText);
        return !url.isEmpty() && QDesktopServices::openUrl(url);
    };
}

}  // namespace vorna::gui
