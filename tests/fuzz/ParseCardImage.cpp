// The program card image reader on any bytes. Beyond not crashing: an accepted image is the
// file's digit pairs (line ends only at the very end), at most kMaxCardImageBytes, and its
// blocks lie end to end over all of it, each with its own length in front and small enough for
// the link. Blocks made by MakeCardImage from the input are always accepted and come back.
#include <algorithm>
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

bool UpperHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

void CheckRead(std::string_view text) {
    const auto result = ParseCardImage(text, "fuzz.xup");
    std::string_view content = text;
    while (!content.empty() && (content.back() == '\r' || content.back() == '\n')) {
        content.remove_suffix(1);
    }
    if (!result.Ok()) {
        // Only an image without blocks names no offset.
        const auto offset = fuzz::RefusalPlace(result.Detail(), "fuzz.xup", "offset");
        Require(!offset || *offset <= content.size(),
                "a refusal names an offset in the file, or none");
        Require(offset || content.size() < 2, "only an image without bytes names no offset");
        return;
    }
    const CardImage& image = result.Value();
    const std::vector<std::uint8_t>& bytes = image.bytes;
    Require(bytes.size() <= kMaxCardImageBytes, "an image fits the card");
    Require(bytes.size() == content.size() / 2, "a byte for each digit pair");
    for (char c : content) Require(UpperHexDigit(c), "only hex digits before the last line end");
    Require(content.substr(0, 2 * bytes.size()) == fuzz::UpperHex(bytes.data(), bytes.size()),
            "the bytes are the file's digit pairs");
    std::size_t at = 0;
    for (const CardBlock& block : image.blocks) {
        Require(block.offset == at, "blocks lie end to end");
        Require(block.size >= 2 && block.size <= kMaxWireBytes && block.size <= bytes.size() - at,
                "a block fits the link and the image");
        Require((bytes[at] << 8 | bytes[at + 1]) + 2 == static_cast<int>(block.size),
                "a block is as long as its length bytes say");
        at += block.size;
    }
    Require(at == bytes.size(), "the blocks cover the image");
    Require(!image.blocks.empty(), "an accepted image has a block");
}

void CheckMade(const std::uint8_t* data, std::size_t size) {
    // Each body: a length byte (up to 248 counts) and that many bytes of the input.
    std::vector<std::vector<std::uint8_t>> bodies;
    std::size_t imageBytes = 0;
    for (std::size_t at = 0; at < size;) {
        const std::size_t length = std::min<std::size_t>(data[at] % 249, size - at - 1);
        if (imageBytes + length + 2 > kMaxCardImageBytes) break;
        bodies.emplace_back(data + at + 1, data + at + 1 + length);
        imageBytes += length + 2;
        at += length + 1;
    }
    if (bodies.empty()) return;  // an image needs a block
    const auto result = ParseCardImage(MakeCardImage(bodies).Value());
    Require(result.Ok(), "a made image is accepted");
    const CardImage& image = result.Value();
    Require(image.blocks.size() == bodies.size(), "a block for each body");
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        const CardBlock& block = image.blocks[i];
        const auto body = image.bytes.begin() + static_cast<std::ptrdiff_t>(block.offset + 2);
        Require(std::vector<std::uint8_t>(
                    body, body + static_cast<std::ptrdiff_t>(block.size - 2)) == bodies[i],
                "a block gives its body back");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckRead(std::string_view(reinterpret_cast<const char*>(data), size));
    CheckMade(data, size);
    return 0;
}
