// The serial port on Windows: the bridge's COM port opened without sharing for overlapped I/O.
// Every read and write waits on its own event for at most what is left of its time-out, and one
// that runs out is cancelled and waited for, so that no transfer outlives the buffer and the
// OVERLAPPED record it was started with.
#include <windows.h>

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "base/Utf8Path.h"
#include "base/WindowsErrors.h"
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

// An event of its own for each transfer: manual reset, as overlapped I/O wants it.
class Event {
public:
    Event() : handle_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Event() {
        if (handle_) ::CloseHandle(handle_);
    }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

enum class Direction { Read, Write };

// One overlapped transfer of up to `count` bytes, bounded by `deadline`. Returns false when it
// failed (the port said so, or the wait ran out); `moved` receives what was transferred either
// way. A transfer whose wait runs out is cancelled and waited for before this returns.
bool Transfer(HANDLE port, Direction direction, std::uint8_t* bytes, DWORD count,
              Clock::time_point deadline, DWORD& moved) {
    moved = 0;
    const Event event;
    if (!event.Get()) return false;
    OVERLAPPED overlapped{};
    overlapped.hEvent = event.Get();
    const BOOL started = direction == Direction::Read
                             ? ::ReadFile(port, bytes, count, nullptr, &overlapped)
                             : ::WriteFile(port, bytes, count, nullptr, &overlapped);
    if (!started && ::GetLastError() != ERROR_IO_PENDING) return false;
    if (::WaitForSingleObject(event.Get(), RemainingMs(deadline)) == WAIT_OBJECT_0) {
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
std::mutex gLocksMutex;
std::map<HANDLE, HANDLE> gLocks;  // port -> its lock

// The lock's name: the port's name, upper case, without the \\.\ prefix.
std::wstring LockName(const std::string& device) {
    std::wstring name = L"Local\\vorna-link-port-";
    for (const char c : device.rfind("\\\\.\\", 0) == 0 ? device.substr(4) : device) {
        const bool plain =
            (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        name += plain ? static_cast<wchar_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c) : L'_';
    }
    return name;
}

// Takes the port's lock for `port`; false when another copy of this program holds it.
bool TakeLock(HANDLE port, const std::string& device) {
    const HANDLE lock = ::CreateMutexW(nullptr, FALSE, LockName(device).c_str());
    if (lock == nullptr) return true;  // no lock to be had: the driver's own rule stands
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(lock);
        return false;
    }
    std::lock_guard guard(gLocksMutex);
    gLocks[port] = lock;
    return true;
}

void ReleaseLock(HANDLE port) {
    HANDLE lock = nullptr;
    {
        std::lock_guard guard(gLocksMutex);
        const auto found = gLocks.find(port);
        if (found == gLocks.end()) return;
        lock = found->second;
        gLocks.erase(found);
    }
    ::CloseHandle(lock);
}

}  // namespace

PortOpenResult OpenSerialPort(const std::string& path, const HolderSearch&) {
    PortOpenResult result;
    result.path = windows::PortNameOf(path);
    const HANDLE port =
        ::CreateFileW(WideFromUtf8(result.path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        result.errorNumber = static_cast<int>(error);
        switch (error) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
            case ERROR_DEV_NOT_EXIST:
                result.failure = OpenFailure::NotFound;
                break;
            // A COM port open elsewhere is refused with "access denied"; a port that the
            // system shares out (Wine over a terminal another program locked) says busy or
            // names a sharing or lock violation.
            case ERROR_ACCESS_DENIED:
            case ERROR_SHARING_VIOLATION:
            case ERROR_LOCK_VIOLATION:
            case ERROR_BUSY:
                result.failure = OpenFailure::Busy;
                break;
            default:
                result.failure = OpenFailure::Other;
                break;
        }
        return result;
    }
    // A file or a pipe named where a port was expected is no serial line.
    if (::GetFileType(port) != FILE_TYPE_CHAR) {
        ::CloseHandle(port);
        result.failure = OpenFailure::NotATerminal;
        return result;
    }
    if (!TakeLock(port, result.path)) {
        ::CloseHandle(port);
        result.failure = OpenFailure::Busy;
        result.errorNumber = static_cast<int>(ERROR_ACCESS_DENIED);
        return result;
    }
    result.handle = reinterpret_cast<PortHandle>(port);
    return result;
}

ConfigureResult ConfigureSerialPort(PortHandle port, std::uint32_t baudRate) {
    const HANDLE handle = AsHandle(port);
    DCB line{};
    line.DCBlength = sizeof line;
    if (!::GetCommState(handle, &line)) return {false, static_cast<int>(::GetLastError())};
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
    if (!::SetCommState(handle, &line)) return {false, static_cast<int>(::GetLastError())};
    if (timeoutsError != 0) return {false, static_cast<int>(timeoutsError)};
    return {true, 0};
}

bool ReadPort(PortHandle port, std::uint8_t* dest, std::size_t count, int timeoutMs,
              std::size_t& got) {
    got = 0;
    if (port == kNoPort) return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got < count) {
        DWORD moved = 0;
        const bool ok = Transfer(AsHandle(port), Direction::Read, dest + got,
                                 static_cast<DWORD>(count - got), deadline, moved);
        got += moved;
        if (!ok) return got == count;
        // A read that ended short (time-outs the driver keeps despite ours): go on for the rest
        // while there is time, without spinning on a driver that returns at once.
        if (got < count) {
            if (RemainingMs(deadline) == 0) return false;
            if (moved == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return true;
}

bool WritePort(PortHandle port, const std::uint8_t* src, std::size_t count, int timeoutMs,
               std::size_t& written) {
    written = 0;
    if (port == kNoPort) return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (written < count) {
        DWORD moved = 0;
        // WriteFile does not write through its buffer; the cast only fits its signature.
        const bool ok =
            Transfer(AsHandle(port), Direction::Write, const_cast<std::uint8_t*>(src + written),
                     static_cast<DWORD>(count - written), deadline, moved);
        written += moved;
        // A write that finished as its time ran out has sent every byte all the same.
        if (!ok) return written == count;
        if (written < count && (moved == 0 || RemainingMs(deadline) == 0)) return false;
    }
    return true;
}

void PurgePort(PortHandle port, bool input, bool output) {
    if (port == kNoPort) return;
    DWORD flags = 0;
    if (input && output) {
        flags = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
    } else if (input) {
        flags = PURGE_RXCLEAR;
    } else if (output) {
        flags = PURGE_TXCLEAR;
    }
    if (flags != 0) ::PurgeComm(AsHandle(port), flags);
}

void ClosePortHandle(PortHandle port) {
    if (port == kNoPort) return;
    ReleaseLock(AsHandle(port));
    ::CloseHandle(AsHandle(port));
}

bool PortHasGone(PortHandle port) {
    if (port == kNoPort) return true;
    // A COM port whose device was removed answers every request with an error from then on.
    DWORD errors = 0;
    COMSTAT status{};
    return ::ClearCommError(AsHandle(port), &errors, &status) == FALSE;
}

std::string DescribeOpenFailure(const std::string& path, const PortOpenResult& result,
                                bool retrying) {
    const std::string shown = path.rfind("\\\\.\\", 0) == 0 ? path.substr(4) : path;
    const DWORD code = static_cast<DWORD>(result.errorNumber);
    switch (result.failure) {
        case OpenFailure::None:
            return {};
        case OpenFailure::Busy:
            return "Cannot open " + shown + ": the port is in use by " +
                   (result.holder.empty() ? std::string("another program") : result.holder) +
                   (retrying ? ". Close that program; the link retries by itself."
                             : ". Close that program and try again.");
        case OpenFailure::NotFound:
            return "Cannot open " + shown + ": the port has gone (" + WindowsErrorText(code) + ").";
        case OpenFailure::NotATerminal:
            return "Cannot open " + shown + ": it is not a serial port.";
        case OpenFailure::NoPermission:
        case OpenFailure::Other:
            break;
    }
    return "Cannot open " + shown + ": " + WindowsErrorText(code) + ".";
}

std::string DescribeConfigureFailure(const std::string& path, std::uint32_t baudRate,
                                     int errorNumber) {
    return "Cannot set " + path + " to " + std::to_string(baudRate) +
           " baud: " + WindowsErrorText(static_cast<DWORD>(errorNumber)) +
           ". It is used as the driver has set it meanwhile; the link keeps trying.";
}

void SleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace vorna
