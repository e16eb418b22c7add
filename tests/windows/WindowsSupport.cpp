// The Windows side of the test support: the port double, and the system's words for a file
// that is not there.
#include <atomic>
#include <stdexcept>

#include "base/Utf8Path.h"
#include "support/TestSupport.h"
#include "windows/PortDouble.h"

namespace vorna::test {

std::filesystem::path PrepareTestProcess() {
    return {};
}

std::string MissingFileWords(bool folderOnTheWay) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, folderOnTheWay ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND, 0,
        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = buffer ? Utf8FromWide(std::wstring_view(buffer, length)) : std::string();
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.'))
        text.pop_back();
    return text;
}

PortDouble::PortDouble() {
    static std::atomic<int> count{0};
    const std::wstring name = L"\\\\.\\pipe\\vorna-port-double-" +
                              std::to_wstring(::GetCurrentProcessId()) + L"-" +
                              std::to_wstring(count++);
    const HANDLE farEnd = ::CreateNamedPipeW(
        name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    if (farEnd == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot make the pipe");
    Result<SerialPort> adopted = SerialPort::Adopt(reinterpret_cast<PortHandle>(farEnd));
    if (!adopted) throw std::runtime_error("cannot wait on the pipe");
    far_ = std::move(adopted).Value();
    near_ = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_FLAG_OVERLAPPED, nullptr);
    if (near_ == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open the pipe");
}

PortDouble::~PortDouble() {
    if (near_ != INVALID_HANDLE_VALUE) ::CloseHandle(near_);
}

SerialPort PortDouble::TakePort() {
    Result<SerialPort> adopted = SerialPort::Adopt(reinterpret_cast<PortHandle>(near_));
    if (!adopted) throw std::runtime_error("cannot wait on the pipe");
    near_ = INVALID_HANDLE_VALUE;
    return std::move(adopted).Value();
}

std::vector<std::uint8_t> PortDouble::Received(std::size_t max, int timeoutMs) {
    std::vector<std::uint8_t> bytes(max);
    // The link's own read serves the device's end as well: bounded, cancelled when late.
    const Result<std::size_t> got = far_.Read(bytes.data(), max, timeoutMs);
    bytes.resize(got ? *got : 0);
    return bytes;
}

void PortDouble::Send(const std::vector<std::uint8_t>& bytes) {
    const Result<std::size_t> written = far_.Write(bytes.data(), bytes.size(), 5000);
    if (!written || *written != bytes.size()) throw std::runtime_error("cannot write to the pipe");
}

}  // namespace vorna::test
