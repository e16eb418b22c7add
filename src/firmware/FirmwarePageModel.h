// The firmware page as a model: the identity bytes of the last identified device and the
// texts the page shows for it.
#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "firmware/IdentityTexts.h"
#include "protocol/PageLinks.h"

namespace vorna {

class FirmwarePageModel : public FirmwarePageLink {
public:
    using Listener = std::function<void()>;
    void SetListener(Listener listener);

    IdentityBytes Identity() const;
    EscIdentityTexts EscTexts() const;
    std::string CardModelText() const;
    std::string CardFirmwareText() const;

    // FirmwarePageLink
    void StoreIdentity(const IdentityBytes& identity) override;
    void ShowIdentity(DeviceKind kind) override;
    std::string EscModelText() const override;
    std::string CurrentFirmwareText() const override;

private:
    mutable std::mutex mutex_;
    IdentityBytes identityBytes_{};
    EscIdentityTexts escTexts_;
    std::string cardModelText_;
    std::string cardFirmwareText_;
    std::mutex listenerMutex_;
    Listener listener_;
};

}  // namespace vorna
