// The connection monitor's door to the firmware updates: it asks here on every tick whether an
// update is requested and runs it on the link thread, one at a time.
#pragma once

#include "firmware/CardUpdate.h"
#include "firmware/EscUpdate.h"
#include "protocol/ConnectionMonitor.h"

namespace vorna {

class FirmwareUpdater : public FirmwareUpdates {
public:
    FirmwareUpdater(EscUpdate& esc, CardUpdate& card) : esc_(esc), card_(card) {}
    bool CardUpdateRequested() const override { return card_.Requested(); }
    UpdateOutcome RunCardUpdate() override { return card_.Run(); }
    bool EscUpdateRequested() const override { return esc_.Requested(); }
    UpdateOutcome RunEscUpdate() override { return esc_.Run(); }

private:
    EscUpdate& esc_;
    CardUpdate& card_;
};

}  // namespace vorna
