// The one link to the bridge. Every byte exchanged with an ESC or the program card passes
// through these synchronous, timed transactions. The line is half-duplex with read-back:
// whatever we send comes back to us first, and only then does the device answer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "link/SerialPort.h"

namespace vorna {

// The bridge: absent (or its port could not be opened), or present with its port open.
enum class UsbState { NoBridge, Connected };

// What the last look for the bridge found: its port (which may still not open), no bridge, a
// bridge that has no driver (so no port: NoDriverAdvice says what to install), a bridge whose
// driver is there but gave it no port (NoComPortAdvice), or no answer from the system's device
// list. The window's device note and vornactl's last word read it.
enum class BridgeFinding { Port, NoBridge, NoDriver, NoComPort, NoDeviceList };

// The device at the end of the link (ESC, or the program card in card mode): not asked yet
// in this mode, asked and silent (or lost), or answering.
enum class DeviceState { NotPolled, Absent, Connected };

// Result of one link transaction: done, the send (or its read-back) failed, or the answer did
// not come whole and in time.
enum class [[nodiscard]] LinkResult{Ok = 0, SendFailed = 1, NoAnswer = 2};

// A port that would not open: which (its node, or on Windows \\.\COMn) and why.
struct PortFailure {
    std::string path;
    Problem problem;
};

class UsbUart {
public:
    static constexpr std::size_t kRxSize = 250;
    static constexpr std::size_t kTxSize = 100;
    static constexpr std::uint32_t kDefaultBaud = 19200;
    // A write to a healthy port finishes in milliseconds; this only stops a wedged driver
    // from hanging the link thread for ever.
    static constexpr int kWriteBoundMs = 5000;

    enum class TraceDirection { Sent, Received };
    using TraceSink = std::function<void(TraceDirection, const std::uint8_t*, std::size_t)>;

    UsbUart() = default;
    virtual ~UsbUart();
    UsbUart(const UsbUart&) = delete;
    UsbUart& operator=(const UsbUart&) = delete;

    // Primitives: true for success. A read fills the reply from its start.
    [[nodiscard]] bool ReadWithTimeout(std::size_t count, int timeoutMs);
    [[nodiscard]] bool WriteBytes(const std::uint8_t* src, std::size_t count);

    // Transactions. On anything but Ok, Reply() holds nothing to be read as an answer.
    LinkResult SendCommandByte(std::uint8_t command);        // SendFailed on failure
    LinkResult ReadReply(std::size_t count, int timeoutMs);  // NoAnswer on failure
    void PurgeAndClear();
    LinkResult SendBlock(const std::uint8_t* data, std::size_t count);  // SendFailed: write failed
    LinkResult SendPairAwaitAck(const std::uint8_t* pair);  // SendFailed unless acknowledged
    void ClosePort();

    // The last bytes read, from the start: after a transaction that returned Ok, its answer.
    const std::array<std::uint8_t, kRxSize>& Reply() const { return rxBuffer_; }
    // How many bytes the last read took, whole or not (an answer that came short says how short).
    std::size_t BytesRead() const { return bytesRead_; }

    // Every byte sent and every byte read, for `vornactl --trace`.
    void SetTraceSink(TraceSink sink) { trace_ = std::move(sink); }

    // The port the link uses from now on, under the name it was opened by (OpenPort's, or one a
    // test opened itself); the one it had is closed.
    void UsePort(SerialPort port, std::string name);
    bool HasPort() const { return port_.IsOpen(); }
    const SerialPort& Port() const { return port_; }
    // The device node (or on Windows the \\.\COMn name) of the open port, for messages.
    const std::string& PortName() const { return portName_; }
    std::uint32_t BaudRate() const { return baudRate_; }
    // Sets the open port to the rate, 8N1, raw, and clears what it held; LineSet() from then on.
    Status SetUpLine();

    // Why the bridge's port could not be opened at the last try (nothing once it opened, and
    // while no bridge is there): messages name this rather than a missing bridge.
    const std::optional<PortFailure>& OpenFailure() const { return openFailure_; }
    void SetOpenFailure(std::optional<PortFailure> failure) { openFailure_ = std::move(failure); }
    // What the last look for the bridge found (OpenPort sets it on every tick).
    BridgeFinding LastBridgeFinding() const { return bridgeFinding_; }
    void SetBridgeFinding(BridgeFinding finding) { bridgeFinding_ = finding; }

    UsbState GetUsbState() const { return usbState_; }
    void SetUsbState(UsbState state) { usbState_ = state; }
    DeviceState GetDeviceState() const { return deviceState_; }
    void SetDeviceState(DeviceState state) { deviceState_ = state; }
    // The port is open and in use (set once per opening), configured for the line or, where
    // the system refused that, with the settings the driver holds.
    bool IsOpen() const { return isOpen_; }
    void SetOpen(bool open) { isOpen_ = open; }
    // The port is set to the baud rate, 8N1, raw. Until it is, each poll tick tries again.
    bool LineSet() const { return lineSet_; }
    // The open port has gone (unplugged, hung up): a transaction that failed on it lost the
    // link, rather than waited in vain for the device.
    bool PortGone() const { return port_.IsOpen() && port_.HasGone(); }

private:
    UsbState usbState_ = UsbState::NoBridge;
    DeviceState deviceState_ = DeviceState::NotPolled;
    bool isOpen_ = false;
    bool lineSet_ = false;
    std::array<std::uint8_t, kRxSize> rxBuffer_{};
    std::array<std::uint8_t, kTxSize> txBuffer_{};
    std::size_t bytesRead_ = 0;
    std::uint32_t baudRate_ = kDefaultBaud;
    SerialPort port_;
    std::string portName_;
    std::optional<PortFailure> openFailure_;
    BridgeFinding bridgeFinding_ = BridgeFinding::NoBridge;

    void Trace(TraceDirection direction, const std::uint8_t* bytes, std::size_t count) const;

    TraceSink trace_;
};

}  // namespace vorna
