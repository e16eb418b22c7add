// vornactl's standard output and error on Windows (ConsoleOutputWin32.cpp): a console window is
// written in UTF-16 with the console's own call, since a console shows UTF-8 bytes right only
// when its code page says so, and that cannot be relied on (Wine's stays 437 whatever the
// program asks). A pipe or a file gets the UTF-8 bytes as they are, for scripts and logs.
#pragma once

#include <windows.h>

#include <functional>
#include <streambuf>
#include <string>
#include <string_view>

namespace vorna::cli {

// Whether text for `handle` goes out through the console's wide-character call: it is a console.
bool WritesWide(HANDLE handle);

// A stream buffer that hands whole UTF-8 characters to `write` as UTF-16, keeping a character cut
// between two writes until its end has come.
class WideConsoleBuffer : public std::streambuf {
public:
    using Writer = std::function<void(std::wstring_view)>;
    explicit WideConsoleBuffer(Writer write) : write_(std::move(write)) {}

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;

private:
    void WriteWhole();
    std::string pending_;
    Writer write_;
};

// A stream buffer that passes text on to `target` with each line ended in CR LF, as Windows'
// own programs write a file or a pipe; a CR LF written as such stays one.
class CrLfBuffer : public std::streambuf {
public:
    explicit CrLfBuffer(std::streambuf* target) : target_(target) {}

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override { return target_->pubsync(); }

private:
    bool Put(char c);
    std::streambuf* target_;
    bool afterCr_ = false;
};

// Points std::cout and std::cerr at the console's wide call where they are a console, and
// elsewhere (a file, a pipe) at a CrLfBuffer over their own.
void WriteConsolesWide();

}  // namespace vorna::cli
