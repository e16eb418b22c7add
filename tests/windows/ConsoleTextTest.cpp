// What vornactl.exe prints for a Windows user: text for a console goes out in UTF-16 through the
// console's own call, text for a pipe or a file as UTF-8; and a command it advises is quoted
// for cmd.exe.
#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>

#include "cli/ConsoleOutput.h"
#include "cli/OutcomeWords.h"

namespace vorna {
namespace {

TEST(ConsoleText, APipeOrAFileGetsUtf8NotConsoleText) {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    ASSERT_TRUE(::CreatePipe(&read, &write, nullptr, 0));
    EXPECT_FALSE(cli::WritesWide(write));
    ::CloseHandle(read);
    ::CloseHandle(write);
    wchar_t folder[MAX_PATH];
    ASSERT_GT(::GetTempPathW(MAX_PATH, folder), 0u);
    const std::wstring name = std::wstring(folder) + L"vorna-console-test.txt";
    const HANDLE file = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(cli::WritesWide(file));
    ::CloseHandle(file);

    // A console is told by the console's own answer; Wine without a display has no console
    // that answers, so that side is looked at in a console window instead (README).
}

TEST(ConsoleText, ACharacterCutBetweenTwoWritesArrivesWhole) {
    std::wstring shown;
    cli::WideConsoleBuffer buffer([&](std::wstring_view text) { shown += text; });
    std::ostream out(&buffer);
    const std::string text = "Mes r\xc3\xa9glages\\\xe2\x82\xac \xf0\x9f\x8f\x81.cfg\n";
    for (const char c : text) out << c;  // byte by byte: every character cut at least once
    EXPECT_EQ(shown, L"Mes r\u00e9glages\\\u20ac \U0001F3C1.cfg\n");
}

// Into a file or a pipe, every line ends in CR LF, as Windows' own programs write them: a CR LF
// the program wrote stays one, even cut between two writes.
TEST(ConsoleText, AFileOrAPipeGetsCrLf) {
    std::stringbuf bytes;
    cli::CrLfBuffer buffer(&bytes);
    std::ostream out(&buffer);
    out << "Model type: 16\n[option]\r";
    out << "\nDrag Brake=5%\n" << std::flush;
    EXPECT_EQ(bytes.str(), "Model type: 16\r\n[option]\r\nDrag Brake=5%\r\n");
}

TEST(ConsoleText, AdviceIsQuotedForCmd) {
    EXPECT_EQ(cli::NextStepWords(NextStep::RepairEsc,
                                 "C:\\Program Files\\VORNA USB Link\\Firmware\\Expert V1.70.mmc"),
              "Repair it in Fix Mode: vornactl flash-esc \"C:\\Program Files\\VORNA USB "
              "Link\\Firmware\\Expert V1.70.mmc\" --fix");
}

}  // namespace
}  // namespace vorna
