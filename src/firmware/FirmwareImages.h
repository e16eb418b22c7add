// Reading the two firmware images before anything goes to a device: the ESC image (`.mmc`,
// one record per line) and the program card image (`.xup`, a run of hex digit pairs cut into
// length-prefixed blocks). A reader either gives everything the update will send, already
// decoded and checked against the limits of the link, or refuses the whole image: a Problem
// whose detail names the file, the place and what is wrong in plain words ("<file>, line 7:
// <problem>", "<file>, offset 96: <problem>" or "<file>: <problem>"), of kind BadContent for
// what the image holds and the file kinds (Missing, Folder, ...) for a file that cannot be
// read. A refused image never reaches a device.
//
// Both readers work on the file's bytes as they are (no text-mode conversion) and handle the
// line ends themselves, so an image reads the same on every system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"

namespace vorna {

// The most bytes one record or block may take on the wire: the link reads back every byte it
// writes, and a longer read-back would not fit its buffer.
inline constexpr std::size_t kMaxWireBytes = 250;

// The most bytes a program card image may decode to.
inline constexpr std::size_t kMaxCardImageBytes = 65536;

// One ESC record exactly as it goes to the ESC: 0x3A, then the line's digit pairs.
struct EscRecord {
    std::size_t line = 0;  // 1-based line of the image it came from
    std::vector<std::uint8_t> bytes;
};

struct EscImage {
    std::vector<EscRecord> records;  // in file order; empty lines give none
    std::size_t total = 0;           // sum of the record sizes

    // The first record that does not look like a sound Intel HEX record (wrong byte count, bad
    // checksum, no ':' first, a stray last character). It is still sent exactly as the file
    // holds it; the user decides whether to flash anyway.
    std::optional<std::size_t> firstSuspectLine;
    std::string suspectProblem;
};

// The doubt about an image's first suspect record as the user reads it, in the words of a
// refusal: "<file>, line 7: <problem>". Only when image.firstSuspectLine.
std::string SuspectText(const EscImage& image, const std::filesystem::path& file);

// A line of L characters becomes a record of (L + 1) / 2 bytes: 0x3A, then the pairs at
// characters 1-2, 3-4, ...; a lone last character is not read. Lines end at LF or CR LF.
// Refused: a character other than 0-9 and A-F in a digit position that is read (a CR inside a
// line is named as a CR-only line end), a non-empty line shorter than three characters, a record
// over kMaxWireBytes, an image without a data record, one without an end-of-file record, and a
// record after the end-of-file record.
Result<EscImage> ParseEscImage(std::string_view text, std::string_view fileName = {});
Result<EscImage> ReadEscImage(const std::filesystem::path& file);

struct CardBlock {
    std::size_t offset = 0;  // where the block starts in CardImage::bytes
    std::size_t size = 0;    // N: the two length bytes and the body
};

struct CardImage {
    std::vector<std::uint8_t> bytes;  // the decoded image, sent block by block
    std::vector<CardBlock> blocks;    // laid end to end, covering bytes exactly
};

// Digit pairs, high nibble first; a last single character is not read. CR and LF at the very
// end of the file are ignored; any other character that is not 0-9 or A-F is refused with its
// offset, since a line end or stray character inside the text would shift every pair after it.
// Also refused: more than kMaxCardImageBytes, a block over kMaxWireBytes, and a block chain
// that does not end exactly at the image's end, and an image without blocks.
Result<CardImage> ParseCardImage(std::string_view text, std::string_view fileName = {});
Result<CardImage> ReadCardImage(const std::filesystem::path& file);

// The progress figure in percent: sent * 100 / total + 1, so the first record or block shows
// 1 %. It is computed before each send, when sent < total, and so stays within 1 to 100; it is
// held at 100 for sent >= total, and an image total of 0 gives 100 rather than a division by
// zero.
int ProgressPercent(std::size_t sent, std::size_t total);

// Valid images made from made-up bytes, for tests and sample data.
//
// Intel HEX data records of at most bytesPerRecord bytes each (1 to 244, so that a record fits
// on the wire) from address 0, then the end-of-file record; lines end with lineEnd. Refused
// (TooLarge) for a payload over 64 KiB and (BadContent) for a bytesPerRecord out of range.
Result<std::string> MakeEscImage(const std::vector<std::uint8_t>& payload,
                                 std::size_t bytesPerRecord = 16, std::string_view lineEnd = "\n");

// One block per body, each prefixed with its length (high byte first), as upper-case digit
// pairs without separators. Refused (TooLarge) for a body over 248 bytes or an image over
// kMaxCardImageBytes.
Result<std::string> MakeCardImage(const std::vector<std::vector<std::uint8_t>>& bodies);

}  // namespace vorna
