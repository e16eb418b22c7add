// config.ini: the text size conversion and the product links, read through the project's INI
// reader from a temporary program folder.
#include "gui/AppConfig.h"

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <string>

#include "support/TestSupport.h"

namespace vorna::gui {
namespace {

void WriteConfig(const test::TempDir& dir, const std::string& text) {
    std::ofstream(dir / "config.ini", std::ios::binary) << text;
}

TEST(AppConfigTest, TextToInt) {
    const std::pair<const char*, int> cases[] = {
        {"abc", 0},
        {" -12x", -12},
        {"  150", 150},
        {"\t+7", 7},
        {"", 0},
        {"-", 0},
        {"- 5", 0},
        {"1 2", 1},
        {"-2147483648", INT_MIN},
        {"99999999999999999", INT_MAX},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(TextToInt(text), expected) << '"' << text << '"';
    }
}

TEST(AppConfigTest, TextSizeFromConfig) {
    test::TempDir dir;
    EXPECT_EQ(ReadTextSize(dir.Path()), 90) << "no config.ini";

    WriteConfig(dir, "[TEXT INFO]\nother=5\n");
    EXPECT_EQ(ReadTextSize(dir.Path()), 90) << "no size key";

    WriteConfig(dir, "[TEXT INFO]\nsize=abc\n");
    EXPECT_EQ(ReadTextSize(dir.Path()), 0);

    // Quotes keep the blank in front, which the INI reader would otherwise trim.
    WriteConfig(dir, "[TEXT INFO]\nsize=\" -12x\"\n");
    EXPECT_EQ(ReadTextSize(dir.Path()), -12);

    WriteConfig(dir, "[text info]\nSIZE=  150\r\n");
    EXPECT_EQ(ReadTextSize(dir.Path()), 150) << "names are case-insensitive";

    // The value is read into 20 characters: the 20th digit never arrives.
    WriteConfig(dir, "[TEXT INFO]\nsize=" + std::string(18, '0') + "12\n");
    EXPECT_EQ(ReadTextSize(dir.Path()), 1);
}

TEST(AppConfigTest, ProductLinks) {
    test::TempDir dir;
    const ProductLinks defaults = {
        "http://www.kelvaran-racing.example/product/VORNA-ZEN/",
        "http://www.kelvaran-racing.example/product/VORNA-CLASS/",
        "http://www.kelvaran-racing.example/product/VORNA-ALTA/",
        "http://www.kelvaran-racing.example/product/VORNA-JVX/",
        "www.kelvaran-racing.example",
    };
    EXPECT_EQ(ReadProductLinks(dir.Path()), defaults) << "no config.ini";

    // Names in any case; a key that is absent keeps its default.
    WriteConfig(dir, "[product link]\nvorna-zen = https://zen.test/\nmain=home.test\n");
    ProductLinks expected = defaults;
    expected[Index(ProductLink::Zen)] = "https://zen.test/";
    expected[Index(ProductLink::Main)] = "home.test";
    EXPECT_EQ(ReadProductLinks(dir.Path()), expected);
}

// A file that is there but gives nothing, or gives less than it says, is named with the defaults
// used in its place; a missing or merely partial one is no problem.
TEST(AppConfigTest, ADamagedConfigIsNamedWithTheDefaultsThatStandIn) {
    test::TempDir dir;
    EXPECT_EQ(ConfigFileProblem(dir.Path()), "") << "no config.ini";
    WriteConfig(dir, "[PRODUCT LINK]\nMAIN=x\n");
    EXPECT_EQ(ConfigFileProblem(dir.Path()), "");

    const std::string defaults =
        ". The default text size (90) and the built-in web links are used.";
    WriteConfig(dir, "\r\n");
    EXPECT_EQ(ConfigFileProblem(dir.Path()), "config.ini is empty" + defaults);
    WriteConfig(dir, std::string("\x89PNG\x1a\n\x00\x01=\xff\n", 11));
    EXPECT_EQ(ConfigFileProblem(dir.Path()),
              "config.ini was not read: it has neither a [TEXT INFO] nor a [PRODUCT LINK] section" +
                  defaults);
    WriteConfig(dir, "[TEXT INFO]\nsize 120\n[PRODUCT LINK]\nMAIN=x\nVORNA-ZEN=z\nVORNA-JVX=j\n");
    EXPECT_EQ(ConfigFileProblem(dir.Path()),
              "Line 2 of config.ini was not read: it has no \"=\". The default text size (90) is "
              "used. The built-in web links are used for VORNA-CLASS, VORNA-ALTA.");
    WriteConfig(dir, std::string(5 * 1024 * 1024, '\n'));
    EXPECT_EQ(ConfigFileProblem(dir.Path()),
              "config.ini was not read: it is larger than 1 MiB (1048576 bytes)" + defaults);
    std::filesystem::remove(dir / "config.ini");
    std::filesystem::create_directory(dir / "config.ini");
    EXPECT_EQ(ConfigFileProblem(dir.Path()), "config.ini was not read: it is a folder" + defaults);
}

}  // namespace
}  // namespace vorna::gui
