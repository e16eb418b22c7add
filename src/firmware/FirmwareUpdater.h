// The connection monitor's door to the firmware updates: it asks here on every tick whether an
// update is requested and runs it on the link thread, one at a time. Either update may be
// absent (vornactl's flash commands run one kind only).
#pragma once

#include "firmware/CardUpdate.h"
#include "firmware/EscUpdate.h"
#include "protocol/ConnectionMonitor.h"

namespace vorna {

class FirmwareUpdater : public FirmwareUpdates {
public:
    FirmwareUpdater(EscUpdate* esc, CardUpdate* card) : esc_(esc), card_(card) {}
    bool CardUpdateRequested() const override { return card_ != nullptr && card_->Requested(); }
    void RunCardUpdate() override {
        if (card_ != nullptr) card_->Run();
    }
    bool EscUpdateRequested() const override { return esc_ != nullptr && esc_->Requested(); }
    void RunEscUpdate() override {
        if (esc_ != nullptr) esc_->Run();
    }

private:
    EscUpdate* esc_;
    CardUpdate* card_;
};

}  // namespace vorna
