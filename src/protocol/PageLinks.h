// What the link side needs of the pages. The poll and the transfers run on the link thread
// and reach the setup page and the firmware page only through these interfaces; the models
// behind them keep their own lock, so a window can show them from its own thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vorna {

using IdentityBytes = std::array<std::uint8_t, 7>;

class SetupPageLink {
public:
    virtual ~SetupPageLink() = default;

    virtual void SetVersionText(const std::string& text) = 0;
    // Turns identity bytes 0 to 3 into the model type, rebuilds the option lists and returns it.
    virtual int RecognizeModel(const IdentityBytes& identity) = 0;
    virtual void FillOptionLists() = 0;
    virtual int ModelType() const = 0;

    // The setup page's model name text (hidden) and firmware text.
    virtual void SetModelNameText(const std::string& text) = 0;
    virtual void SetFirmwareText(const std::string& text) = 0;
    virtual std::string FirmwareText() const = 0;

    // Settings transfer.
    virtual void ApplySettingsRecord(const std::uint8_t* buffer, std::size_t dataBytes) = 0;
    virtual bool HasValidRecord() const = 0;
    // The values on the page belong to one ESC: when it is gone, replaced or cannot be read,
    // they are cleared and nothing can be sent until the next successful read.
    virtual void ForgetEscValues() = 0;
    // The ESC is gone (unplugged, silent, another Device mode): its values go, and so does its
    // model's layout, so that the page shows no model's lists until the next ESC is identified.
    virtual void ForgetModel() = 0;
    // Remembers the selections a write is about to send, and names (by caption) the settings
    // whose selection now differs from them, after the settings were read back.
    virtual void RememberSentSelections() = 0;
    virtual std::vector<std::string> SettingsDifferingFromSent() const = 0;
    // The settings sent whose value the read-back could not get (by caption).
    virtual std::vector<std::string> SettingsNotReadBack() const = 0;
    virtual void BuildWritePairs(std::array<std::uint8_t, 100>& pairs) = 0;
    // The caption of the setting the write's pair at `position` carries.
    virtual std::string WritePairCaption(int position) const = 0;
    virtual int BecSelection() const = 0;
    // The BEC Voltage the ESC answered apart from its record; nothing when it did not answer.
    virtual void SelectBec(std::optional<int> index) = 0;
    virtual void RefreshParameterBoxes() = 0;

    // Requests raised by the page's send and default pictures.
    virtual bool WriteRequested() const = 0;
    virtual void ClearWriteRequest() = 0;
    virtual bool DefaultRequested() const = 0;
    virtual void ClearDefaultRequest() = 0;
};

class FirmwarePageLink {
public:
    virtual ~FirmwarePageLink() = default;

    virtual void StoreIdentity(const IdentityBytes& identity) = 0;
    // The identity stored last.
    virtual IdentityBytes Identity() const = 0;
    enum class DeviceKind { Esc = 0, Card = 1 };
    virtual void ShowIdentity(DeviceKind kind) = 0;
    // The device of that kind is gone, or another Device mode was chosen: what the page shows
    // of it goes too. Nothing to do where nothing is shown.
    virtual void ForgetIdentity(DeviceKind /*kind*/) {}
    virtual std::string EscModelText() const = 0;
    virtual std::string CurrentFirmwareText() const = 0;
    // After an ESC update, the firmware the ESC reports now.
    virtual void SetCurrentFirmwareText(const std::string& text) = 0;

    // The updates: the requests the start pictures raise, the image chosen for each kind, and
    // what the page shows while one runs.
    virtual bool UpdateRequested(DeviceKind kind) const = 0;
    virtual void ClearUpdateRequest(DeviceKind kind) = 0;
    virtual std::filesystem::path SelectedImagePath(DeviceKind kind) const = 0;
    enum class UpdateStatus { Ready, Running, Finished, Failed };
    virtual void ShowUpdateStatus(DeviceKind kind, UpdateStatus status) = 0;
    // Progress in percent of the image sent; shown over the status picture while running.
    virtual void ShowUpdateProgress(DeviceKind kind, int percent) = 0;
    // The bytes of the image the device has taken so far, of `total`: 0 once the handshake is
    // done, then after each acknowledged record or block. For displays that show amounts and
    // rates; the page itself shows only the percentage, so by default nothing happens.
    virtual void ShowBytesSent(DeviceKind /*kind*/, std::size_t /*sent*/, std::size_t /*total*/) {}
};

}  // namespace vorna
