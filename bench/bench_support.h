#pragma once

#include <memory>

#include "common/clock.h"
#include "common/host.h"
#include "wire/bus_core.h"
#include "wire/network.h"
#include "wire/rom_code.h"
#include "wire/sim/sim_bench.h"
#include "wire/sim/sim_device.h"
#include "wire/sim/sim_link.h"
#include "wire/tmex.h"

namespace velgrin::bench {

// A host with no windows: waits run on the clock it is given, dialogs do nothing.
class QuietHost : public Host {
  public:
    explicit QuietHost(VirtualClock& clock) : clock_(clock) {}
    uint32_t tickCount() override {
        clock_.advanceMs(1);
        return static_cast<uint32_t>(clock_.nowMs());
    }
    void sleep(uint32_t ms) override { clock_.advanceMs(ms); }
    void yieldBusyWait() override {}
    void processMessages() override {}
    void showMessage(const std::string&) override {}
    std::string inputBox(const std::string&, const std::string&, const std::string& p) override {
        return p;
    }
    std::optional<std::string> saveFileName(const std::string&) override { return std::nullopt; }
    void beep() override {}
    void setBusyCursor(bool) override {}
    void openUrl(const std::string&) override {}

  private:
    VirtualClock& clock_;
};

inline RomCode SerialRom(uint8_t family, uint64_t serial) {
    RomCode rom{family};
    for (int i = 0; i < 6; ++i) {
        rom[static_cast<size_t>(1 + i)] = static_cast<uint8_t>(serial >> (8 * i));
    }
    return WithRomCrc(rom);
}

// How many devices one full search of the link's bus found.
inline int SearchedDevices(Link& link) {
    Network network(link);
    SearchState state;
    int found = 0;
    for (auto more = network.first(state); more && *more; more = network.next(state)) {
        ++found;
    }
    return found;
}

// A bench of `devices` thermometers with scattered serial numbers, behind the driver.
struct ScanRig {
    explicit ScanRig(int devices) {
        for (int i = 0; i < devices; ++i) {
            bench->bus().attach(std::make_unique<sim::PlainRomDevice>(
                SerialRom(0x28, 0x9E3779B97F4Aull * static_cast<uint64_t>(i + 1))));
        }
    }
    static PortRegistry Registry(std::shared_ptr<sim::SimBench> bench) {
        PortRegistry registry;
        registry.add(PortBackend{"bench", "benchmark bench", kSimulatedPortType, nullptr,
                                 [bench](const PortSpec&) -> WireResult<std::unique_ptr<Link>> {
                                     return std::unique_ptr<Link>(
                                         std::make_unique<sim::SimLink>(bench));
                                 },
                                 nullptr, nullptr});
        return registry;
    }

    VirtualClock clock;
    QuietHost host{clock};
    std::shared_ptr<sim::SimBench> bench = std::make_shared<sim::SimBench>(clock);
    TmexDriver driver{Registry(bench), PortSpec{"bench", ""}};
    BusCore core{driver, host};
};

}  // namespace velgrin::bench
