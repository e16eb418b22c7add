// What vornactl asks of Windows. Arguments come from the wide command line, since the narrow
// one holds only what the ANSI code page can; text goes to a console in UTF-16 through the
// console's own call (ConsoleOutput.h) and to a pipe or file as UTF-8.
#include <windows.h>
// After windows.h, whose types they use.
#include <fcntl.h>
#include <io.h>
#include <lmcons.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

#include "base/Utf8Path.h"
#include "cli/ConsoleOutput.h"
#include "cli/SystemInfo.h"

namespace vorna::cli {
namespace {

std::string Environment(const wchar_t* name) {
    wchar_t value[1024];
    const DWORD length = ::GetEnvironmentVariableW(name, value, 1024);
    if (length == 0 || length >= 1024) return {};
    return Utf8FromWide(std::wstring_view(value, length));
}

// The version Windows really has: GetVersionEx answers what the program's manifest claims.
std::string WindowsVersion() {
    using RtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) return {};
    const auto get = reinterpret_cast<RtlGetVersion>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (get == nullptr || get(&info) != 0) return {};
    return std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) + "." +
           std::to_string(info.dwBuildNumber);
}

}  // namespace

std::string SystemDescription() {
    std::string text = "Windows";
    const std::string version = WindowsVersion();
    if (!version.empty()) text += " " + version;
    SYSTEM_INFO system{};
    ::GetNativeSystemInfo(&system);
    switch (system.wProcessorArchitecture) {
        case PROCESSOR_ARCHITECTURE_AMD64:
            text += " x86_64";
            break;
        case PROCESSOR_ARCHITECTURE_ARM64:
            text += " arm64";
            break;
        case PROCESSOR_ARCHITECTURE_INTEL:
            text += " x86";
            break;
        default:
            break;
    }
    // Under Wine the Linux beneath says more about the machine than the Windows it plays.
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    using WineVersion = const char*(CDECL*)();
    const auto wine = ntdll ? reinterpret_cast<WineVersion>(reinterpret_cast<void*>(
                                  ::GetProcAddress(ntdll, "wine_get_version")))
                            : nullptr;
    if (wine != nullptr) text += std::string(", Wine ") + wine();
    return text;
}

std::string HomeFolder() {
    std::string home = Environment(L"USERPROFILE");
    while (home.size() > 3 && (home.back() == '\\' || home.back() == '/')) home.pop_back();
    return home;
}

std::vector<std::string> AccountNames() {
    std::vector<std::string> users;
    wchar_t name[UNLEN + 1];
    DWORD length = UNLEN + 1;
    if (::GetUserNameW(name, &length) && length > 1) {
        users.push_back(Utf8FromWide(std::wstring_view(name, length - 1)));
    }
    if (const std::string env = Environment(L"USERNAME"); !env.empty()) users.push_back(env);
    return users;
}

std::string HostName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    if (!::GetComputerNameW(name, &length)) return {};
    return Utf8FromWide(std::wstring_view(name, length));
}

std::vector<std::string> ProgramArguments(int, char**) {
    // Binary streams: the C library's text mode would make a CR LF the program wrote CR CR LF;
    // a file or a pipe gets its CR LF from the stream's own buffer (WriteConsolesWide).
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // What is written to the console by other means than the streams (the note of a held quit
    // request) is UTF-8 too.
    ::SetConsoleOutputCP(CP_UTF8);
    WriteConsolesWide();
    std::vector<std::string> args;
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) return args;
    for (int i = 1; i < count; ++i) args.push_back(Utf8FromWide(wide[i]));
    ::LocalFree(wide);
    return args;
}

std::filesystem::path ProgramFolder() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) return {};
        if (length < name.size()) {
            name.resize(length);
            return std::filesystem::path(name).parent_path();
        }
        name.resize(name.size() * 2);
    }
}

bool StandardErrorIsTerminal() {
    return WritesWide(::GetStdHandle(STD_ERROR_HANDLE));
}

Shell SystemShell() {
    return Shell::WindowsCmd;
}

int OutputColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!::GetConsoleScreenBufferInfo(::GetStdHandle(STD_OUTPUT_HANDLE), &info)) return 80;
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    return columns > 0 ? columns : 80;
}

}  // namespace vorna::cli
