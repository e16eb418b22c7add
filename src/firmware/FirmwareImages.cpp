#include "firmware/FirmwareImages.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "base/Files.h"
#include "base/Utf8Path.h"

namespace vorna {
namespace {

// No firmware image comes near this; a larger file is the wrong file, not one to load whole.
constexpr std::size_t kMaxImageFileBytes = 4 * 1024 * 1024;

// The smallest Intel HEX record: ':', byte count, two address bytes, type, checksum.
constexpr std::size_t kHexRecordOverhead = 6;
// Where a record (0x3A first) names its type, and the two types an image must have.
constexpr std::size_t kRecordTypeByte = 4;
constexpr std::uint8_t kDataRecord = 0x00;
constexpr std::uint8_t kEndOfFileRecord = 0x01;

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string Hex2(unsigned value) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02X", value & 0xFFu);
    return buffer;
}

// A character as the user can find it in an editor.
std::string Describe(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\r') return "a carriage return";
    if (c == '\n') return "a line feed";
    if (byte >= 0x20 && byte < 0x7F) return std::string("'") + c + "'";
    return "the byte 0x" + Hex2(byte);
}

std::string NotADigit(char c) {
    std::string text = Describe(c) + " is not a hex digit (0-9, A-F)";
    if (c >= 'a' && c <= 'f') text += "; digits must be upper case";
    return text;
}

// "<file>, <place>: <problem>", leaving out what is empty: how every refusal and doubt names
// where it lies.
std::string PlaceText(std::string_view file, const std::string& place, std::string_view problem) {
    std::string text(file);
    if (!place.empty()) text += (text.empty() ? "" : ", ") + place;
    return text + (text.empty() ? "" : ": ") + std::string(problem);
}

Problem AtLine(std::string_view file, std::size_t line, std::string_view problem) {
    return {ProblemKind::BadContent, PlaceText(file, "line " + std::to_string(line), problem)};
}

Problem AtOffset(std::string_view file, std::size_t offset, std::string_view problem) {
    return {ProblemKind::BadContent, PlaceText(file, "offset " + std::to_string(offset), problem)};
}

Problem Whole(std::string_view file, std::string_view problem) {
    return {ProblemKind::BadContent, PlaceText(file, {}, problem)};
}

// Reads the whole file as bytes, or says why it cannot: a folder, FIFO or device is refused
// before it is opened (opening a FIFO would wait for a writer), and no more than the limit and
// one byte is read (ReadSmallFile).
Result<std::string> ReadWholeFile(const std::filesystem::path& path) {
    Result<std::string> file = ReadSmallFileBare(path, kMaxImageFileBytes);
    if (file) return std::move(file).Value();
    std::string problem;
    switch (file.Kind()) {
        case ProblemKind::Folder:
            problem = "is a folder, not a firmware image";
            break;
        case ProblemKind::NotRegular:
            problem = "is not a regular file but " + file.Detail() +
                      ", so it is not read as a firmware image";
            break;
        case ProblemKind::TooLarge:
            problem = "is larger than " + std::to_string(kMaxImageFileBytes) +
                      " bytes, far too large for a firmware image";
            break;
        default:  // missing, or unreadable
            problem = "cannot be opened (" + file.Detail() + ")";
            break;
    }
    return Problem{file.Kind(), PlaceText(Utf8FromPath(path), {}, problem)};
}

// What looks wrong with a record taken as Intel HEX, or nothing.
std::optional<std::string> HexRecordDoubt(std::string_view line,
                                          const std::vector<std::uint8_t>& record) {
    if (line.front() != ':') {
        return "the line starts with " + Describe(line.front()) +
               " instead of ':' (a ':' is sent in its place)";
    }
    if (line.size() % 2 == 0) {
        return "the last character, " + Describe(line.back()) + ", stands alone and is not sent";
    }
    if (record.size() < kHexRecordOverhead) {
        return "the record is " + std::to_string(record.size()) +
               " bytes, too short for a record (at least 6)";
    }
    const std::size_t dataBytes = record.size() - kHexRecordOverhead;
    if (std::size_t{record[1]} != dataBytes) {
        return "the record says it holds " + std::to_string(record[1]) + " data bytes but holds " +
               std::to_string(dataBytes);
    }
    unsigned sum = 0;
    for (std::size_t i = 1; i + 1 < record.size(); ++i) sum += record[i];
    const unsigned wanted = (0x100u - (sum & 0xFFu)) & 0xFFu;
    if (record.back() != wanted) {
        return "the record's checksum is 0x" + Hex2(record.back()) + " but its bytes need 0x" +
               Hex2(wanted);
    }
    return std::nullopt;
}

}  // namespace

std::string SuspectText(const EscImage& image, const std::filesystem::path& file) {
    return PlaceText(Utf8FromPath(file),
                     "line " + std::to_string(image.firstSuspectLine.value_or(0)),
                     image.suspectProblem);
}

Result<EscImage> ParseEscImage(std::string_view text, std::string_view fileName) {
    EscImage image;
    std::size_t endOfFileLine = 0;
    bool hasData = false;
    std::size_t lineNumber = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        ++lineNumber;
        const std::size_t lineEnd = text.find('\n', pos);
        std::string_view line = text.substr(
            pos, lineEnd == std::string_view::npos ? std::string_view::npos : lineEnd - pos);
        pos = lineEnd == std::string_view::npos ? text.size() : lineEnd + 1;
        if (lineEnd != std::string_view::npos && !line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        // An empty line would go out as an empty record, whose reply never comes.
        if (line.empty()) continue;
        if (const std::size_t cr = line.find('\r'); cr != std::string_view::npos) {
            return AtLine(fileName, lineNumber,
                          "character " + std::to_string(cr + 1) +
                              " is a carriage return inside the line: the file's lines end with "
                              "CR alone (as some old editors save them), where an image's lines "
                              "end with LF or CR LF");
        }
        if (line.size() < 3) {
            return AtLine(fileName, lineNumber,
                          "the line has only " + std::to_string(line.size()) +
                              " character(s); a record needs a start character and digit pairs");
        }
        const std::size_t size = (line.size() + 1) / 2;
        if (size > kMaxWireBytes) {
            return AtLine(fileName, lineNumber,
                          "the line makes a record of " + std::to_string(size) +
                              " bytes; at most " + std::to_string(kMaxWireBytes) + " fit the link");
        }
        EscRecord record{lineNumber, {}};
        record.bytes.reserve(size);
        record.bytes.push_back(0x3A);
        // Every pair whose first digit stands before the last character; a lone last one is
        // not read.
        for (std::size_t i = 1; i + 1 < line.size(); i += 2) {
            const int high = DigitValue(line[i]);
            const int low = DigitValue(line[i + 1]);
            if (high < 0 || low < 0) {
                const std::size_t bad = high < 0 ? i : i + 1;
                return AtLine(fileName, lineNumber,
                              "character " + std::to_string(bad + 1) + ": " + NotADigit(line[bad]));
            }
            record.bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
        }
        if (!image.firstSuspectLine) {
            if (auto doubt = HexRecordDoubt(line, record.bytes)) {
                image.firstSuspectLine = lineNumber;
                image.suspectProblem = std::move(*doubt);
            }
        }
        if (endOfFileLine) {
            return AtLine(fileName, lineNumber,
                          "a record after the end-of-file record of line " +
                              std::to_string(endOfFileLine) +
                              "; the image must end with its end-of-file record");
        }
        if (record.bytes.size() > kRecordTypeByte) {
            const std::uint8_t type = record.bytes[kRecordTypeByte];
            if (type == kEndOfFileRecord) endOfFileLine = lineNumber;
            if (type == kDataRecord && record.bytes.size() > kHexRecordOverhead) hasData = true;
        }
        image.total += record.bytes.size();
        image.records.push_back(std::move(record));
    }
    // The ESC starts its new firmware at the end-of-file record: an image cut short (or one
    // that never had one) would leave it in its boot loader, reported as updated. Refused
    // rather than flashed, whatever --force says.
    if (image.records.empty()) return Whole(fileName, "holds no records: it is empty");
    if (!hasData) {
        return Whole(fileName, "holds no data records, so there is no firmware in it to flash");
    }
    if (!endOfFileLine) {
        return Whole(fileName,
                     "has no end-of-file record (:00000001FF): the image is cut short or is no "
                     "whole firmware image");
    }
    return image;
}

Result<EscImage> ReadEscImage(const std::filesystem::path& file) {
    const Result<std::string> data = ReadWholeFile(file);
    if (!data) return data.Error();
    return ParseEscImage(data.Value(), Utf8FromPath(file));
}

Result<CardImage> ParseCardImage(std::string_view text, std::string_view fileName) {
    std::size_t end = text.size();
    while (end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n')) --end;
    text = text.substr(0, end);

    if (text.size() / 2 > kMaxCardImageBytes) {
        return AtOffset(fileName, 2 * kMaxCardImageBytes,
                        "the image goes on past " + std::to_string(kMaxCardImageBytes) +
                            " bytes, more than the card takes");
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (DigitValue(text[i]) >= 0) continue;
        if (text[i] == '\r' || text[i] == '\n') {
            return AtOffset(fileName, i,
                            "a line end inside the image; the digits after it would pair up "
                            "wrongly");
        }
        return AtOffset(fileName, i, NotADigit(text[i]));
    }

    CardImage image;
    image.bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        image.bytes.push_back(
            static_cast<std::uint8_t>(DigitValue(text[i]) << 4 | DigitValue(text[i + 1])));
    }

    const std::size_t size = image.bytes.size();
    std::size_t at = 0;
    while (at < size) {
        // Offsets name characters of the file: two per decoded byte.
        if (size - at < 2) {
            return AtOffset(fileName, 2 * at,
                            "the image ends inside the two length bytes of a block");
        }
        const std::size_t length = std::size_t{image.bytes[at]} << 8 | image.bytes[at + 1];
        const std::size_t blockSize = length + 2;
        if (blockSize > kMaxWireBytes) {
            return AtOffset(fileName, 2 * at,
                            "a block of " + std::to_string(blockSize) + " bytes; at most " +
                                std::to_string(kMaxWireBytes) + " fit the link");
        }
        if (blockSize > size - at) {
            return AtOffset(fileName, 2 * at,
                            "a block of " + std::to_string(blockSize) + " bytes runs " +
                                std::to_string(blockSize - (size - at)) +
                                " byte(s) past the end of the image");
        }
        image.blocks.push_back({at, blockSize});
        at += blockSize;
    }
    if (image.blocks.empty()) {
        return Whole(fileName, "holds no blocks: there is no firmware in it to flash");
    }
    return image;
}

Result<CardImage> ReadCardImage(const std::filesystem::path& file) {
    const Result<std::string> data = ReadWholeFile(file);
    if (!data) return data.Error();
    return ParseCardImage(data.Value(), Utf8FromPath(file));
}

int ProgressPercent(std::size_t sent, std::size_t total) {
    if (sent >= total) return 100;
    return static_cast<int>(sent * 100 / total + 1);
}

Result<std::string> MakeEscImage(const std::vector<std::uint8_t>& payload,
                                 std::size_t bytesPerRecord, std::string_view lineEnd) {
    if (bytesPerRecord < 1 || bytesPerRecord > kMaxWireBytes - kHexRecordOverhead) {
        return Problem{ProblemKind::BadContent, "MakeEscImage: bytesPerRecord must be 1 to 244"};
    }
    if (payload.size() > 0x10000) {
        return Problem{ProblemKind::TooLarge, "MakeEscImage: payload over 64 KiB"};
    }
    std::string text;
    for (std::size_t at = 0; at < payload.size(); at += bytesPerRecord) {
        const std::size_t count = std::min(bytesPerRecord, payload.size() - at);
        std::vector<unsigned> fields{static_cast<unsigned>(count), static_cast<unsigned>(at >> 8),
                                     static_cast<unsigned>(at), 0x00};
        for (std::size_t i = 0; i < count; ++i) fields.push_back(payload[at + i]);
        unsigned sum = 0;
        text += ':';
        for (unsigned field : fields) {
            sum += field;
            text += Hex2(field);
        }
        text += Hex2(0x100u - (sum & 0xFFu));
        text += lineEnd;
    }
    text += ":00000001FF";
    text += lineEnd;
    return text;
}

Result<std::string> MakeCardImage(const std::vector<std::vector<std::uint8_t>>& bodies) {
    std::string text;
    std::size_t size = 0;
    for (const auto& body : bodies) {
        if (body.size() + 2 > kMaxWireBytes) {
            return Problem{ProblemKind::TooLarge, "MakeCardImage: block body over 248 bytes"};
        }
        size += body.size() + 2;
        if (size > kMaxCardImageBytes) {
            return Problem{ProblemKind::TooLarge, "MakeCardImage: image over 65536 bytes"};
        }
        text += Hex2(static_cast<unsigned>(body.size() >> 8));
        text += Hex2(static_cast<unsigned>(body.size()));
        for (std::uint8_t byte : body) text += Hex2(byte);
    }
    return text;
}

}  // namespace vorna
