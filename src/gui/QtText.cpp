#include "gui/QtText.h"

#include <QStringDecoder>

namespace vorna::gui {

QString ToQString(std::string_view text) {
    const QByteArrayView bytes(text.data(), static_cast<qsizetype>(text.size()));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8(bytes);
    if (!utf8.hasError()) return decoded;
    return QString::fromLatin1(bytes);
}

}  // namespace vorna::gui
