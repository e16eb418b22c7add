// Reading the small files the program takes from outside (settings files, setup sheets,
// firmware images, config.ini) and replacing the files it writes, the same way on every
// system: a folder, FIFO, pipe or device where a file was expected is refused before it is
// opened, and a file written is either the old one or the whole new one. File names are UTF-8
// text inside the program (Utf8Path.h); the system's own calls get them as it wants them.
// The reading and replacing is in FilesPosix.cpp and FilesWin32.cpp, the shared words here and
// in Files.cpp.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/Result.h"

namespace vorna {

// Reads a regular file of at most `limit` bytes: the whole file, or a Problem whose kind says
// why not (Missing, Folder, NotRegular, TooLarge, Unreadable) and whose detail is the sentence
// a user is shown, naming the file ("x" is a folder, not a settings file). The type and size
// are looked at before the file is opened (a folder, FIFO or device is never opened, so
// nothing blocks), the file is opened without blocking and looked at again, and at most
// limit + 1 bytes are read, so a file that grows meanwhile is refused too. `kind` names what
// the file was taken as.
Result<std::string> ReadSmallFile(const std::filesystem::path& path, std::uintmax_t limit,
                                  std::string_view kind = "file");

// The same reading for callers that word the message themselves: the detail is the bare
// reason, the system's words for Missing and Unreadable, what the file is for NotRegular
// ("a FIFO (named pipe)"), and empty for Folder and TooLarge, which need none.
Result<std::string> ReadSmallFileBare(const std::filesystem::path& path, std::uintmax_t limit);

// "1 MiB (1048576 bytes)": a limit in the words of the messages.
std::string SizeLimitText(std::uintmax_t limit);

// Whether `path` can name a file to write: not empty and not ending in a folder separator,
// "." or "..". Otherwise BadName with a sentence saying so; `kind` as below.
Status CheckFileName(const std::filesystem::path& path, std::string_view kind);

// Whether `path` may be replaced by WriteFileReplacing: CheckFileName, not an existing
// folder, FIFO, device or socket, and not an existing read-only file (on Linux a file without
// a write bit, checked from the mode bits, so the refusal holds for root too, and with
// access() for a file the caller may not write; on Windows the read-only attribute). On Linux
// a symbolic link on the way that another user put in a sticky folder anyone may write to
// (/tmp), and that the folder's owner does not own either, is refused too: it is not followed.
// `kind` names what is written ("settings file"). A refusal (BadName, Folder, NotRegular,
// ReadOnly, Unwritable) says why in a sentence naming the file; nothing is changed.
Status CheckReplaceable(const std::filesystem::path& path, std::string_view kind);

// Replaces (or creates) `path` with `content`: checks it with CheckReplaceable, writes a
// temporary file in the same folder, flushes it to disk, renames it over the target (and on
// Linux flushes the folder), so the target is either the old file or the whole new one. An
// existing target's permission bits are kept; a symbolic link is followed (unless
// CheckReplaceable refuses it) and the file it names replaced. On failure the temporary file
// is removed and the Problem (Unwritable, or CheckReplaceable's) names the file and the
// system's reason.
Status WriteFileReplacing(const std::filesystem::path& path, std::string_view content,
                          std::string_view kind = "file");

// How this system's own programs end a line of text: CR LF on Windows (as its profile functions
// write settings files), LF on Linux.
std::string_view SystemLineEnd();

// `text` with every line end that is a lone LF written as `end`; a CR LF stays as it is.
std::string WithLineEnds(std::string_view text, std::string_view end);

// WriteFileReplacing for a text the program made: its lines end as this system's do
// (SystemLineEnd), whatever the text was built with.
Status WriteTextFileReplacing(const std::filesystem::path& path, std::string_view text,
                              std::string_view kind = "file");

// A write past the file size limit (ulimit -f) then fails with "File too large" and is
// reported like any other write error, its temporary file removed, where the limit's signal
// would end the program there and then, without a word, leaving the temporary file behind.
// Called once at the start of each program; Windows has no such limit.
void LetOversizeWritesFail();

// The messages both systems' sides share.
namespace file_text {
// "\"name\"", the name in UTF-8.
std::string Quoted(const std::filesystem::path& path);
// "a settings file"; "a file" for an empty kind.
std::string WithArticle(std::string_view kind);
std::string IsAFolder(const std::filesystem::path& path, std::string_view kind);
std::string NotRead(const std::filesystem::path& path, std::string_view what,
                    std::string_view kind);
std::string LeftAlone(const std::filesystem::path& path, std::string_view what);
std::string TooLarge(const std::filesystem::path& path, std::uintmax_t limit,
                     std::string_view kind);
std::string ReadOnly(const std::filesystem::path& path);
// The sentence ReadSmallFile gives for a problem of ReadSmallFileBare's.
std::string ReadRefusal(const std::filesystem::path& path, std::uintmax_t limit,
                        std::string_view kind, const Problem& bare);
}  // namespace file_text

}  // namespace vorna
