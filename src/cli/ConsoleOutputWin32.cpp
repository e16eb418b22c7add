#include "cli/ConsoleOutput.h"

#include <iostream>

#include "base/Utf8Path.h"

namespace vorna::cli {

bool WritesWide(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           ::GetConsoleMode(handle, &mode) != FALSE;
}

WideConsoleBuffer::int_type WideConsoleBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    xsputn(&byte, 1);
    return c;
}

std::streamsize WideConsoleBuffer::xsputn(const char* s, std::streamsize n) {
    pending_.append(s, static_cast<std::size_t>(n));
    WriteWhole();
    return n;
}

void WideConsoleBuffer::WriteWhole() {
    // A character whose lead byte is among the last three may still lack its continuation.
    std::size_t whole = pending_.size();
    for (std::size_t back = 1; back <= 3 && back <= pending_.size(); ++back) {
        const auto byte = static_cast<unsigned char>(pending_[pending_.size() - back]);
        if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        if (length > back) whole = pending_.size() - back;
        break;
    }
    if (whole == 0) return;
    write_(WideFromUtf8(std::string_view(pending_).substr(0, whole)));
    pending_.erase(0, whole);
}

bool CrLfBuffer::Put(char c) {
    if (c == '\n' && !afterCr_ &&
        traits_type::eq_int_type(target_->sputc('\r'), traits_type::eof()))
        return false;
    afterCr_ = c == '\r';
    return !traits_type::eq_int_type(target_->sputc(c), traits_type::eof());
}

CrLfBuffer::int_type CrLfBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    return Put(traits_type::to_char_type(c)) ? c : traits_type::eof();
}

std::streamsize CrLfBuffer::xsputn(const char* s, std::streamsize n) {
    for (std::streamsize i = 0; i < n; ++i) {
        if (!Put(s[i])) return i;
    }
    return n;
}

void WriteConsolesWide() {
    const auto attach = [](std::ostream& stream, DWORD which) {
        const HANDLE handle = ::GetStdHandle(which);
        if (!WritesWide(handle)) {
            // Lives as long as the program, like the console's below.
            static_cast<void>(stream.rdbuf(new CrLfBuffer(stream.rdbuf())));
            return;
        }
        // Lives as long as the program: the streams are used until its very end.
        static_cast<void>(stream.rdbuf(new WideConsoleBuffer([handle](std::wstring_view text) {
            DWORD written = 0;
            ::WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written,
                            nullptr);
        })));
    };
    attach(std::cout, STD_OUTPUT_HANDLE);
    attach(std::cerr, STD_ERROR_HANDLE);
}

}  // namespace vorna::cli
