// INI files: the setup sheets, settings files and config.ini. Racers swap sheets and settings
// files with Windows machines, so the reader gives the answers a Windows program reading the
// same file with its private-profile calls gets (IniFileTest holds it to a table of them), and
// the writer changes a file the way such a program does: one line, the rest untouched.
//
// Why not SimpleIni (a well-kept INI library Debian packages): a later duplicate key replaces
// an earlier one there, duplicate sections are merged, it keeps no line numbers (our import
// messages need them), treats '#' as a comment, and Save() regenerates the whole file.
//
// How a file is read:
// - Encoding: a file starting with FF FE is UTF-16LE. Otherwise a UTF-8 byte order mark is
//   skipped (Windows would take it as part of the first line; we are more lenient, since
//   editors on Linux and macOS write it), and the rest is UTF-8 when it is valid UTF-8 as a
//   whole, else Windows-1252 (what Windows editors save a Western text in). Values come back
//   in UTF-8 either way. The five bytes Windows-1252 leaves undefined (81 8D 8F 90 9D) come
//   back as U+FFFD: their C1 code points would be controls (90 and 9D start terminal control
//   strings), and they name no character a racer typed.
// - CR LF, a lone LF and a lone CR each end a line.
// - Blanks (space, tab, VT, FF) around a line, a name or a value are ignored.
// - "[name]" starts a section; the name runs to the last ']' of the line. A line with '=' is
//   a key: the text before the first '=' is the name, the rest the value. A line starting
//   with ';' is a comment; other lines are ignored, and so are keys before the first section.
// - Names are compared without regard to ASCII case. Only the first section of a name is
//   searched, and the first key of a name in it wins.
// - A value enclosed in one pair of matching quotes (both ' or both ", at least two
//   characters) loses them.
// - The value is then cut to the caller's maximum number of characters (a buffer of n
//   characters holds n - 1); characters are code points, never split. The default is cut the
//   same way. A missing file, section or key gives the caller's default.
//
// How a file is written (Set, then Text or Save):
// - Every line not written is kept byte for byte, with its own line end, and the file keeps
//   its encoding and byte order mark. A new document is UTF-8 without a mark.
// - The first matching key gets the new value in place (keeping its name as spelt in the
//   file); else the key is added after the last non-blank line of the section; else the
//   section and key are added at the end of the file, with no blank line before them.
// - Added lines end as the file's first line does (LF in a file without line ends); a last
//   line without a line end gets one before anything is added after it. (A lone CR before a
//   blank line ending in a lone LF would read as one CR LF: such a line gets CR LF instead.)
// - Line breaks in a written value become spaces (a value is one line). A character the
//   file's encoding cannot hold (Windows-1252) is written as '?'.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/Files.h"

namespace vorna {

class IniFile {
public:
    struct Value {
        bool found = false;
        std::string text;  // UTF-8, quotes removed, cut to the maximum; empty when not found
        int line = 0;      // 1-based line of the key in the file; 0 when not found
    };

    IniFile() = default;  // an empty document

    // Reads the file with ReadSmallFile (at most kMaxIniFileBytes). On failure (missing,
    // unreadable, a folder or device, too large) the document is empty and the Problem is
    // ReadSmallFile's, its sentence naming the file; `kind` names what the file was taken as
    // ("settings file").
    [[nodiscard]] Status Load(const std::filesystem::path& path, std::string_view kind = "file");
    // Reads a file's bytes as they are on disk (any of the encodings above).
    void Parse(std::string_view bytes);

    Value Find(std::string_view section, std::string_view key, std::size_t maxChars) const;
    // Like GetPrivateProfileString: the value, or `fallback` when the key is not there.
    std::string Get(std::string_view section, std::string_view key, std::string_view fallback,
                    std::size_t maxChars) const;
    bool HasSection(std::string_view section) const;
    // Every key line of the first section named `section`, in file order, names as spelt.
    struct KeyLine {
        std::string name;
        int line = 0;
    };
    std::vector<KeyLine> KeysIn(std::string_view section) const;
    // The lines of that section the reader passes over: neither a key, a comment nor blank (a
    // line without '='), trimmed, as `name`.
    std::vector<KeyLine> OtherLinesIn(std::string_view section) const;

    void Set(std::string_view section, std::string_view key, std::string_view value);

    // The whole file as it would be written.
    std::string Text() const;
    // Writes Text() to `path` through a temporary file in the same folder, renamed over it.
    [[nodiscard]] Status Save(const std::filesystem::path& path) const;

    // ASCII case-insensitive equality and prefix test, as used for names (names and list
    // entries are ASCII; other bytes compare exactly).
    static bool EqualNoCase(std::string_view a, std::string_view b);
    static bool StartsWithNoCase(std::string_view text, std::string_view prefix);

private:
    enum class Encoding { Utf8, Windows1252, Utf16Le };
    struct Line {
        std::string text;  // decoded to UTF-8 (Windows-1252's undefined bytes as C1), no line end
        std::string end;   // "\r\n", "\n", "\r", or empty for a last line without one
        std::string raw;   // the line and its end as the file holds them
    };
    std::string Encode(std::string_view text) const;
    void EndLastLine(std::size_t index);

    std::vector<Line> lines_;
    std::string mark_;  // the byte order mark the file started with, written back
    Encoding encoding_ = Encoding::Utf8;
    // For added lines: the file's first line end; in a file without one, the system's own.
    std::string eol_{SystemLineEnd()};
};

// The most an INI file (settings file, setup sheet, configuration) may hold: a real one is a
// few kilobytes, so anything larger is refused unread.
inline constexpr std::uintmax_t kMaxIniFileBytes = 1024 * 1024;

}  // namespace vorna
