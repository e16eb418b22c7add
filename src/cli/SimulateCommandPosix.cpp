// vornactl simulate: a simulated ESC or program card behind a pseudo-terminal until Ctrl-C.
#include <atomic>
#include <csignal>
#include <filesystem>
#include <memory>
#include <ostream>
#include <thread>

#include "cli/Commands.h"
#include "cli/TerminalText.h"
#include "protocol/ModelTypes.h"
#include "sim/SimulatedCard.h"
#include "sim/SimulatedEsc.h"

namespace vorna::cli {
namespace {

using namespace std::chrono_literals;

std::atomic<bool> gStop{false};
extern "C" void OnStopSignal(int) {
    gStop = true;
}

}  // namespace

int Simulate(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.args.empty() || (o.args[0] != "esc" && o.args[0] != "card")) {
        err << "vornactl: simulate takes esc or card\n" << kUsage;
        return kExitUsage;
    }
    const bool esc = o.args[0] == "esc";
    int model = -1;
    std::string link;
    bool lineRate = false;
    sim::FaultChoice fault;
    for (std::size_t i = 1; i < o.args.size(); ++i) {
        const std::string& a = o.args[i];
        const bool hasValue = i + 1 < o.args.size();
        if (a == "--model" && esc) {
            const std::optional<int> type =
                hasValue ? WholeNumber(o.args[i + 1], 0, kModelTypeCount - 1) : std::nullopt;
            if (!type) {
                err << "vornactl: --model takes a model type from 0 to " << kModelTypeCount - 1
                    << (hasValue ? ", not \"" + Shown(o.args[i + 1]) + "\"" : std::string())
                    << "\n";
                return kExitUsage;
            }
            model = *type;
            ++i;
        } else if (a == "--link" && hasValue) {
            link = o.args[++i];
        } else if (a == "--line-rate") {
            lineRate = true;
        } else if (a == "--fault" && hasValue) {
            auto f = sim::ParseFault(o.args[++i]);
            if (!f) {
                err << "vornactl: unknown fault " << Shown(o.args[i]) << "; one of "
                    << sim::FaultNames() << "\n";
                return kExitUsage;
            }
            fault = *f;
        } else {
            err << "vornactl: unknown argument to simulate: " << Shown(a) << "\n" << kUsage;
            return kExitUsage;
        }
    }
    if (esc && model < 0) {
        err << "vornactl: simulate esc needs --model N (0 to 17)\n";
        return kExitUsage;
    }
    if (link.empty())
        link =
            (std::filesystem::temp_directory_path() / (esc ? "vorna-esc" : "vorna-card")).string();

    std::unique_ptr<sim::PtyDevice> device;
    if (esc) {
        auto e = std::make_unique<sim::SimulatedEsc>(link, model);
        e->SetFault(fault.fault, fault.record);
        device = std::move(e);
    } else {
        auto c = std::make_unique<sim::SimulatedCard>(link);
        c->SetFault(fault.fault);
        device = std::move(c);
    }
    device->SetLineRate(lineRate);
    const Status started = device->Start();
    if (!started) {
        err << "vornactl: cannot start the simulated device: " << Shown(started.Detail()) << "\n";
        return kExitDevice;
    }
    out << "Simulated "
        << (esc ? "ESC model type " + std::to_string(model) : std::string("program card")) << " at "
        << Shown(link) << " (" << Shown(device->SlavePath()) << ").\n"
        << "Use: vornactl --port " << Shown(link) << " identify" << (esc ? "" : " --mode card")
        << "\n"
        << "Stop with Ctrl-C.\n"
        << std::flush;
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    while (!gStop) std::this_thread::sleep_for(100ms);
    device->Stop();
    out << "Stopped.\n";
    return kExitOk;
}

std::string SimulateNote() {
    return {};
}

}  // namespace vorna::cli
