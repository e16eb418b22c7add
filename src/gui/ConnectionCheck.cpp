#include "gui/ConnectionCheck.h"
#include "gui/QtText.h"

#include <QMetaObject>

namespace vorna::gui {

QString CheckConnectionText(const PortCheckResult& result) {
    QString text = ToQString(result.verdict) + "\n";
    for (const PortCheckSection& section : result.sections) {
        text += "\n" + ToQString(section.title) + "\n";
        for (const PortFinding& f : section.findings) {
            const char* tag = f.kind == FindingKind::Ok     ? "OK: "
                              : f.kind == FindingKind::Note ? "Note: "
                                                            : "Problem: ";
            text += QString::fromUtf8(tag) + ToQString(f.text) + "\n";
            if (!f.advice.empty()) text += "    What to do: " + ToQString(f.advice) + "\n";
        }
    }
    return text;
}

ConnectionCheck::ConnectionCheck(BridgeLocation location, QObject* parent)
    : QObject(parent), location_(std::move(location)) {}

ConnectionCheck::~ConnectionCheck() {
    // Its result is posted to this object; once it is gone, Qt drops it unseen.
    if (thread_.joinable()) thread_.join();
}

void ConnectionCheck::Start() {
    if (running_) return;
    if (thread_.joinable()) thread_.join();
    running_ = true;
    PortCheckPlaces places;
    places.sysfsRoot = location_.sysfsRoot;
    places.devRoot = location_.devRoot;
    PortCheckRequest request;
    request.namedPort = location_.fixedPath;
    thread_ = std::thread([this, places, request] {
        const PortCheckResult result = CheckPorts(places, PortUser::ThisProcess(), request);
        const QString text = CheckConnectionText(result);
        QMetaObject::invokeMethod(
            this,
            [this, text, ready = result.ready] {
                running_ = false;
                emit finished(text, ready);
            },
            Qt::QueuedConnection);
    });
}

}  // namespace vorna::gui
