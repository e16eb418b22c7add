#include "link/PortArrivals.h"

namespace vorna {

// Windows tells windows, not threads, of a new port: the window program listens itself.
struct PortArrivals::State {};

PortArrivals::PortArrivals() = default;
PortArrivals::~PortArrivals() = default;

void PortArrivals::Start(const BridgeLocation& /*where*/, std::function<void()> /*arrived*/) {}

void PortArrivals::Stop() {}

}  // namespace vorna
