// Small files and their replacement on Windows, with the wide calls so that any name works:
// a reserved device name (NUL, COM1, ...) or a device path is refused by its name before
// anything opens it, a folder by its attributes, and a file written goes to a temporary file
// that is flushed and then moved over the target in one step.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cwctype>
#include <string>

#include "base/Files.h"
#include "base/Utf8Path.h"
#include "base/WindowsErrors.h"
#include "base/WindowsHandles.h"

namespace vorna {
namespace {

namespace fs = std::filesystem;
using file_text::Quoted;

bool NamesNoFile(DWORD code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

// A device rather than a file: the names Windows keeps for devices in every folder (NUL, CON,
// COM1, LPT1, ..., with any extension) and paths into the device namespace (\\.\COM1,
// \\.\pipe\x), but not \\?\ or \\.\ before a drive or share, which are ordinary files.
bool NamesADevice(const fs::path& path) {
    const std::wstring& text = path.native();
    if (text.size() >= 4 && (text[0] == L'\\' || text[0] == L'/') &&
        (text[1] == L'\\' || text[1] == L'/') && (text[2] == L'.' || text[2] == L'?') &&
        (text[3] == L'\\' || text[3] == L'/')) {
        const std::wstring rest = text.substr(4);
        const bool drive = rest.size() >= 2 && std::iswalpha(rest[0]) && rest[1] == L':';
        std::wstring head = rest.substr(0, 4);
        for (wchar_t& c : head) c = static_cast<wchar_t>(std::towupper(c));
        return !drive && head != L"UNC\\" && head != L"UNC/";
    }
    std::wstring stem = path.filename().native();
    stem = stem.substr(0, stem.find(L'.'));
    while (!stem.empty() && (stem.back() == L' ' || stem.back() == L':')) stem.pop_back();
    for (wchar_t& c : stem) c = static_cast<wchar_t>(std::towupper(c));
    for (const wchar_t* reserved : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
        if (stem == reserved) return true;
    }
    return stem.size() == 4 && (stem.rfind(L"COM", 0) == 0 || stem.rfind(L"LPT", 0) == 0) &&
           stem[3] >= L'1' && stem[3] <= L'9';
}

std::string NotAFileKind(DWORD fileType) {
    if (fileType == FILE_TYPE_PIPE) return "a pipe";
    if (fileType == FILE_TYPE_CHAR) return "a character device";
    return "of another type";
}

}  // namespace

Result<std::string> ReadSmallFileBare(const fs::path& path, std::uintmax_t limit) {
    using Read = Result<std::string>;
    const auto systemRefusal = [](DWORD code) {
        return Read(NamesNoFile(code) ? ProblemKind::Missing : ProblemKind::Unreadable,
                    WindowsErrorText(code));
    };
    const auto notAFile = [](std::string what) {
        return Read(ProblemKind::NotRegular, std::move(what));
    };
    const auto sizeRefusal = [] { return Read(ProblemKind::TooLarge, {}); };

    // Looked at before opening: opening a device can act on it.
    if (NamesADevice(path)) return notAFile("a device");
    WIN32_FILE_ATTRIBUTE_DATA about{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &about)) {
        return systemRefusal(::GetLastError());
    }
    if (about.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        return Read(ProblemKind::Folder, {});
    }
    const std::uintmax_t size =
        (static_cast<std::uintmax_t>(about.nFileSizeHigh) << 32) | about.nFileSizeLow;
    if (size > limit) return sizeRefusal();

    const UniqueFileHandle opened(::CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!opened) return systemRefusal(::GetLastError());
    const HANDLE file = opened.Get();
    const DWORD type = ::GetFileType(file);
    if (type != FILE_TYPE_DISK) return notAFile(NotAFileKind(type));

    std::string text;
    char buffer[16384];
    while (text.size() <= limit) {
        const std::uintmax_t room = limit + 1 - text.size();
        DWORD got = 0;
        if (!::ReadFile(file, buffer,
                        static_cast<DWORD>(std::min<std::uintmax_t>(sizeof buffer, room)), &got,
                        nullptr)) {
            return systemRefusal(::GetLastError());
        }
        if (got == 0) break;
        text.append(buffer, got);
    }
    if (text.size() > limit) return sizeRefusal();
    return text;
}

Status CheckReplaceable(const fs::path& path, std::string_view kind) {
    if (Status named = CheckFileName(path, kind); !named) return named;
    if (NamesADevice(path))
        return {ProblemKind::NotRegular, file_text::LeftAlone(path, "a device")};
    // Through a symbolic link, the file it names is what would be replaced.
    std::error_code ec;
    fs::path target = path;
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::canonical(target, ec);
        if (!ec) target = resolved;
    }
    WIN32_FILE_ATTRIBUTE_DATA about{};
    if (!::GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &about)) {
        return {};  // a new file (or writing says why not)
    }
    if (about.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        return {ProblemKind::Folder, file_text::IsAFolder(path, kind)};
    }
    if (about.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
        return {ProblemKind::ReadOnly, file_text::ReadOnly(path)};
    }
    return {};
}

Status WriteFileReplacing(const fs::path& path, std::string_view content, std::string_view kind) {
    if (Status replaceable = CheckReplaceable(path, kind); !replaceable) return replaceable;
    std::error_code ec;
    fs::path target = path;
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::canonical(target, ec);
        if (!ec) target = resolved;
    }
    const auto fail = [&](const std::string& what, DWORD code) {
        return Status(ProblemKind::Unwritable,
                      "Cannot write " + Quoted(path) + ": " + what + ": " + WindowsErrorText(code));
    };
    if (target.filename().empty()) return fail("not a file name", ERROR_INVALID_NAME);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(L".");

    static std::atomic<unsigned> counter{0};
    fs::path temp;
    UniqueFileHandle file;
    DWORD code = 0;
    for (int attempt = 0; attempt < 100 && !file; ++attempt) {
        temp =
            folder / (L"." + target.filename().native() + L".tmp-" +
                      std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(counter++));
        file.Reset(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        code = ::GetLastError();
        if (!file && code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) break;
    }
    if (!file) {
        return fail("cannot create a temporary file in " + Quoted(folder), code);
    }
    const auto abandon = [&](const std::string& what, DWORD failure) {
        file.Reset();
        ::DeleteFileW(temp.c_str());
        return fail(what, failure);
    };
    const char* p = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        DWORD written = 0;
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(left, 1 << 20));
        if (!::WriteFile(file.Get(), p, piece, &written, nullptr) || written == 0) {
            return abandon("writing " + Quoted(temp), ::GetLastError());
        }
        p += written;
        left -= written;
    }
    if (!::FlushFileBuffers(file.Get()))
        return abandon("flushing " + Quoted(temp), ::GetLastError());
    // Closed by hand, not by the holder: a failed close can mean the data never reached the
    // disk, and the save must then say so.
    const BOOL closed = ::CloseHandle(file.Release());
    code = ::GetLastError();
    if (!closed) return abandon("closing " + Quoted(temp), code);
    // Replaced in one step, and on disk before this returns: a crash now must not bring back
    // the old file (or none) after a save that said it was done.
    if (!::MoveFileExW(temp.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return abandon("renaming " + Quoted(temp) + " over it", ::GetLastError());
    }
    return {};
}

std::string_view SystemLineEnd() {
    return "\r\n";
}

void LetOversizeWritesFail() {}

}  // namespace vorna
