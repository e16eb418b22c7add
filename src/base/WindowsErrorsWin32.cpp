#include "base/WindowsErrors.h"

#include <windows.h>

#include <string_view>

#include "base/Utf8Path.h"

namespace vorna {

std::string WindowsErrorText(unsigned long code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = buffer ? Utf8FromWide(std::wstring_view(buffer, length)) : std::string();
    ::LocalFree(buffer);
    while (!text.empty() &&
           (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    if (text.empty()) text = "system error " + std::to_string(code);
    return text;
}

}  // namespace vorna
