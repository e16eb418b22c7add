#include "link/UsbUart.h"

#include <algorithm>

namespace vorna {

UsbUart::~UsbUart() = default;

void UsbUart::Trace(TraceDirection direction, const std::uint8_t* bytes, std::size_t count) const {
    if (trace_ && count > 0) trace_(direction, bytes, count);
}

bool UsbUart::ReadWithTimeout(std::size_t count, int timeoutMs) {
    count = std::min(count, kRxSize);
    const Result<std::size_t> got = port_.Read(rxBuffer_.data(), count, timeoutMs);
    bytesRead_ = got ? *got : 0;
    Trace(TraceDirection::Received, rxBuffer_.data(), bytesRead_);
    // A partial read is a failed read: the caller's answer has a fixed length.
    return bytesRead_ == count;
}

bool UsbUart::WriteBytes(const std::uint8_t* src, std::size_t count) {
    const Result<std::size_t> written = port_.Write(src, count, kWriteBoundMs);
    const std::size_t sent = written ? *written : 0;
    Trace(TraceDirection::Sent, src, sent);
    return sent == count;
}

LinkResult UsbUart::SendCommandByte(std::uint8_t command) {
    // Stale input must never precede the read-back.
    port_.Purge(true, false);
    txBuffer_[0] = command;
    if (!WriteBytes(txBuffer_.data(), 1)) return LinkResult::SendFailed;
    if (ReadWithTimeout(1, 1000)) return LinkResult::Ok;
    return LinkResult::SendFailed;
}

LinkResult UsbUart::ReadReply(std::size_t count, int timeoutMs) {
    count = std::min(count, kRxSize);
    if (ReadWithTimeout(count, timeoutMs)) return LinkResult::Ok;
    // A late answer must not be taken for the next one.
    port_.Purge(true, true);
    rxBuffer_.fill(0);
    return LinkResult::NoAnswer;
}

void UsbUart::PurgeAndClear() {
    port_.Purge(true, true);
    rxBuffer_.fill(0);
}

LinkResult UsbUart::SendBlock(const std::uint8_t* data, std::size_t count) {
    if (!WriteBytes(data, count)) return LinkResult::SendFailed;
    // The read-back of a block longer than the receive buffer is taken in buffer-sized
    // pieces so that none of it is left behind to be mistaken for the device's answer.
    std::size_t remaining = count;
    int timeoutMs = 200;
    while (remaining > 0) {
        const std::size_t piece = std::min(remaining, kRxSize);
        if (!ReadWithTimeout(piece, timeoutMs)) break;
        remaining -= piece;
        timeoutMs = 100;
    }
    // The read-back is not examined; the caller reads the device's answer.
    return LinkResult::Ok;
}

LinkResult UsbUart::SendPairAwaitAck(const std::uint8_t* pair) {
    port_.Purge(true, true);
    if (!WriteBytes(pair, 2)) return LinkResult::SendFailed;
    // A missing read-back is not fatal by itself: the acknowledgement below decides.
    static_cast<void>(ReadWithTimeout(2, 1000));
    if (ReadReply(1, 2000) != LinkResult::Ok) return LinkResult::SendFailed;
    return rxBuffer_[0] == 0x01 ? LinkResult::Ok : LinkResult::SendFailed;
}

void UsbUart::ClosePort() {
    port_.Close();
    isOpen_ = false;
    lineSet_ = false;
    usbState_ = UsbState::NoBridge;
    deviceState_ = DeviceState::NotPolled;
    portName_.clear();
}

void UsbUart::UsePort(SerialPort port, std::string name) {
    port_ = std::move(port);
    portName_ = std::move(name);
}

Status UsbUart::SetUpLine() {
    Status set = port_.Configure(baudRate_);
    if (set) {
        SleepMs(60);
        std::fill_n(txBuffer_.begin(), 60, std::uint8_t{0});
        std::fill_n(rxBuffer_.begin(), 60, std::uint8_t{0});
        port_.Purge(true, true);
        lineSet_ = true;
    }
    return set;
}

}  // namespace vorna
