// Help > Check Connection: the same check as `vornactl doctor`, on the port the window uses. It
// reads /proc and the udev rules, too slow for the UI thread on a busy system, so it runs on a
// thread of its own and reports back on the UI thread.
#pragma once

#include <QObject>
#include <QString>

#include <thread>

#include "link/BridgeDiscovery.h"
#include "link/PortCheck.h"

namespace vorna::gui {

// The check as a box shows it: the verdict first, since it is what the user came for, then each
// subject with its findings. The columns the terminal's text lines up by would be ragged in the
// box's proportional font, so every finding starts with a word of its own.
QString CheckConnectionText(const PortCheckResult& result);

class ConnectionCheck : public QObject {
    Q_OBJECT
public:
    explicit ConnectionCheck(BridgeLocation location, QObject* parent = nullptr);
    // Waits for a check under way; its result is dropped.
    ~ConnectionCheck() override;

    // Starts a check unless one is running. The window may hold the port itself: its own hold
    // is no problem (the check never names this process), and the port is not opened again.
    void Start();

signals:
    // On this object's thread; `ready` when the port can be opened.
    void finished(const QString& text, bool ready);

private:
    BridgeLocation location_;
    std::thread thread_;
    bool running_ = false;
};

}  // namespace vorna::gui
