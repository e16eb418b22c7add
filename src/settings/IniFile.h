// INI files, for the setup sheets and settings files, read and written the way Windows
// programs read and write them: racers swap these files with Windows machines, so a file must
// mean the same on both sides.
//
// Why not SimpleIni (a well-kept INI library Debian packages): its model does not give these
// semantics. Without multi-key mode a later duplicate key replaces an earlier one (last wins,
// Windows reads the first); with it, writing adds keys instead of replacing the first one.
// Duplicate sections are merged, where Windows only looks in the first one. It keeps no line
// numbers, which our import messages need. It strips quotes only on request and then only
// double ones, treats '#' as a comment (Windows does not), and Save() regenerates the whole
// file from its tree, where Windows changes one line and keeps the rest as it was. The reader
// below is small, and being ours, keeps every line of the file untouched but the one written.
//
// Semantics (as Windows has them):
// - Lines are split at LF; a CR before the LF is kept with its line and written back as it was
//   (new lines get the file's own line ending: CRLF if its first line ends so, else LF). A
//   UTF-8 byte order mark at the start is skipped and written back.
// - Leading and trailing blanks (space, tab, CR, VT, FF) of every line are ignored.
// - "[name]" starts a section; the name runs to the last ']' of the line, blanks trimmed.
// - A line with '=' is a key: the text before the first '=' is the name, the rest the value,
//   both trimmed. A line starting with ';' is a comment; other lines without '=' are ignored.
// - Section and key names are compared without regard to ASCII case. Only the FIRST section
//   of a name is searched, and the FIRST key of a name in it wins.
// - A value enclosed in matching quotes (both ' or both ", at least two characters) loses them,
//   as Windows does for either quote character.
// - The value is then cut to the caller's maximum number of characters (a Windows buffer of n
//   characters holds n - 1); characters are UTF-8 code points, and a multi-byte character is
//   never split. The default value is cut the same way.
// - A missing file, section or key gives the caller's default.
// - Writing replaces the value of the first matching key in place (keeping the key's spelling
//   as written in the file), or adds the key after the last non-blank line of the section, or
//   adds the section at the end of the file (after a blank line). Every other line is kept.
//   Line breaks in a written value become spaces (a value is one line).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vorna {

class IniFile {
public:
    struct Value {
        bool found = false;
        std::string text;  // quotes removed, cut to the maximum; empty when not found
        int line = 0;      // 1-based line of the key in the file; 0 when not found
    };

    IniFile() = default;  // an empty document

    // Reads the file with ReadSmallFile (at most kMaxIniFileBytes). On failure (missing,
    // unreadable, a folder or device, too large) returns false, the document is empty and
    // `error` (if given) gets the reason, naming the file; `kind` names what the file was
    // taken as ("settings file").
    bool Load(const std::filesystem::path& path, std::string* error = nullptr,
              std::string_view kind = "file");
    void Parse(std::string_view text);

    Value Find(std::string_view section, std::string_view key, std::size_t maxChars) const;
    // Like GetPrivateProfileString: the value, or `fallback` when the key is not there.
    std::string Get(std::string_view section, std::string_view key, std::string_view fallback,
                    std::size_t maxChars) const;
    bool HasSection(std::string_view section) const;

    void Set(std::string_view section, std::string_view key, std::string_view value);

    // The whole file as it would be written.
    std::string Text() const;
    // Writes Text() to `path` through a temporary file in the same folder, renamed over it.
    bool Save(const std::filesystem::path& path, std::string* error = nullptr) const;

    // ASCII case-insensitive equality and prefix test, as used for names (names and list
    // entries are ASCII; other bytes compare exactly).
    static bool EqualNoCase(std::string_view a, std::string_view b);
    static bool StartsWithNoCase(std::string_view text, std::string_view prefix);

private:
    std::vector<std::string> lines_;  // without the LF; a CR that preceded it is kept
    bool bom_ = false;
    bool crlf_ = false;
};

// Private-profile style one-shot calls, each reading the file anew.
// `line` (if given) receives the 1-based line where the key was found, 0 if it was not.
std::string ReadProfileString(const std::filesystem::path& path, std::string_view section,
                              std::string_view key, std::string_view fallback, std::size_t maxChars,
                              int* line = nullptr);
// Creates the file when it does not exist (not its folder). False with `error` on failure.
bool WriteProfileString(const std::filesystem::path& path, std::string_view section,
                        std::string_view key, std::string_view value, std::string* error = nullptr);

// The most an INI file (settings file, setup sheet, configuration) may hold: a real one is a
// few kilobytes, so anything larger is refused unread.
inline constexpr std::uintmax_t kMaxIniFileBytes = 1024 * 1024;

// Why a file was not read.
enum class ReadFailure {
    None,
    Missing,     // no such file (or a folder on its way)
    Folder,      // a folder where a file was expected
    NotRegular,  // a FIFO, device or socket
    TooLarge,    // over the limit
    Unreadable,  // any other reason the system gave
};

struct SmallFile {
    ReadFailure failure = ReadFailure::None;
    std::string text;   // the whole file when failure is None
    std::string error;  // otherwise: names the file and says why, in plain words
};

// Reads a regular file of at most `limit` bytes. The type and size are looked at before the
// file is opened (a folder, FIFO or device is never opened, so nothing blocks), the file is
// opened without blocking and looked at again, and at most limit + 1 bytes are read, so a
// file that grows meanwhile is refused too. `kind` names what the file was taken as, for the
// error ("x" is a folder, not a settings file).
SmallFile ReadSmallFile(const std::filesystem::path& path, std::uintmax_t limit,
                        std::string_view kind = "file");

// "1 MiB (1048576 bytes)": a limit in the words of the messages.
std::string SizeLimitText(std::uintmax_t limit);

// Whether `path` can name a file to write: not empty and not ending in a folder separator,
// "." or "..". False with `error` saying so; `kind` as below.
bool CheckFileName(const std::filesystem::path& path, std::string_view kind, std::string* error);

// Whether `path` may be replaced by WriteFileReplacing: CheckFileName, not an existing
// folder, FIFO, device or socket, and not an existing file without a write bit (checked from
// the mode bits, so the refusal holds for root too, and with access() for a file the caller
// may not write). `kind` names what is written ("settings file"). False with `error` saying
// why; nothing is changed.
bool CheckReplaceable(const std::filesystem::path& path, std::string_view kind, std::string* error);

// Replaces (or creates) `path` with `content`: checks it with CheckReplaceable, writes a
// temporary file in the same folder, flushes it to disk, renames it over the target and
// flushes the folder, so the target is either the old file or the whole new one. An existing
// target's permission bits are kept; a symbolic link is followed and the file it names
// replaced. On failure the temporary file is removed and `error` names the file and the
// system's reason.
bool WriteFileReplacing(const std::filesystem::path& path, std::string_view content,
                        std::string* error = nullptr, std::string_view kind = "file");

}  // namespace vorna
