// The ESC image reader on any bytes. Beyond not crashing: an accepted image is the file's lines
// byte for byte (every non-empty line one record, its digit pairs after the 0x3A), record sizes
// add up to the total and fit the link, and no doubtful record passes unreported. An image
// that MakeEscImage writes from the input is always accepted and gives its payload back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "firmware/FirmwareImages.h"

namespace {

using namespace vorna;
using fuzz::Require;

// The lines as the reader must split them: at LF, with a CR just before the LF dropped.
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(pos));
            break;
        }
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        pos = end + 1;
    }
    return lines;
}

// An Intel HEX record as the ESC's tools write them: ':', an odd number of characters, the
// byte count it holds and bytes that add up to 0 with their checksum.
bool SoundRecord(std::string_view line, const std::vector<std::uint8_t>& bytes) {
    if (line.front() != ':' || line.size() % 2 == 0 || bytes.size() < 6) return false;
    if (bytes[1] != bytes.size() - 6) return false;
    std::uint8_t sum = 0;
    for (std::size_t i = 1; i < bytes.size(); ++i) sum = static_cast<std::uint8_t>(sum + bytes[i]);
    return sum == 0;
}

void CheckRead(std::string_view text) {
    const auto result = ParseEscImage(text, "fuzz.mmc");
    const std::vector<std::string_view> lines = Lines(text);
    if (!result.Ok()) {
        // Only what the image as a whole lacks (data, its end-of-file record) names no line.
        const auto line = fuzz::RefusalPlace(result.Detail(), "fuzz.mmc", "line");
        Require(!line || (*line >= 1 && *line <= lines.size()),
                "a refusal names a line of the file, or none");
        return;
    }
    const EscImage& image = result.Value();
    std::size_t next = 0;
    std::size_t total = 0;
    bool suspectSeen = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (line.empty()) continue;
        Require(next < image.records.size() && image.records[next].line == i + 1,
                "every non-empty line is a record, in order");
        const std::vector<std::uint8_t>& bytes = image.records[next++].bytes;
        const std::size_t n = bytes.size();
        Require(n >= 2 && n <= kMaxWireBytes, "a record is 2 to kMaxWireBytes bytes");
        Require(bytes[0] == 0x3A, "a record starts with 0x3A");
        Require(line.size() == 2 * n - 1 || line.size() == 2 * n,
                "a record has a byte for each digit pair and the start character");
        Require(line.substr(1, 2 * (n - 1)) == fuzz::UpperHex(bytes.data() + 1, n - 1),
                "a record's bytes are its line's digit pairs");
        total += n;
        if (image.firstSuspectLine == i + 1) {
            Require(!SoundRecord(line, bytes), "the suspect line is doubtful");
            suspectSeen = true;
        } else if (!suspectSeen) {
            Require(SoundRecord(line, bytes), "a doubtful record before the suspect line");
        }
    }
    Require(next == image.records.size(), "no record without a line");
    Require(total == image.total, "the total is the sum of the record sizes");
    Require(suspectSeen == image.firstSuspectLine.has_value(), "the suspect line is a record's");
    Require(image.records.back().bytes.size() > 4 && image.records.back().bytes[4] == 0x01,
            "an accepted image ends with its end-of-file record");
    bool data = false;
    for (const EscRecord& r : image.records) data = data || (r.bytes.size() > 6 && r.bytes[4] == 0);
    Require(data, "an accepted image holds a data record");
}

void CheckMade(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return;  // an image needs a data byte
    const std::size_t perRecord = 1 + data[0] % 244;
    const std::string_view lineEnd = (data[1] & 1) != 0 ? "\r\n" : "\n";
    std::vector<std::uint8_t> payload(data + 2, data + size);
    if (payload.size() > 0x10000) payload.resize(0x10000);
    const auto result = ParseEscImage(MakeEscImage(payload, perRecord, lineEnd).Value());
    Require(result.Ok(), "a made image is accepted");
    const EscImage& image = result.Value();
    Require(!image.firstSuspectLine, "a made image has no doubtful record");
    const std::size_t dataRecords = (payload.size() + perRecord - 1) / perRecord;
    Require(image.records.size() == dataRecords + 1, "one record per slice and the end record");
    std::vector<std::uint8_t> back;
    for (std::size_t k = 0; k < dataRecords; ++k) {
        const std::vector<std::uint8_t>& bytes = image.records[k].bytes;
        Require((bytes[2] << 8 | bytes[3]) == static_cast<int>(k * perRecord % 0x10000),
                "a data record's address is where its slice starts");
        back.insert(back.end(), bytes.begin() + 5, bytes.end() - 1);
    }
    Require(back == payload, "the data records give the payload back");
    Require(
        image.records.back().bytes == std::vector<std::uint8_t>{0x3A, 0x00, 0x00, 0x00, 0x01, 0xFF},
        "the last record is the end record");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckRead(std::string_view(reinterpret_cast<const char*>(data), size));
    CheckMade(data, size);
    return 0;
}
