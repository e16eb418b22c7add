// The note under the lamps: what stands between the chosen Device mode and its device, in
// words, with what to do. Dark lamps alone look the same whether the link is missing, was
// unplugged, has no driver, or something else answers on it.
#pragma once

#include <QString>

#include "protocol/LinkView.h"

namespace vorna::gui {

struct DeviceFacts {
    DeviceMode mode = DeviceMode::None;
    bool looked = false;      // the poll has looked for the bridge since the window opened
    bool usb = false;         // the bridge's port is open
    bool device = false;      // the chosen mode's device is identified
    bool bridgeLost = false;  // the bridge was there since the window opened, and has gone
    // The bridge is plugged in but the system has no driver for it, as discovery found
    // (UsbUart::LastBridgeFinding, passed on by the link controller).
    bool bridgeWithoutDriver = false;
    QString portProblem;  // the port is there but cannot be opened: the link's own sentence
    QString oddAnswer;    // something answers, but not as the device does: the link's sentence
    // Changes on the ESC page, never sent, that went with the ESC's values when it went away.
    int droppedUnsent = 0;
};

struct DeviceNoteText {
    QString text;     // empty: no note, the maker's logo shows
    QString tooltip;  // the link's own detail (port name, the bytes that came), if any
};

DeviceNoteText DeviceNoteFor(const DeviceFacts& facts);

}  // namespace vorna::gui
