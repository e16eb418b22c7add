#include "link/UsbUart.h"

#include <algorithm>

namespace vorna {

UsbUart::~UsbUart() {
    if (portHandle != kNoPort) ClosePortHandle(portHandle);
}

void UsbUart::Trace(TraceDirection direction, const std::uint8_t* bytes, std::size_t count) const {
    if (trace_ && count > 0) trace_(direction, bytes, count);
}

bool UsbUart::ReadWithTimeout(PortHandle port, std::uint8_t* dest, std::size_t count,
                              int timeoutMs) {
    std::size_t got = 0;
    const bool complete = ReadPort(port, dest, count, timeoutMs, got);
    bytesRead = static_cast<std::uint32_t>(got);
    Trace(TraceDirection::Received, dest, got);
    // A partial read is a failed read: the caller's answer has a fixed length.
    return complete;
}

bool UsbUart::WriteBytes(const std::uint8_t* src, std::size_t count) {
    std::size_t written = 0;
    const bool ok = WritePort(portHandle, src, count, kWriteBoundMs, written);
    bytesWritten = static_cast<std::uint32_t>(written);
    Trace(TraceDirection::Sent, src, written);
    return ok && written == count;
}

LinkResult UsbUart::SendCommandByte(std::uint8_t command) {
    // Stale input must never precede the read-back.
    PurgePort(portHandle, true, false);
    txBuffer[0] = command;
    if (!WriteBytes(txBuffer.data(), 1)) return LinkResult::SendFailed;
    if (ReadWithTimeout(portHandle, rxBuffer.data(), 1, 1000) && bytesWritten == 1) {
        return LinkResult::Ok;
    }
    return LinkResult::SendFailed;
}

LinkResult UsbUart::ReadReply(std::size_t count, int timeoutMs) {
    count = std::min(count, kRxSize);
    if (ReadWithTimeout(portHandle, rxBuffer.data(), count, timeoutMs) && bytesRead == count) {
        return LinkResult::Ok;
    }
    // A late answer must not be taken for the next one.
    PurgePort(portHandle, true, true);
    rxBuffer.fill(0);
    return LinkResult::NoAnswer;
}

void UsbUart::PurgeAndClear() {
    PurgePort(portHandle, true, true);
    rxBuffer.fill(0);
}

LinkResult UsbUart::SendBlock(const std::uint8_t* data, std::size_t count) {
    if (!WriteBytes(data, count)) return LinkResult::SendFailed;
    // The read-back of a block longer than the receive buffer is taken in buffer-sized
    // pieces so that none of it is left behind to be mistaken for the device's answer.
    std::size_t remaining = count;
    int timeoutMs = 200;
    while (remaining > 0) {
        const std::size_t piece = std::min(remaining, kRxSize);
        if (!ReadWithTimeout(portHandle, rxBuffer.data(), piece, timeoutMs)) break;
        remaining -= piece;
        timeoutMs = 100;
    }
    // The read-back is not examined; the caller reads the device's answer.
    return LinkResult::Ok;
}

LinkResult UsbUart::SendPairAwaitAck(const std::uint8_t* pair) {
    PurgePort(portHandle, true, true);
    if (!WriteBytes(pair, 2)) return LinkResult::SendFailed;
    // A missing read-back is not fatal by itself: the acknowledgement below decides.
    static_cast<void>(ReadWithTimeout(portHandle, rxBuffer.data(), 2, 1000));
    if (ReadReply(1, 2000) != LinkResult::Ok) return LinkResult::SendFailed;
    return rxBuffer[0] == 0x01 ? LinkResult::Ok : LinkResult::SendFailed;
}

void UsbUart::ClosePort() {
    ClosePortHandle(portHandle);
    isOpen_ = false;
    lineSet_ = false;
    usbState_ = UsbState::NoBridge;
    deviceState_ = DeviceState::NotPolled;
    portHandle = kNoPort;
    portName.clear();
}

}  // namespace vorna
