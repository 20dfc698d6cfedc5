#pragma once

#include <memory>

#include "common/clock.h"
#include "scripted_host.h"
#include "wire/bus_core.h"
#include "wire/sim/sim_bench.h"
#include "wire/sim/sim_link.h"
#include "wire/tmex.h"

namespace velgrin::testing {

// A ROM code with a valid CRC from a family code and a serial number (low byte first on the bus).
inline RomCode TestRom(uint8_t family, uint64_t serial) {
    RomCode rom{family};
    for (int i = 0; i < 6; ++i) {
        rom[static_cast<size_t>(1 + i)] = static_cast<uint8_t>(serial >> (8 * i));
    }
    return WithRomCrc(rom);
}

// A registry whose only port kind, "bench", opens a link to the given simulated bench.
inline PortRegistry BenchRegistry(std::shared_ptr<sim::SimBench> bench) {
    PortRegistry registry;
    registry.add(PortBackend{"bench", "test bench", kSimulatedPortType, nullptr,
                             [bench](const PortSpec&) -> WireResult<std::unique_ptr<Link>> {
                                 return std::unique_ptr<Link>(
                                     std::make_unique<sim::SimLink>(bench));
                             },
                             nullptr, nullptr});
    return registry;
}

// Everything a core test needs: a virtual clock, a scripted host, an empty simulated bench as
// the default port, the driver and the bus core over it.
struct BenchRig {
    VirtualClock clock;
    ScriptedHost host{clock};
    std::shared_ptr<sim::SimBench> bench = std::make_shared<sim::SimBench>(clock);
    TmexDriver driver{BenchRegistry(bench), PortSpec{"bench", ""}};
    BusCore core{driver, host};

    sim::SimBus& bus() { return bench->bus(); }
};

}  // namespace velgrin::testing
