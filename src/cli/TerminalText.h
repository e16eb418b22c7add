// Text from files and devices on its way to a terminal. A file name, a value read from a file
// or a device's text may hold control characters: an ESC sequence would be run by the
// terminal (moving the cursor, retitling the window, rewriting what was printed), and a CR or
// a line feed could fake a line of output. vornactl prints such text through these.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorna::cli {

// `text` with every control character escaped: \t, \r and \n by name, the other C0 controls,
// DEL and the C1 controls (U+0080 to U+009F) as \xNN per byte, and bytes that are not UTF-8 as
// \xNN too. Printable UTF-8 (and the backslash) stays as it is.
std::string Shown(std::string_view text);

// As Shown, but line feeds stay: for the program's own messages of several lines that quote
// file names or device texts.
std::string ShownLines(std::string_view text);

// `text` as a JSON string, quotes included, safe on a terminal as well: the C0 controls, DEL and
// the C1 controls become \u00XX, and a byte that is not UTF-8 becomes the character of that
// number (its Latin-1 reading), so the document stays valid UTF-8.
std::string JsonQuoted(std::string_view text);

// The shells a printed command is quoted for: a POSIX shell, or Windows' cmd.exe (whose programs
// split their command line as the C runtime does).
enum class Shell { Posix, WindowsCmd };

// `text` as one word of a command line the user can paste into `shell`: in single quotes for a
// POSIX shell ('\'' for a quote inside), in double quotes for cmd.exe (backslashes before a
// quote, and at the end, doubled; a quote as \"). Quote Shown text: controls are not handled.
std::string ShellWord(std::string_view text, Shell shell);

// A whole number as a command-line option takes it: digits only (no sign, blanks or anything
// after them), from `min` to `max`. Nothing for anything else.
std::optional<int> WholeNumber(std::string_view text, int min, int max);

}  // namespace vorna::cli
