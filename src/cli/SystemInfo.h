// What vornactl asks of the system it runs on: its name and version for a report, who and
// where the user is (to leave out of that report), and the process's own arguments and
// standard streams. SystemInfoPosix.cpp and SystemInfoWin32.cpp, chosen by CMake.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "cli/TerminalText.h"

namespace vorna::cli {

// "Linux 6.1.0-18-amd64 x86_64, Debian GNU/Linux 12 (bookworm)", "Windows 10.0.19045 x86_64";
// "unknown" when the system does not say. As the system gives it: not yet escaped for showing.
std::string SystemDescription();

// The user's home folder as text, without a separator at its end; empty when unknown.
std::string HomeFolder();

// The names the user's account goes by: the login name and what the environment says.
std::vector<std::string> AccountNames();

// The computer's name; empty when unknown.
std::string HostName();

// The command line's arguments after the program's name, as UTF-8. Also readies the standard
// streams: a write to a closed pipe fails instead of ending the program, and on Windows a
// console shows UTF-8.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// The folder vornactl's executable is in; empty when the system does not say.
std::filesystem::path ProgramFolder();

// Whether standard error is a terminal (a console window on Windows).
bool StandardErrorIsTerminal();

// The shell a user of this system pastes a printed command into.
Shell SystemShell();

// The width of the terminal standard output shows in, in columns; 80 when it is no terminal or
// does not say.
int OutputColumns();

}  // namespace vorna::cli
