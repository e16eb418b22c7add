#include <QByteArray>
#include <QtGlobal>

#include "gui/QtPlatform.h"

namespace vorna::gui {

void ChooseQtPlatform() {
    const QByteArray chosen = qgetenv("QT_QPA_PLATFORM");
    if (chosen.isEmpty() || chosen == "windows") {
        qputenv("QT_QPA_PLATFORM", "windows:fontengine=freetype");
    }
}

}  // namespace vorna::gui
