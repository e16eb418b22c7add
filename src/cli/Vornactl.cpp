#include "cli/Vornactl.h"

#include <iostream>

#include "Version.h"
#include "cli/Commands.h"
#include "cli/SystemInfo.h"
#include "cli/TerminalText.h"

namespace vorna::cli {

namespace {

constexpr const char* kTimeoutAndFlashHelp =
    "--timeout takes 1 to 3600 seconds (default 10). read -o FILE replaces FILE only once\n"
    "the settings were read.\n"
    "write --dry-run prints what the file would change on the ESC and sends nothing.\n"
    "write PATH also restores a backup: backups lists them, newest first, each with its path.\n"
    "diff compares settings files, setup sheets (.ini) and backups with each other or with\n"
    "esc, the connected ESC read now (B when not given); it prints the settings that differ\n"
    "and exits 0 when none do, 4 when some do. explain says what a setting does (all without\n"
    "NAME).\n"
    "flash-esc and flash-card check the image before anything is sent; --force flashes an ESC\n"
    "image with a doubtful record, or an image named like a shipped one that is not it.\n"
    "flash-esc refuses an image made for another ESC family unless --other-family is given, and\n"
    "in Esc mode saves the ESC's settings first: when they cannot be saved it stops, unless\n"
    "--no-backup is given. Their progress goes to standard error: a bar on a terminal, else a\n"
    "line per percentage. --data-dir DIR reads the shipped images' list from DIR/Firmware\n"
    "instead of the program's data folder.\n";
constexpr const char* kReportHelp =
    "report FILE writes a text for support: version, system, the doctor's findings and the\n"
    "connected ESC's identity, settings and byte trace (--timeout defaults to 5 there).\n"
    "Exit codes: 0 done, 1 device or link failure, 2 usage, 3 file problem, 4 diff: differ.\n";

std::string UsageText() {
    const SystemHelp help = HelpForThisSystem();
    const std::string port = std::string("[--port ") + help.port + "]";
    const std::string link = "  vornactl " + port + " [--trace] [--timeout SEC] ";
    std::string text = "usage:\n  vornactl ports | --version | --help\n";
    for (const char* command :
         {"identify [--mode esc|card|fix]", "read [--format text|cfg|json] [-o FILE]",
          "write FILE.cfg [--dry-run]", "diff A [B] [--json]", "set \"NAME=VALUE\" ...", "defaults",
          "flash-esc IMAGE.mmc [--fix] [--force]\n           [--other-family] [--no-backup]",
          "flash-card IMAGE.xup [--force]"})
        text += link + command + "\n";
    text += "  vornactl backups\n  vornactl explain [NAME]\n";
    text += "  vornactl " + port + " doctor\n" + link + "report FILE\n" + help.simulate + "\n";
    return text + help.finding + kTimeoutAndFlashHelp + help.doctor + kReportHelp;
}

}  // namespace

const std::string kUsage = UsageText();

namespace {

// Long enough for any device; short enough that the waits computed from it cannot overflow.
constexpr int kMaxTimeoutSec = 3600;

}  // namespace

int RunVornactl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                bool errIsTerminal) {
    Options o;
    o.errTerminal = errIsTerminal;
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--port" && hasValue) {
            o.port = args[++i];
        } else if (a == "--data-dir" && hasValue) {
            o.dataDir = args[++i];
        } else if (a == "--trace") {
            o.trace = true;
        } else if (a == "--timeout") {
            // Digits only: "1x", "-3", " 5", "" and numbers past the range are usage errors.
            const std::optional<int> seconds =
                hasValue ? WholeNumber(args[i + 1], 1, kMaxTimeoutSec) : std::nullopt;
            if (!seconds) {
                err << "vornactl: --timeout takes a whole number of seconds from 1 to "
                    << kMaxTimeoutSec
                    << (hasValue ? ", not \"" + Shown(args[i + 1]) + "\"" : std::string()) << "\n";
                return kExitUsage;
            }
            o.timeoutSec = *seconds;
            o.timeoutGiven = true;
            ++i;
        } else if (a == "--help" || a == "-h") {
            out << kUsage;
            return kExitOk;
        } else if (a == "--version") {
            out << "vornactl " << kVersion << "\n";
            return kExitOk;
        } else if (!a.empty() && a[0] == '-') {
            err << "vornactl: unknown option " << Shown(a) << "\n" << kUsage;
            return kExitUsage;
        } else {
            break;
        }
    }
    if (i >= args.size()) {
        err << kUsage;
        return kExitUsage;
    }
    o.command = args[i];
    o.args.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
    if (o.command == "ports") return Ports(out, err);
    if (o.command == "identify") return Identify(o, out, err);
    if (o.command == "read") return Read(o, out, err);
    if (o.command == "write") return Write(o, out, err);
    if (o.command == "set") return Set(o, out, err);
    if (o.command == "defaults") return Defaults(o, out, err);
    if (o.command == "flash-esc") return FlashEsc(o, out, err);
    if (o.command == "flash-card") return FlashCard(o, out, err);
    if (o.command == "diff") return Diff(o, out, err);
    if (o.command == "backups") return Backups(o, out, err);
    if (o.command == "explain") return Explain(o, out, err);
    if (o.command == "doctor") return Doctor(o, out, err);
    if (o.command == "report") return Report(o, out, err);
    if (o.command == "simulate") return Simulate(o, out, err);
    err << "vornactl: unknown command " << Shown(o.command) << "\n" << kUsage;
    return kExitUsage;
}

int RunVornactl(int argc, char** argv) {
    const std::vector<std::string> args = ProgramArguments(argc, argv);
    return RunVornactl(args, std::cout, std::cerr, StandardErrorIsTerminal());
}

}  // namespace vorna::cli
