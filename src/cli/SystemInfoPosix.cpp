#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <system_error>

#include "cli/SystemInfo.h"

namespace vorna::cli {

std::string SystemDescription() {
    std::string text = "unknown";
    utsname names{};
    if (::uname(&names) == 0) {
        text = std::string(names.sysname) + " " + names.release + " " + names.machine;
    }
    std::ifstream release("/etc/os-release");
    for (std::string line; std::getline(release, line);) {
        if (line.rfind("PRETTY_NAME=", 0) != 0) continue;
        std::string name = line.substr(12);
        if (name.size() >= 2 && (name.front() == '"' || name.front() == '\'') &&
            name.back() == name.front())
            name = name.substr(1, name.size() - 2);
        text += ", " + name;
        break;
    }
    return text;
}

std::string HomeFolder() {
    std::string home;
    if (const char* env = std::getenv("HOME")) home = env;
    while (home.size() > 1 && home.back() == '/') home.pop_back();
    return home;
}

std::vector<std::string> AccountNames() {
    std::vector<std::string> users;
    if (const passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_name)
        users.emplace_back(entry->pw_name);
    if (const char* env = std::getenv("USER")) users.emplace_back(env);
    return users;
}

std::string HostName() {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) return {};
    return host;
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    // A write to a port or pipe whose other end has gone must fail, not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    return std::vector<std::string>(argv + 1, argv + argc);
}

std::filesystem::path ProgramFolder() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : self.parent_path();
}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

Shell SystemShell() {
    return Shell::Posix;
}

int OutputColumns() {
    winsize size{};
    if (::isatty(STDOUT_FILENO) != 1 || ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 ||
        size.ws_col == 0)
        return 80;
    return size.ws_col;
}

}  // namespace vorna::cli
