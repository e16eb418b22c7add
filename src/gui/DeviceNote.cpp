#include "gui/DeviceNote.h"
#include "gui/QtText.h"

#include "link/BridgeDiscovery.h"

namespace vorna::gui {

namespace {

DeviceNoteText WhatIsInTheWay(const DeviceFacts& facts) {
    if (facts.mode == DeviceMode::None) return {};
    const QString device = facts.mode == DeviceMode::Card  ? QStringLiteral("program card")
                           : facts.mode == DeviceMode::Fix ? QStringLiteral("ESC in Fix Mode")
                                                           : QStringLiteral("ESC");
    // The link's own sentence says what to do (and that it keeps trying, where it does).
    if (!facts.portProblem.isEmpty()) return {facts.portProblem, {}};
    // In vornactl's and the connection check's words, as a sentence of its own.
    if (const QString found = ToQString(BridgeFindingText(facts.bridgeFinding));
        !facts.usb && !found.isEmpty()) {
        return {found.left(1).toUpper() + found.mid(1), {}};
    }
    if (!facts.usb && facts.portClosedByUpdate) {
        return {QStringLiteral("The firmware update stopped, and the USB link was closed to start "
                               "afresh. It opens again by itself once the update's message is "
                               "closed."),
                {}};
    }
    if (!facts.usb && facts.bridgeLost) {
        return {QStringLiteral("The USB link was unplugged. Plug it in again: the %1 is found "
                               "again by itself.")
                    .arg(device),
                {}};
    }
    if (!facts.usb && facts.looked) {
        return {QStringLiteral("No USB link found. Plug the VORNA USB link into this computer. "
                               "If it is plugged in, Help > Check Connection says what is in "
                               "the way."),
                {}};
    }
    // Whatever else answers, the device's own firmware may be what is missing.
    if (facts.usb && !facts.device && facts.updateStopped && facts.mode == DeviceMode::Esc) {
        return {QStringLiteral("No ESC answers since its firmware update stopped: its firmware "
                               "may be incomplete. Choose Device > Fix Mode and flash the image "
                               "again to repair it."),
                facts.oddAnswer};
    }
    if (facts.usb && !facts.device && facts.updateStopped && facts.mode == DeviceMode::Card) {
        return {QStringLiteral("No program card answers since its firmware update stopped. Unplug "
                               "the card from the USB link and plug it in again; once it "
                               "answers, flash it again on the FIRMWARE page."),
                facts.oddAnswer};
    }
    if (facts.usb && !facts.device && !facts.oddAnswer.isEmpty()) {
        const QString what = facts.mode == DeviceMode::Card ? QStringLiteral("a VORNA program card")
                             : facts.mode == DeviceMode::Fix ? QStringLiteral("an ESC in Fix Mode")
                                                             : QStringLiteral("a VORNA ESC");
        return {QStringLiteral("Something answers on the link, but it is not %1. Check that the "
                               "%2 is plugged into the VORNA USB link and powered, and that no "
                               "other device is.")
                    .arg(what, device),
                facts.oddAnswer};
    }
    return {};
}

}  // namespace

DeviceNoteText DeviceNoteFor(const DeviceFacts& facts) {
    DeviceNoteText note = WhatIsInTheWay(facts);
    if (facts.mode != DeviceMode::Esc || facts.droppedUnsent <= 0) return note;
    const QString dropped =
        facts.droppedUnsent == 1
            ? QStringLiteral("1 unsent change was dropped when the ESC went away.")
            : QStringLiteral("%1 unsent changes were dropped when the ESC went away.")
                  .arg(facts.droppedUnsent);
    note.text = note.text.isEmpty() ? dropped : note.text + QStringLiteral("\n") + dropped;
    return note;
}

}  // namespace vorna::gui
