// The ESC and program card image readers: what they send, and what they refuse.
#include "firmware/FirmwareImages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "support/TestSupport.h"

using namespace vorna;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes MadeUpBytes(std::size_t count, std::uint8_t seed) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 37);
    return bytes;
}

// A refusal's words taken apart: "t.mmc, line 3: <problem>" gives "line 3" and the problem.
struct Refusal {
    std::string text;
    std::string place;  // "line 3", "offset 6", or empty for the image as a whole
    std::string problem;
};

Refusal Refused(const Result<std::string>& detail, std::string_view file) {
    if (!detail.Ok()) return {};
    const std::string& text = detail.Value();
    Refusal refusal{text, {}, {}};
    EXPECT_EQ(text.rfind(file, 0), 0u) << text;
    const std::size_t colon = text.find(": ");
    if (colon == std::string::npos) return refusal;
    if (text.compare(file.size(), 2, ", ") == 0) {
        refusal.place = text.substr(file.size() + 2, colon - file.size() - 2);
    }
    refusal.problem = text.substr(colon + 2);
    return refusal;
}

template <typename Image>
Result<std::string> DetailOf(const Result<Image>& result) {
    EXPECT_FALSE(result.Ok());
    if (result.Ok()) return Problem{};
    EXPECT_EQ(result.Kind(), ProblemKind::BadContent) << result.Detail();
    return result.Detail();
}

Refusal EscRefusal(const std::string& text) {
    return Refused(DetailOf(ParseEscImage(text, "t.mmc")), "t.mmc");
}

Refusal CardRefusal(const std::string& text) {
    return Refused(DetailOf(ParseCardImage(text, "t.xup")), "t.xup");
}

}  // namespace

TEST(EscImage, RecordsFromLinesOfOddAndEvenLengthWithEitherLineEnd) {
    // Line 3 has 18 characters: its lone last character is not read, whatever it is.
    const auto result = ParseEscImage(
        ":0123456789ABCDEF\r\n\n:0123456789ABCDEFx\n\r\n:A5B\n:01000000AA55\n:00000001FF");
    ASSERT_TRUE(result.Ok()) << result.Detail();
    const EscImage& image = result.Value();
    const Bytes nine{0x3A, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    ASSERT_EQ(image.records.size(), 5u);
    EXPECT_EQ(image.records[0].bytes, nine);
    EXPECT_EQ(image.records[0].line, 1u);
    EXPECT_EQ(image.records[1].bytes, nine);
    EXPECT_EQ(image.records[1].line, 3u);
    EXPECT_EQ(image.records[2].bytes, (Bytes{0x3A, 0xA5}));
    EXPECT_EQ(image.records[2].line, 5u);
    EXPECT_EQ(image.total, 33u);
}

TEST(EscImage, RefusesWhatCannotBeSentFaithfully) {
    const std::string good = ":01000000AA55\n";
    const std::string end = ":00000001FF\n";
    auto refusal = EscRefusal(good + good + ":0000000aFF\n");
    EXPECT_EQ(refusal.place, "line 3");
    EXPECT_NE(refusal.problem.find("upper case"), std::string::npos) << refusal.problem;
    EXPECT_EQ(refusal.text.rfind("t.mmc, line 3: ", 0), 0u) << refusal.text;

    EXPECT_EQ(EscRefusal(good + ":0000 0001FF\n").place, "line 2");
    EXPECT_EQ(EscRefusal(good + ":0\r\n" + good).place, "line 2");
    EXPECT_EQ(EscRefusal(good + good + "\r\r\n").place, "line 3");

    // 499 and 500 characters make 250 bytes, the most the link takes; 501 make 251.
    const std::string digits(600, '0');
    EXPECT_TRUE(
        ParseEscImage(":" + digits.substr(0, 498) + "\n:" + digits.substr(0, 499) + "\n" + end)
            .Ok());
    refusal = EscRefusal(good + ":" + digits.substr(0, 500) + "\n");
    EXPECT_EQ(refusal.place, "line 2");
    EXPECT_NE(refusal.problem.find("251"), std::string::npos) << refusal.problem;

    // Whole images only: data and the end-of-file record last (a cut image would leave the ESC
    // in its boot loader); lines ending in CR alone are named as such.
    EXPECT_NE(EscRefusal("\n\r\n").problem.find("no records"), std::string::npos);
    EXPECT_NE(EscRefusal(end).problem.find("no data records"), std::string::npos);
    EXPECT_NE(EscRefusal(good + good).problem.find("no end-of-file record"), std::string::npos);
    refusal = EscRefusal(good + end + good);
    EXPECT_EQ(refusal.place, "line 3");
    EXPECT_NE(refusal.problem.find("after the end-of-file record of line 2"), std::string::npos);
    refusal = EscRefusal(":01000000AA55\r:00000001FF\r");
    EXPECT_EQ(refusal.place, "line 1");
    EXPECT_NE(refusal.problem.find("CR alone"), std::string::npos) << refusal.problem;
}

TEST(EscImage, DoubtfulRecordsAreSentAsTheyAreButTheFirstIsReported) {
    // Three data records of 16 bytes, 44 characters a line with its line end.
    std::string text = MakeEscImage(MadeUpBytes(48, 7)).Value();
    const std::size_t checksumAt = 2 * 44 + 41;
    const auto wrong =
        static_cast<std::uint8_t>(std::stoi(text.substr(checksumAt, 2), nullptr, 16) + 1);
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", wrong);
    text.replace(checksumAt, 2, hex);
    const auto checksum = ParseEscImage(text);
    ASSERT_TRUE(checksum.Ok()) << checksum.Detail();
    EXPECT_EQ(checksum.Value().firstSuspectLine, 3u);
    EXPECT_NE(checksum.Value().suspectProblem.find("checksum"), std::string::npos);
    EXPECT_EQ(checksum.Value().records[2].bytes.back(), wrong);

    text.replace(1, 2, "0F");  // line 1 now says 15 data bytes but holds 16
    const auto count = ParseEscImage(text);
    ASSERT_TRUE(count.Ok());
    EXPECT_EQ(count.Value().firstSuspectLine, 1u);
    EXPECT_NE(count.Value().suspectProblem.find("15"), std::string::npos);
    EXPECT_EQ(count.Value().records[0].bytes[1], 0x0F);

    EXPECT_EQ(ParseEscImage(";01000000AA55\n:00000001FF").Value().firstSuspectLine, 1u);
    EXPECT_EQ(ParseEscImage(":01000000AA55\n:00000001FF0").Value().firstSuspectLine, 2u);
}

TEST(EscImage, GeneratedImageRoundTrips) {
    const Bytes payload = MadeUpBytes(300, 0xC3);
    const auto result = ParseEscImage(MakeEscImage(payload, 32, "\r\n").Value());
    ASSERT_TRUE(result.Ok()) << result.Detail();
    const EscImage& image = result.Value();
    EXPECT_FALSE(image.firstSuspectLine.has_value()) << image.suspectProblem;
    ASSERT_EQ(image.records.size(), 11u);  // ten data records and the end-of-file record
    Bytes data;
    std::size_t total = 0;
    for (const EscRecord& record : image.records) {
        data.insert(data.end(), record.bytes.begin() + 5, record.bytes.end() - 1);
        total += record.bytes.size();
    }
    EXPECT_EQ(data, payload);
    EXPECT_EQ(image.total, total);
    EXPECT_EQ(image.records.back().bytes, (Bytes{0x3A, 0x00, 0x00, 0x00, 0x01, 0xFF}));

    // What the link could not carry is refused rather than made.
    EXPECT_FALSE(MakeEscImage(payload, 245).Ok());
    EXPECT_FALSE(MakeCardImage({MadeUpBytes(249, 1)}).Ok());
}

TEST(FirmwareProgress, StartsAtOnePercentAndNeverDividesByZero) {
    EXPECT_EQ(ProgressPercent(0, 250), 1);
    EXPECT_EQ(ProgressPercent(125, 250), 51);
    EXPECT_EQ(ProgressPercent(249, 250), 100);
    EXPECT_EQ(ProgressPercent(250, 250), 100);
    EXPECT_EQ(ProgressPercent(0, 0), 100);
}

TEST(CardImage, DecodesBlocksAndIgnoresLineEndsAtTheEnd) {
    const Bytes body = MadeUpBytes(248, 0x5A);
    // A last single character is not read.
    const auto result = ParseCardImage(MakeCardImage({{0xDE, 0xAD}, {}, body}).Value() + "7\r\n\n");
    ASSERT_TRUE(result.Ok()) << result.Detail();
    const CardImage& image = result.Value();
    ASSERT_EQ(image.bytes.size(), 256u);
    EXPECT_EQ(Bytes(image.bytes.begin(), image.bytes.begin() + 6),
              (Bytes{0x00, 0x02, 0xDE, 0xAD, 0x00, 0x00}));
    EXPECT_EQ(Bytes(image.bytes.begin() + 8, image.bytes.end()), body);
    ASSERT_EQ(image.blocks.size(), 3u);
    EXPECT_EQ(image.blocks[1].offset, 4u);
    EXPECT_EQ(image.blocks[1].size, 2u);
    EXPECT_EQ(image.blocks[2].offset, 6u);
    EXPECT_EQ(image.blocks[2].size, 250u);
}

TEST(CardImage, RefusesCharactersThatWouldShiftOrCorruptTheBody) {
    std::string text = MakeCardImage({{1, 2, 3}, {4}}).Value();
    auto refusal = CardRefusal(text.substr(0, 6) + "\r\n" + text.substr(6));
    EXPECT_EQ(refusal.place, "offset 6");
    EXPECT_EQ(refusal.text.rfind("t.xup, offset 6: ", 0), 0u) << refusal.text;
    EXPECT_EQ(CardRefusal(text.substr(0, 9) + "c" + text.substr(10)).place, "offset 9");
    EXPECT_EQ(CardRefusal(text + "G").place, "offset " + std::to_string(text.size()));
    // Line ends alone at the end are no image content, and an image without blocks is refused.
    EXPECT_NE(CardRefusal("\r\n").problem.find("no blocks"), std::string::npos);
}

TEST(CardImage, RefusesOverlongImagesAndBlocksThatDoNotFit) {
    // Two-byte blocks of length 0: 65,536 bytes are taken, 65,538 are not.
    std::string full;
    for (int i = 0; i < 32768; ++i) full += "0000";
    EXPECT_TRUE(ParseCardImage(full).Ok());
    EXPECT_EQ(CardRefusal(full + "0000").place, "offset 131072");

    const std::string block = MakeCardImage({MadeUpBytes(10, 1)}).Value();
    EXPECT_EQ(CardRefusal(block + block.substr(0, block.size() - 2)).place,
              "offset " + std::to_string(block.size()));
    EXPECT_EQ(CardRefusal(block + "00").place, "offset " + std::to_string(block.size()));

    std::string tooLong = MakeCardImage({MadeUpBytes(249 - 1, 2)}).Value();
    tooLong.replace(0, 4, "00F9");  // a length of 249 makes 251 bytes on the wire
    tooLong += "00";
    const auto refusal = CardRefusal(tooLong);
    EXPECT_EQ(refusal.place, "offset 0");
    EXPECT_NE(refusal.problem.find("251"), std::string::npos) << refusal.problem;
}

TEST(FirmwareImageFiles, ReadFromDiskAndNameTheFile) {
    test::TempDir dir;
    const auto missing = ReadEscImage(dir / "missing.mmc");
    ASSERT_FALSE(missing.Ok());
    EXPECT_EQ(missing.Kind(), ProblemKind::Missing);
    EXPECT_EQ(missing.Detail().rfind((dir / "missing.mmc").string() + ": cannot be opened", 0), 0u)
        << missing.Detail();
    EXPECT_FALSE(ReadCardImage(dir / "missing.xup").Ok());

    test::WriteText(dir / "esc.mmc",
                    MakeEscImage(MadeUpBytes(20, 3), 16, "\r\n").Value() + "\x01\r\n");
    const auto esc = ReadEscImage(dir / "esc.mmc");
    ASSERT_FALSE(esc.Ok());
    EXPECT_EQ(esc.Detail(), (dir / "esc.mmc").string() +
                                ", line 4: the line has only 1 character(s); a record "
                                "needs a start character and digit pairs");

    test::WriteText(dir / "card.xup", MakeCardImage({MadeUpBytes(30, 9)}).Value() + "\n");
    const auto card = ReadCardImage(dir / "card.xup");
    ASSERT_TRUE(card.Ok()) << card.Detail();
    EXPECT_EQ(card.Value().bytes.size(), 32u);
}
