#include "cli/Commands.h"
#include "link/BridgeDiscovery.h"

namespace vorna::cli {

SystemHelp HelpForThisSystem() {
    return {
        PortArgument().placeholder,
        "Without --port the first CP210x bridge (USB " + BridgeUsbId() +
            ") is used, by its device node\n"
            "(/dev/ttyUSB0); --port PATH names another.\n",
        "doctor says what stands between you and the port (driver, udev rule, permission, another\n"
        "program holding it) and what to do; it exits 0 when the port can be opened, else 1.\n",
        "  vornactl simulate esc --model N | card  [--link PATH] [--line-rate] [--fault NAME]\n"};
}

}  // namespace vorna::cli
