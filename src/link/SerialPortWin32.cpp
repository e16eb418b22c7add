// The serial port on Windows: the bridge's COM port opened without sharing for overlapped I/O.
// Every read and write waits on the port's event for at most what is left of its time-out, and one
// that runs out is cancelled and waited for, so that no transfer outlives the buffer and the
// OVERLAPPED record it was started with.
#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

#include "base/Utf8Path.h"
#include "base/WindowsErrors.h"
#include "base/WindowsHandles.h"
#include "link/BridgeDiscovery.h"
#include "link/SerialPort.h"
#include "link/WindowsDevices.h"

namespace vorna {
namespace {

using Clock = std::chrono::steady_clock;

HANDLE AsHandle(PortHandle port) {
    return reinterpret_cast<HANDLE>(port);
}

DWORD RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<DWORD>(left) : 0;
}

enum class Direction { Read, Write };

// One overlapped transfer of up to `count` bytes, bounded by `deadline`, waited for on the
// port's event. Returns false when it failed (the port said so, or the wait ran out); `moved`
// receives what was transferred either way. A transfer whose wait runs out is cancelled and
// waited for before this returns.
bool Transfer(HANDLE port, HANDLE event, Direction direction, std::uint8_t* bytes, DWORD count,
              Clock::time_point deadline, DWORD& moved) {
    moved = 0;
    // Manual reset, as overlapped I/O wants it; set from the last transfer until cleared here.
    ::ResetEvent(event);
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    const BOOL started = direction == Direction::Read
                             ? ::ReadFile(port, bytes, count, nullptr, &overlapped)
                             : ::WriteFile(port, bytes, count, nullptr, &overlapped);
    if (!started && ::GetLastError() != ERROR_IO_PENDING) return false;
    if (::WaitForSingleObject(event, RemainingMs(deadline)) == WAIT_OBJECT_0) {
        return ::GetOverlappedResult(port, &overlapped, &moved, FALSE) != FALSE;
    }
    // The time is up (or the wait failed): cancel, and wait until the cancel has taken, since
    // the driver may still write into `bytes` and `overlapped` until then. Whatever arrived
    // before the cancel counts.
    ::CancelIoEx(port, &overlapped);
    ::GetOverlappedResult(port, &overlapped, &moved, TRUE);
    return false;
}

// Windows' own COM port drivers let one program at a time open a port, but not every serial
// driver does, and Wine does not: a named lock per port also keeps out another copy of this
// program, as the advisory lock does on Linux. It is held for as long as the port is open: its
// name is taken while any copy keeps a handle to it.
// The lock's name: the port's name, upper case, without the \\.\ prefix.
std::wstring LockName(const std::string& device) {
    std::wstring name = L"Local\\vorna-link-port-";
    for (const char c : PortDisplayName(device)) {
        const bool plain =
            (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        name += plain ? static_cast<wchar_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c) : L'_';
    }
    return name;
}

std::string SystemWords(DWORD error) {
    return WindowsErrorText(error);
}

}  // namespace

struct SerialPort::Parts {
    UniqueFileHandle port;
    UniqueObjectHandle lock;   // none where the system gave no lock: the driver's rule stands
    UniqueObjectHandle event;  // every transfer waits on this one
};

SerialPort::SerialPort() = default;
SerialPort::SerialPort(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}
SerialPort::~SerialPort() {
    Close();
}
SerialPort::SerialPort(SerialPort&&) noexcept = default;
SerialPort& SerialPort::operator=(SerialPort&& other) noexcept {
    if (this != &other) {
        Close();
        parts_ = std::move(other.parts_);
    }
    return *this;
}

Result<SerialPort> SerialPort::Open(const std::string& path, const HolderSearch&) {
    const std::string name = windows::PortNameOf(path);
    auto parts = std::make_unique<Parts>();
    parts->port.Reset(::CreateFileW(WideFromUtf8(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                    nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!parts->port) {
        const DWORD error = ::GetLastError();
        switch (error) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
            case ERROR_DEV_NOT_EXIST:
                return Problem{ProblemKind::Missing, SystemWords(error)};
            // A COM port open elsewhere is refused with "access denied"; a port that the
            // system shares out (Wine over a terminal another program locked) says busy or
            // names a sharing or lock violation. Windows cannot tell who holds it.
            case ERROR_ACCESS_DENIED:
            case ERROR_SHARING_VIOLATION:
            case ERROR_LOCK_VIOLATION:
            case ERROR_BUSY:
                return Problem{ProblemKind::PortBusy, ""};
            default:
                return Problem{ProblemKind::CannotOpen, SystemWords(error)};
        }
    }
    // A file or a pipe named where a port was expected is no serial line.
    if (::GetFileType(parts->port.Get()) != FILE_TYPE_CHAR) {
        return Problem{ProblemKind::NotAPort, ""};
    }
    parts->lock.Reset(::CreateMutexW(nullptr, FALSE, LockName(name).c_str()));
    if (parts->lock && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        return Problem{ProblemKind::PortBusy, ""};
    }
    // The event every transfer waits on: made once, with the port.
    parts->event.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!parts->event) return Problem{ProblemKind::CannotOpen, SystemWords(::GetLastError())};
    return SerialPort(std::move(parts));
}

Result<SerialPort> SerialPort::Adopt(PortHandle handle) {
    auto parts = std::make_unique<Parts>();
    parts->port.Reset(AsHandle(handle));
    if (!parts->port) return Problem{ProblemKind::CannotOpen, SystemWords(ERROR_INVALID_HANDLE)};
    // The event every transfer waits on: made once, with the port.
    parts->event.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!parts->event) return Problem{ProblemKind::CannotOpen, SystemWords(::GetLastError())};
    return SerialPort(std::move(parts));
}

bool SerialPort::IsOpen() const {
    return parts_ && parts_->port.Valid();
}

PortHandle SerialPort::Handle() const {
    return IsOpen() ? reinterpret_cast<PortHandle>(parts_->port.Get()) : kNoPort;
}

Status SerialPort::Configure(std::uint32_t baudRate) {
    const HANDLE handle = AsHandle(Handle());
    DCB line{};
    line.DCBlength = sizeof line;
    if (!::GetCommState(handle, &line)) {
        return Problem{ProblemKind::CannotSetUp, SystemWords(::GetLastError())};
    }
    line.BaudRate = baudRate;
    line.ByteSize = 8;
    line.Parity = NOPARITY;
    line.StopBits = ONESTOPBIT;
    // Raw bytes, as on Linux: a driver left with XON/XOFF, null stripping or error characters by
    // another program would swallow or change bytes of an identity or a firmware record, and
    // one that aborts on an error would fail every transfer after it.
    line.fBinary = TRUE;
    line.fParity = FALSE;
    line.fOutxCtsFlow = FALSE;
    line.fOutxDsrFlow = FALSE;
    line.fDsrSensitivity = FALSE;
    line.fOutX = FALSE;
    line.fInX = FALSE;
    line.fErrorChar = FALSE;
    line.fNull = FALSE;
    line.fAbortOnError = FALSE;
    // A read completes once its whole count has arrived; the wait in Transfer bounds it.
    COMMTIMEOUTS waitForAll{};
    // Both are tried either way: the line's settings matter even where the time-outs fail.
    const DWORD timeoutsError = ::SetCommTimeouts(handle, &waitForAll) ? 0 : ::GetLastError();
    if (!::SetCommState(handle, &line)) {
        return Problem{ProblemKind::CannotSetUp, SystemWords(::GetLastError())};
    }
    if (timeoutsError != 0) return Problem{ProblemKind::CannotSetUp, SystemWords(timeoutsError)};
    return {};
}

Result<std::size_t> SerialPort::Read(std::uint8_t* dest, std::size_t count, int timeoutMs) {
    if (!IsOpen()) return Problem{ProblemKind::System, SystemWords(ERROR_INVALID_HANDLE)};
    std::size_t got = 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got < count) {
        DWORD moved = 0;
        const bool ok = Transfer(parts_->port.Get(), parts_->event.Get(), Direction::Read,
                                 dest + got, static_cast<DWORD>(count - got), deadline, moved);
        got += moved;
        if (!ok) break;
        // A read that ended short (time-outs the driver keeps despite ours): go on for the rest
        // while there is time, without spinning on a driver that returns at once.
        if (got < count) {
            if (RemainingMs(deadline) == 0) break;
            if (moved == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return got;
}

Result<std::size_t> SerialPort::Write(const std::uint8_t* src, std::size_t count, int timeoutMs) {
    if (!IsOpen()) return Problem{ProblemKind::System, SystemWords(ERROR_INVALID_HANDLE)};
    std::size_t written = 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (written < count) {
        DWORD moved = 0;
        // WriteFile does not write through its buffer; the cast only fits its signature.
        const bool ok = Transfer(parts_->port.Get(), parts_->event.Get(), Direction::Write,
                                 const_cast<std::uint8_t*>(src + written),
                                 static_cast<DWORD>(count - written), deadline, moved);
        written += moved;
        // A write that finished as its time ran out has sent every byte all the same.
        if (!ok) break;
        if (written < count && (moved == 0 || RemainingMs(deadline) == 0)) break;
    }
    return written;
}

void SerialPort::Purge(bool input, bool output) {
    if (!IsOpen()) return;
    DWORD flags = 0;
    if (input && output) {
        flags = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
    } else if (input) {
        flags = PURGE_RXCLEAR;
    } else if (output) {
        flags = PURGE_TXCLEAR;
    }
    if (flags != 0) ::PurgeComm(parts_->port.Get(), flags);
}

void SerialPort::Close() {
    parts_.reset();
}

bool SerialPort::HasGone() const {
    if (!IsOpen()) return true;
    // A COM port whose device was removed answers every request with an error from then on.
    DWORD errors = 0;
    COMSTAT status{};
    return ::ClearCommError(parts_->port.Get(), &errors, &status) == FALSE;
}

void SleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace vorna
