// How close vornactl's settings commands come to the line: identify, read, set and defaults are
// run as the user runs them (the vornactl program, a process of its own) against a simulated
// ESC that paces its bytes at the real 19200 baud, and each time taken is set against the least
// the command can take. The peak memory of those vornactl processes is reported as well.
//
//   vorna-bench-cli [--vornactl PATH] [--runs N] [--model N] [--markdown]
//
// The least time is every byte on the line at 1,920 bytes a second (10 bits a byte) plus the
// pauses the device conversation keeps:
//   opening the port: 60 ms before and 60 ms after configuring it (OpenPort);
//   a read of the settings: 150 ms after it, and 100 ms before the BEC answer of the model
//     types whose record has no room for it (SettingsTransfer::ReadSettings);
//   a write: 100 ms after each pair (SettingsTransfer::WriteSettings).
// Bytes on the line: each byte the program sends crosses once and comes back as its read-back,
// and each byte the ESC answers crosses once; so it is every byte the program receives. The
// conversation counted is the one a command holds with an ESC that answers at once: the probe
// 0xD5 / 0x26 of each tick that talks, the identity 0xD7 / 7 bytes, the read 0xD8 / the record,
// the pairs with their acknowledgement, 0xDF, the restore 0xDE / 0x01. A traced run of each
// command checks that the program sent and received exactly that; a run that did not is
// reported as failed rather than set against a floor that does not describe it.
// Not counted: starting the process, and the time-outs a run that goes well never waits out.
//
// The paced line itself is checked first: a stream of bytes the simulated card does not answer,
// written at once, must come back at 0.521 ms a byte (10 bits at 19200 baud), no faster and
// hardly slower; every floor above assumes it.
//
// With --runs N each command is timed N times (untraced) and the fastest run is shown: the
// slower ones measure the other programs on the machine. Peak memory is the largest resident
// set (getrusage's ru_maxrss of the child) over all runs.
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "link/SerialPort.h"
#include "protocol/ModelTypes.h"
#include "protocol/SettingsTransfer.h"
#include "sim/SimulatedCard.h"
#include "sim/SimulatedEsc.h"

extern char** environ;

namespace {

using namespace vorna;
using Clock = std::chrono::steady_clock;

constexpr double kLineBytesPerSecond = 1920.0;
constexpr int kOpenPortPauseMs = 60 + 60;
constexpr int kReadEndPauseMs = 150;
constexpr int kBecAnswerPauseMs = 100;
constexpr int kPairPauseMs = 100;
constexpr double kReadTarget = 1.3;  // identify, read and defaults
constexpr double kSetTarget = 1.1;
constexpr double kPeakMemoryTargetMb = 3.9;
constexpr double kByteMs = 1000.0 / kLineBytesPerSecond;
constexpr double kPacedLineSlack = 1.01;  // what the stream may take over the line's own time
constexpr std::size_t kStreamBytes = 2000;

struct Floor {
    std::size_t programBytes = 0;  // what the program sends; each comes back as its read-back
    std::size_t deviceBytes = 0;   // what the ESC answers
    int pauseMs = 0;

    std::size_t WireBytes() const { return programBytes + deviceBytes; }
    double Seconds() const {
        return static_cast<double>(WireBytes()) / kLineBytesPerSecond + pauseMs / 1000.0;
    }
    void Add(std::size_t program, std::size_t device, int ms = 0) {
        programBytes += program;
        deviceBytes += device;
        pauseMs += ms;
    }
};

// 0xD8 and the record; for model types that keep BEC Voltage apart, the query 0xFE 0x02 with
// its acknowledgement and its answer.
void AddRead(Floor& f, int model) {
    const ModelTypeInfo& info = ModelTypeInfoFor(model);
    f.Add(1, static_cast<std::size_t>(SettingsTransfer::ReplyLengthFor(model)), kReadEndPauseMs);
    if (info.readQueriesBec) f.Add(2, 2, kBecAnswerPauseMs);
}

// The port opens on one tick; the next asks 0xD5, identifies (0xD7) and reads.
Floor ConnectFloor(int model) {
    Floor f;
    f.pauseMs = kOpenPortPauseMs;
    f.Add(1, 1);  // 0xD5 / 0x26
    f.Add(1, 7);  // 0xD7 / the identity
    AddRead(f, model);
    return f;
}

// The write's tick: 0xD5 / 0x26, the pairs, the BEC pair of the types that send it last, 0xDF;
// the next tick: 0xD5 / 0x26 and the read-back.
Floor SetFloor(int model) {
    Floor f = ConnectFloor(model);
    const int pairs =
        SettingsTransfer::PairCountFor(model, SettingsTransfer::ReplyLengthFor(model));
    f.Add(1, 1);
    f.Add(2 * static_cast<std::size_t>(pairs), static_cast<std::size_t>(pairs),
          pairs * kPairPauseMs);
    if (ModelTypeInfoFor(model).writeSendsBecLast) f.Add(2, 2);
    f.Add(1, 0);  // 0xDF
    f.Add(1, 1);
    AddRead(f, model);
    return f;
}

// The restore's tick: 0xD5 / 0x26, 0xDE / 0x01 and the read of the factory settings.
Floor DefaultsFloor(int model) {
    Floor f = ConnectFloor(model);
    f.Add(1, 1);
    f.Add(1, 1);
    AddRead(f, model);
    return f;
}

struct Command {
    std::string name;
    std::vector<std::string> args;
    Floor floor;
    double target = 0;
};

struct Run {
    bool ok = false;
    double seconds = 0;
    long maxRssKb = 0;
    std::string failure;
};

class TempFolder {
public:
    TempFolder() {
        char name[] = "/tmp/vorna-bench-cli-XXXXXX";
        if (mkdtemp(name) != nullptr) path_ = name;
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    bool Ok() const { return !path_.empty(); }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The bytes a trace shows: "[   0.123] > d5" lines for what was sent, "< ..." for what came.
// The write's progress ("\rwriting 3% ") may stand before a line's stamp.
void CountTrace(const std::string& trace, std::size_t& sent, std::size_t& received) {
    sent = received = 0;
    std::istringstream lines(trace);
    std::string line;
    while (std::getline(lines, line)) {
        const auto stamp = line.find('[');
        if (stamp == std::string::npos) continue;
        line.erase(0, stamp);
        const auto mark = line.find("] ");
        if (mark == std::string::npos || mark + 3 > line.size()) continue;
        const char direction = line[mark + 2];
        if (direction != '>' && direction != '<') continue;
        std::size_t bytes = 0;
        std::istringstream hex(line.substr(mark + 3));
        std::string token;
        while (hex >> token) ++bytes;
        (direction == '>' ? sent : received) += bytes;
    }
}

// Runs vornactl once with its own simulated ESC and a folder for what it writes.
Run RunOnce(const std::string& vornactl, const Command& command, int model, bool trace,
            std::size_t* sent = nullptr, std::size_t* received = nullptr) {
    TempFolder folder;
    if (!folder.Ok()) return {false, 0, 0, "no temporary folder"};
    const std::string link = (folder.Path() / "link").string();
    sim::SimulatedEsc esc(link, model);
    esc.SetLineRate(true);
    const Status started = esc.Start();
    if (!started) return {false, 0, 0, "simulated ESC: " + started.Detail()};

    std::vector<std::string> args = {vornactl, "--port", link};
    if (trace) args.push_back("--trace");
    args.push_back(command.name);
    args.insert(args.end(), command.args.begin(), command.args.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    // The backup `defaults` writes goes into the folder.
    ::setenv("XDG_DATA_HOME", (folder.Path() / "data").c_str(), 1);
    const std::string out = (folder.Path() / "out").string();
    const std::string err = (folder.Path() / "err").string();
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const auto start = Clock::now();
    const int spawned = posix_spawn(&pid, vornactl.c_str(), &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (spawned != 0) return {false, 0, 0, "cannot start " + vornactl};
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    const auto took = Clock::now() - start;
    esc.Stop();

    Run run;
    run.seconds = std::chrono::duration<double>(took).count();
    run.maxRssKb = usage.ru_maxrss;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::string said = ReadText(err);
        const auto last = said.find_last_of('\n', said.size() > 1 ? said.size() - 2 : 0);
        if (last != std::string::npos) said = said.substr(last + 1);
        while (!said.empty() && said.back() == '\n') said.pop_back();
        run.failure = "vornactl failed: " + said;
        return run;
    }
    if (sent && received) CountTrace(ReadText(err), *sent, *received);
    run.ok = true;
    return run;
}

// Milliseconds a byte took on the paced line, or a negative figure when the stream failed.
double PacedLineMsPerByte() {
    TempFolder folder;
    if (!folder.Ok()) return -1;
    sim::SimulatedCard card((folder.Path() / "link").string());
    card.SetLineRate(true);
    if (!card.Start()) return -1;
    Result<SerialPort> port = SerialPort::Open(card.LinkPath());
    if (!port) return -1;
    double ms = -1;
    if (port->Configure(19200)) {
        const std::vector<std::uint8_t> sent(kStreamBytes, 0x00);
        std::vector<std::uint8_t> echoed(kStreamBytes);
        const auto start = Clock::now();
        const Result<std::size_t> written = port->Write(sent.data(), sent.size(), 10000);
        if (written && *written == sent.size()) {
            const Result<std::size_t> got = port->Read(echoed.data(), echoed.size(), 10000);
            if (got && *got == kStreamBytes && echoed == sent) {
                ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count() /
                     static_cast<double>(kStreamBytes);
            }
        }
    }
    port->Close();
    card.Stop();
    return ms;
}

struct Row {
    Command command;
    std::optional<Run> best;
    std::string failure;
    long maxRssKb = 0;
};

int Usage() {
    std::cerr << "usage: vorna-bench-cli [--vornactl PATH] [--runs N] [--model N] [--markdown]\n"
                 "Times vornactl identify, read, set and defaults against a simulated ESC paced\n"
                 "at 19200 baud and compares each with its floor; reports vornactl's peak "
                 "memory.\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string vornactl = VORNA_BENCH_VORNACTL;
    int runs = 3;
    int model = 16;
    bool markdown = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--vornactl" && i + 1 < argc) {
            vornactl = argv[++i];
        } else if (a == "--runs" && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
            if (runs < 1) return Usage();
        } else if (a == "--model" && i + 1 < argc) {
            model = std::atoi(argv[++i]);
            if (model < 0 || model >= kModelTypeCount) return Usage();
        } else if (a == "--markdown") {
            markdown = true;
        } else {
            return Usage();
        }
    }

    const double byteMs = PacedLineMsPerByte();
    const bool lineOk = byteMs >= kByteMs && byteMs <= kByteMs * kPacedLineSlack;

    // `set` changes one setting; the write sends every pair whatever changed.
    std::vector<Row> rows = {
        {{"identify", {}, ConnectFloor(model), kReadTarget}, {}, {}, 0},
        {{"read", {}, ConnectFloor(model), kReadTarget}, {}, {}, 0},
        {{"set", {"Drag Brake=10%"}, SetFloor(model), kSetTarget}, {}, {}, 0},
        {{"defaults", {}, DefaultsFloor(model), kReadTarget}, {}, {}, 0},
    };
    long peakKb = 0;
    for (Row& row : rows) {
        // One traced run first: it says what went over the line.
        std::size_t sent = 0, received = 0;
        const Run traced = RunOnce(vornactl, row.command, model, true, &sent, &received);
        if (!traced.ok) {
            row.failure = traced.failure;
            continue;
        }
        if (sent != row.command.floor.programBytes || received != row.command.floor.WireBytes()) {
            row.failure = "sent " + std::to_string(sent) + " and received " +
                          std::to_string(received) + " bytes; the floor counts " +
                          std::to_string(row.command.floor.programBytes) + " and " +
                          std::to_string(row.command.floor.WireBytes());
            continue;
        }
        for (int r = 0; r < runs; ++r) {
            const Run run = RunOnce(vornactl, row.command, model, false);
            if (!run.ok) {
                if (row.failure.empty()) row.failure = run.failure;
                continue;
            }
            row.maxRssKb = std::max(row.maxRssKb, run.maxRssKb);
            if (!row.best || run.seconds < row.best->seconds) row.best = run;
        }
        peakKb = std::max(peakKb, row.maxRssKb);
    }

    bool allOk = lineOk;
    if (markdown) {
        std::printf(
            "| paced simulated line | measured | target |\n|---|---:|---:|\n"
            "| ms per byte, a stream of %zu bytes | %.4f | %.4f-%.4f%s |\n\n",
            kStreamBytes, byteMs, kByteMs, kByteMs * kPacedLineSlack, lineOk ? "" : " off target");
    } else {
        std::printf("paced line: %.4f ms per byte over %zu bytes (target %.4f-%.4f)%s\n\n", byteMs,
                    kStreamBytes, kByteMs, kByteMs * kPacedLineSlack, lineOk ? "" : "  off target");
    }
    if (markdown) {
        std::printf(
            "| vornactl (ESC model type %d) | bytes on wire | floor s | measured s | ratio "
            "| target |\n|---|---:|---:|---:|---:|---:|\n",
            model);
    } else {
        std::printf("%-10s %14s %8s %11s %7s %8s\n", "command", "bytes on wire", "floor s",
                    "measured s", "ratio", "target");
    }
    for (const Row& row : rows) {
        const Floor& floor = row.command.floor;
        if (!row.best || !row.failure.empty()) {
            allOk = false;
            if (markdown) {
                std::printf("| %s | %zu | %.2f | - | - | %.2f (FAILED: %s) |\n",
                            row.command.name.c_str(), floor.WireBytes(), floor.Seconds(),
                            row.command.target, row.failure.c_str());
            } else {
                std::printf("%-10s %14zu %8.2f %11s %7s %8.2f  FAILED: %s\n",
                            row.command.name.c_str(), floor.WireBytes(), floor.Seconds(), "-", "-",
                            row.command.target, row.failure.c_str());
            }
            continue;
        }
        const double ratio = row.best->seconds / floor.Seconds();
        const char* verdict = ratio < 1.0                  ? "faster than the line: not paced?"
                              : ratio > row.command.target ? "over target"
                                                           : "";
        allOk = allOk && *verdict == '\0';
        if (markdown) {
            std::printf("| %s | %zu | %.3f | %.3f | %.3f | %.2f%s%s |\n", row.command.name.c_str(),
                        floor.WireBytes(), floor.Seconds(), row.best->seconds, ratio,
                        row.command.target, *verdict ? " " : "", verdict);
        } else {
            std::printf("%-10s %14zu %8.3f %11.3f %7.3f %8.2f%s%s\n", row.command.name.c_str(),
                        floor.WireBytes(), floor.Seconds(), row.best->seconds, ratio,
                        row.command.target, *verdict ? "  " : "", verdict);
        }
    }
    const double peakMb = static_cast<double>(peakKb) / 1024.0;
    const bool memoryOk = peakKb > 0 && peakMb <= kPeakMemoryTargetMb;
    allOk = allOk && memoryOk;
    if (markdown) {
        std::printf(
            "\n| vornactl | measured | target |\n|---|---:|---:|\n"
            "| peak memory (largest resident set of the runs above), MB | %.2f | %.1f%s |\n",
            peakMb, kPeakMemoryTargetMb, memoryOk ? "" : " over target");
    } else {
        std::printf("\nvornactl peak memory: %.2f MB (target %.1f)%s\n", peakMb,
                    kPeakMemoryTargetMb, memoryOk ? "" : "  over target");
    }
    return allOk ? 0 : 1;
}
