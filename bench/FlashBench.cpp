// How close the firmware updates come to the line: each shipped ESC image and card image is
// flashed into a simulated device that paces its bytes at the real 19200 baud, through the same
// session, monitor and update classes vornactl uses, and the time taken is set against the least
// the update can take.
//
//   vorna-bench-flash [--data-dir DIR] [--runs N] [--markdown]
//
// The least time is every byte on the line at 1,920 bytes a second (10 bits a byte) plus the
// fixed waits of the update. Counted waits:
//   ESC:  EscUpdate::kSettleMs after the last record, while the ESC starts its new firmware,
//         and EscUpdate::kLateAnswerMs before the 0xD6 whose answer counts, which lets the
//         answers to the three unread 0xD6 arrive and be thrown away rather than pass for the
//         read-back of the fourth.
//   Card: CardUpdate::kBlockPauseMs before every block and CardUpdate::kStartPauseMs after
//         the last one, while the card starts its new firmware.
// Not counted: the reply time-outs, which a run that goes well never waits out (a run that
// wrote other bytes than the ones counted here is reported as failed), the wait for the next
// poll tick (the update is started on the link thread directly, as the tick starts it) and
// vornactl's settings backup (a file write, no line time).
//
// With --runs N each image is flashed N times and the fastest run is shown: the slower ones
// measure the other programs on the machine.
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Session.h"
#include "firmware/CardUpdate.h"
#include "firmware/FirmwareImages.h"
#include "sim/SimulatedCard.h"
#include "sim/SimulatedEsc.h"

namespace {

using namespace vorna;
using Clock = std::chrono::steady_clock;
using Kind = FirmwarePageLink::DeviceKind;

constexpr double kLineBytesPerSecond = 1920.0;
constexpr double kEscTarget = 1.03;
constexpr double kCardTarget = 1.05;
constexpr int kBenchEscModel = 16;
constexpr auto kConnectTimeout = std::chrono::seconds(20);

struct Floor {
    std::size_t programBytes = 0;  // what the program writes; every byte is echoed on the line
    std::size_t deviceBytes = 0;   // what the device answers
    int waitMs = 0;

    std::size_t WireBytes() const { return programBytes + deviceBytes; }
    double Seconds() const {
        return static_cast<double>(WireBytes()) / kLineBytesPerSecond + waitMs / 1000.0;
    }
};

// 0xD6 four times (each answered 0xD7), 0x39 / 0x61, 0x31 / 0x01, the records with one reply
// byte each, then the check afterwards: 0xD6 / 0xD7 and 0xD7 / seven identity bytes.
Floor EscFloor(const EscImage& image) {
    Floor f;
    f.programBytes = 4 + 1 + 1 + image.total + 2;
    f.deviceBytes = 4 + 1 + 1 + image.records.size() + 1 + 7;
    f.waitMs = EscUpdate::kLateAnswerMs + EscUpdate::kSettleMs;
    return f;
}

// 0xD6 three times (each answered 0xD5), 0xD7 / 0xD8, 0xD6 / 0xD7, then the blocks with one
// reply byte each.
Floor CardFloor(const CardImage& image) {
    Floor f;
    f.programBytes = 3 + 1 + 1 + image.bytes.size();
    f.deviceBytes = 3 + 1 + 1 + image.blocks.size();
    f.waitMs = static_cast<int>(image.blocks.size()) * CardUpdate::kBlockPauseMs +
               CardUpdate::kStartPauseMs;
    return f;
}

struct Run {
    bool ok = false;
    double seconds = 0;
    std::size_t programBytes = 0;  // as the link's trace counted them
    std::string failure;
};

// A folder for the simulated device's link, removed at the end.
class LinkFolder {
public:
    LinkFolder() {
        char name[] = "/tmp/vorna-bench-XXXXXX";
        if (mkdtemp(name) != nullptr) path_ = name;
    }
    ~LinkFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    bool Ok() const { return !path_.empty(); }
    std::string Link() const { return (path_ / "link").string(); }

private:
    std::filesystem::path path_;
};

// Counts what the program writes while `counting` is set; used on the link thread only.
struct WriteCounter {
    bool counting = false;
    std::size_t bytes = 0;
};

void CountWrites(UsbUart& link, WriteCounter& counter) {
    link.SetTraceSink([&counter](UsbUart::TraceDirection d, const std::uint8_t*, std::size_t n) {
        if (counter.counting && d == UsbUart::TraceDirection::Sent) counter.bytes += n;
    });
}

Run FlashEsc(const std::filesystem::path& dataDir, const std::string& entry,
             const EscImage& image) {
    Run run;
    LinkFolder folder;
    if (!folder.Ok()) return {false, 0, 0, "no temporary folder"};
    sim::SimulatedEsc esc(folder.Link(), kBenchEscModel);
    esc.SetLineRate(true);
    const Status started = esc.Start();
    if (!started) return {false, 0, 0, "simulated ESC: " + started.Detail()};

    // What the session prints goes nowhere: its messages are taken from the view.
    std::ostringstream log;
    BridgeLocation location;
    location.fixedPath = folder.Link();
    cli::Session session(location, log, false);
    WriteCounter counter;
    CountWrites(session.Link(), counter);
    session.firmware.ReadFirmwareFiles(dataDir, {});
    session.Start();
    session.Do([](DeviceStack& stack) { stack.Monitor().ChooseEsc(); });
    const bool ready = session.WaitAfterTicks(
        [&](ConnectionMonitor& m) {
            return m.Link().GetDeviceState() == DeviceState::Connected &&
                   session.setup.HasValidRecord();
        },
        kConnectTimeout);
    if (!ready) return {false, 0, 0, "the simulated ESC was not identified and read"};

    UpdateOutcome result;
    Clock::duration took{};
    session.Do([&](DeviceStack& stack) {
        // Chosen and run here, between ticks, so that the tick cannot start it first.
        if (!session.firmware.ClickStart(Kind::Esc, entry).accepted) return;
        counter.counting = true;
        const auto start = Clock::now();
        result = stack.Esc().Run();
        took = Clock::now() - start;
        counter.counting = false;
    });
    run.seconds = std::chrono::duration<double>(took).count();
    run.programBytes = counter.bytes;
    if (!result.Done()) {
        run.failure = "the update did not finish: " + result.message;
    } else if (esc.UpdatesFinished() != 1 || esc.UpdateRecords().size() != image.records.size()) {
        run.failure = "the simulated ESC did not take every record";
    } else if (!result.identified) {
        run.failure = "the ESC did not answer the check after the update";
    } else {
        run.ok = true;
    }
    return run;
}

Run FlashCard(const std::filesystem::path& dataDir, const std::string& entry,
              const CardImage& image) {
    Run run;
    LinkFolder folder;
    if (!folder.Ok()) return {false, 0, 0, "no temporary folder"};
    sim::SimulatedCard card(folder.Link());
    card.SetLineRate(true);
    const Status started = card.Start();
    if (!started) return {false, 0, 0, "simulated card: " + started.Detail()};

    // What the session prints goes nowhere: its messages are taken from the view.
    std::ostringstream log;
    BridgeLocation location;
    location.fixedPath = folder.Link();
    cli::Session session(location, log, false);
    WriteCounter counter;
    CountWrites(session.Link(), counter);
    session.firmware.ReadFirmwareFiles(dataDir, {});
    session.Start();
    session.Do([](DeviceStack& stack) { stack.Monitor().ChooseProgramCard(); });
    const bool ready = session.WaitAfterTicks(
        [](ConnectionMonitor& m) { return m.CardState() == DeviceState::Connected; },
        kConnectTimeout);
    if (!ready) return {false, 0, 0, "the simulated card was not identified"};

    UpdateOutcome result;
    Clock::duration took{};
    session.Do([&](DeviceStack& stack) {
        if (!session.firmware.ClickStart(Kind::Card, entry).accepted) return;
        counter.counting = true;
        const auto start = Clock::now();
        result = stack.Card().Run();
        took = Clock::now() - start;
        counter.counting = false;
    });
    run.seconds = std::chrono::duration<double>(took).count();
    run.programBytes = counter.bytes;
    if (!result.Done()) {
        run.failure = "the update did not finish: " + result.message;
    } else if (card.Flashed() != image.bytes) {
        run.failure = "the simulated card did not take the image as it is";
    } else {
        run.ok = true;
    }
    return run;
}

struct Row {
    std::string image;
    Floor floor;
    double target = 0;
    std::optional<Run> best;
    std::string failure;
};

// A run that wrote more or fewer bytes than the floor counts is not the run the floor describes.
void Take(Row& row, Run run) {
    if (run.ok && run.programBytes != row.floor.programBytes) {
        run.ok = false;
        run.failure = "the program wrote " + std::to_string(run.programBytes) +
                      " bytes, the floor counts " + std::to_string(row.floor.programBytes);
    }
    if (!run.ok) {
        if (row.failure.empty()) row.failure = run.failure;
        return;
    }
    if (!row.best || run.seconds < row.best->seconds) row.best = run;
}

int Usage() {
    std::cerr << "usage: vorna-bench-flash [--data-dir DIR] [--runs N] [--markdown]\n"
                 "Flashes every image in DIR/Firmware (default: the source tree's data/) into a\n"
                 "simulated device paced at 19200 baud and compares the time with the floor.\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path dataDir = VORNA_BENCH_DATA_DIR;
    int runs = 1;
    bool markdown = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--data-dir" && i + 1 < argc) {
            dataDir = argv[++i];
        } else if (a == "--runs" && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
            if (runs < 1) return Usage();
        } else if (a == "--markdown") {
            markdown = true;
        } else {
            return Usage();
        }
    }

    FirmwareCatalogue catalogue = ReadFirmwareCatalogue(dataDir, {});
    if (catalogue.esc.empty() && catalogue.card.empty()) {
        std::cerr << "vorna-bench-flash: no images in " << (dataDir / "Firmware").string() << "\n";
        return 3;
    }

    std::vector<Row> rows;
    for (const FirmwareImage& file : catalogue.esc) {
        const auto image = ReadEscImage(file.path);
        if (!image.Ok()) {
            std::cerr << "vorna-bench-flash: " << image.Detail() << "\n";
            return 3;
        }
        Row row{file.path.filename().string(), EscFloor(image.Value()), kEscTarget, {}, {}};
        for (int r = 0; r < runs; ++r) Take(row, FlashEsc(dataDir, file.entry, image.Value()));
        rows.push_back(row);
    }
    for (const FirmwareImage& file : catalogue.card) {
        const auto image = ReadCardImage(file.path);
        if (!image.Ok()) {
            std::cerr << "vorna-bench-flash: " << image.Detail() << "\n";
            return 3;
        }
        Row row{file.path.filename().string(), CardFloor(image.Value()), kCardTarget, {}, {}};
        for (int r = 0; r < runs; ++r) Take(row, FlashCard(dataDir, file.entry, image.Value()));
        rows.push_back(row);
    }

    bool allOk = true;
    if (markdown) {
        std::printf(
            "| image | bytes on wire | minimum s | measured s | ratio | target |\n"
            "|---|---:|---:|---:|---:|---:|\n");
    } else {
        std::printf("%-26s %14s %10s %11s %7s %8s\n", "image", "bytes on wire", "minimum s",
                    "measured s", "ratio", "target");
    }
    for (const Row& row : rows) {
        if (!row.best) {
            allOk = false;
            if (markdown) {
                std::printf("| %s | %zu | %.2f | - | - | %.2f (FAILED: %s) |\n", row.image.c_str(),
                            row.floor.WireBytes(), row.floor.Seconds(), row.target,
                            row.failure.c_str());
                continue;
            }
            std::printf("%-26s %14zu %10.2f %11s %7s %8.2f  FAILED: %s\n", row.image.c_str(),
                        row.floor.WireBytes(), row.floor.Seconds(), "-", "-", row.target,
                        row.failure.c_str());
            continue;
        }
        const double ratio = row.best->seconds / row.floor.Seconds();
        // Below 1 the simulated line was faster than the real one, and the figure says nothing.
        const char* verdict = ratio < 1.0          ? "  faster than the line: not paced?"
                              : ratio > row.target ? "  over target"
                                                   : "";
        allOk = allOk && *verdict == '\0';
        if (markdown) {
            std::printf("| %s | %zu | %.2f | %.2f | %.3f | %.2f%s |\n", row.image.c_str(),
                        row.floor.WireBytes(), row.floor.Seconds(), row.best->seconds, ratio,
                        row.target, verdict);
            continue;
        }
        std::printf("%-26s %14zu %10.2f %11.2f %7.3f %8.2f%s\n", row.image.c_str(),
                    row.floor.WireBytes(), row.floor.Seconds(), row.best->seconds, ratio,
                    row.target, verdict);
    }
    return allOk ? 0 : 1;
}
