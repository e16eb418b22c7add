#include "cli/Commands.h"
#include "link/BridgeDiscovery.h"

namespace vorna::cli {

SystemHelp HelpForThisSystem() {
    // No simulate line: the Windows build has none (SimulateCommandWin32.cpp).
    return {PortArgument().placeholder,
            "Without --port the first CP210x bridge (USB " + BridgeUsbId() +
                ") that Windows lists is used, on\n"
                "the COM port Windows gave it; --port COM7 names a COM port.\n",
            "doctor says what stands between you and the COM port (the bridge's driver, another\n"
            "program holding the port) and what to do; it exits 0 when the port can be opened,\n"
            "else 1.\n",
            ""};
}

}  // namespace vorna::cli
