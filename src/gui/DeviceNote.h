// The note under the lamps: what stands between the chosen Device mode and its device, in
// words, with what to do. Dark lamps alone look the same whether the link is missing, was
// unplugged, has no driver, or something else answers on it.
#pragma once

#include <QString>

#include "link/UsbUart.h"
#include "protocol/LinkView.h"

namespace vorna::gui {

struct DeviceFacts {
    DeviceMode mode = DeviceMode::None;
    bool looked = false;      // the poll has looked for the bridge since the window opened
    bool usb = false;         // the bridge's port is open
    bool device = false;      // the chosen mode's device is identified
    bool bridgeLost = false;  // the bridge was there since the window opened, and has gone
    // What the last look for the bridge found (UsbUart::LastBridgeFinding, passed on by the
    // link controller): a bridge without its driver or its port is said as such.
    BridgeFinding bridgeFinding = BridgeFinding::NoBridge;
    QString portProblem;  // the port is there but cannot be opened: the link's own sentence
    QString oddAnswer;    // something answers, but not as the device does: the link's sentence
    // A firmware update broke off and closed the port itself, as a stopped update does; the
    // port opens again once its outcome's box is closed. Nothing was unplugged.
    bool portClosedByUpdate = false;
    // The chosen mode's device broke off its last firmware update and has not answered since.
    bool updateStopped = false;
    // Changes on the ESC page, never sent, that went with the ESC's values when it went away.
    int droppedUnsent = 0;
};

struct DeviceNoteText {
    QString text;     // empty: no note, the maker's logo shows
    QString tooltip;  // the link's own detail (port name, the bytes that came), if any
};

DeviceNoteText DeviceNoteFor(const DeviceFacts& facts);

}  // namespace vorna::gui
