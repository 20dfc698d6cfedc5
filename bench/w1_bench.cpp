// The kernel's w1 masters over netlink, against the kernel model serving the demo bench: the
// messages each of the program's operations sends to the kernel, the wall time it takes over the
// model and the 1-Wire bus time of what it put on the bus (a real master needs at least that).
// Waits (conversions, copies) run on a virtual clock and count in neither.
#include <benchmark/benchmark.h>

#include <array>
#include <filesystem>
#include <memory>

#include "bench_support.h"
#include "hlt/hlt_core.h"
#include "thermo/thermometer_set.h"
#include "thermo/thermometers.h"
#include "w1_model/w1_kernel.h"
#include "wall_timed.h"
#include "wire/sim/bench_file.h"
#include "wire/sim/demo_bench_text.h"
#include "wire/w1/w1_backend.h"

namespace velgrin::bench {
namespace {

struct NoPoll : PollControl {
    explicit NoPoll(BusCore& core) : core(core) {}
    bool pollTimerEnabled() const override { return enabled; }
    void setPollTimerEnabled(bool on) override { enabled = on; }
    int16_t ScanNetwork() override { return core.ScanSessionAndSearch().result; }
    BusCore& core;
    bool enabled = true;
};

PortRegistry W1Registry(std::shared_ptr<w1::W1Kernel> kernel) {
    w1::W1Options options;
    options.lockDirectory = std::filesystem::temp_directory_path().string();
    PortRegistry registry;
    registry.add(w1::W1Backend(options, [kernel] { return kernel->connect(); }));
    return registry;
}

struct W1BenchRig {
    W1BenchRig() {
        auto loaded = sim::LoadBenchJson(sim::kDemoBenchJson, "demo bench", clock);
        if (!loaded) {
            error = loaded.error().message;
            return;
        }
        bench = *loaded;
        kernel->addMaster(1, bench);
        (void)core.ScanSessionAndSearch();
        if (core.FoundDev == 0) {
            error = "the scan found nothing: " + driver.lastError();
        }
    }
    int indexOf(int32_t group) const {
        for (int i = 0; i < core.FoundDev; ++i) {
            if (core.Asens[static_cast<size_t>(i)].Family == group) {
                return i;
            }
        }
        return -1;
    }
    uint64_t messages() { return static_cast<w1::W1Link*>(driver.link())->messagesSent(); }

    VirtualClock clock;
    QuietHost host{clock};
    std::shared_ptr<sim::SimBench> bench;
    std::shared_ptr<w1::W1Kernel> kernel = std::make_shared<w1::W1Kernel>();
    TmexDriver driver{W1Registry(kernel), PortSpec{"w1", "1"}};
    BusCore core{driver, host};
    std::string error;
};

template <typename Work>
void Measure(benchmark::State& state, W1BenchRig& rig, Work&& work) {
    if (!rig.error.empty()) {
        state.SkipWithError(rig.error.c_str());
        return;
    }
    const uint64_t messagesBefore = rig.messages();
    const uint64_t busBefore = rig.bench->bus().busTimeUs();
    const auto wallUs = TimeEachIteration(state, work, "the operation failed");
    if (!wallUs) {
        return;
    }
    const auto messages = static_cast<double>(rig.messages() - messagesBefore);
    const auto busUs = static_cast<double>(rig.bench->bus().busTimeUs() - busBefore);
    state.counters["messages"] = PerIteration(messages);
    state.counters["bus_us"] = PerIteration(busUs);
    state.counters["wall_us"] = PerIteration(*wallUs);
    state.counters["wall_per_bus"] = busUs > 0 ? *wallUs / busUs : 0;
}

void BM_Search(benchmark::State& state) {
    W1BenchRig rig;
    const int16_t found = rig.core.FoundDev;
    Measure(state, rig, [&] {
        (void)rig.core.ScanSessionAndSearch();
        return rig.core.FoundDev == found;
    });
    state.counters["devices"] = found;
}

// The kernel's SEARCH alone, as the network layer asks for it.
void BM_WholeBusSearch(benchmark::State& state) {
    W1BenchRig rig;
    const int16_t found = rig.core.FoundDev;
    Measure(state, rig, [&] {
        const auto roms = rig.driver.link()->listBus(false);
        return roms && static_cast<int16_t>(roms->size()) == found;
    });
}

// The command line's measurement of one thermometer: blocks straight through the link.
void BM_ThermometerSetOne(benchmark::State& state) {
    W1BenchRig rig;
    const int index = rig.indexOf(device_group::kDs18B20);
    RomCode rom{};
    if (index >= 0) {
        const auto& words = rig.core.Asens[static_cast<size_t>(index)].ROM;
        std::copy(words.begin(), words.end(), rom.begin());
    }
    Network network(*rig.driver.link());
    RetryRule retries;
    ThermometerSet set(network, rig.host, retries);
    Measure(state, rig, [&] {
        const auto outcomes = set.measure({rom}, false);
        return outcomes.size() == 1 && outcomes[0].state == ThermometerOutcome::State::Measured;
    });
}

void BM_Measure1820(benchmark::State& state) {
    W1BenchRig rig;
    Thermometers thermometers(rig.core);
    const int index = rig.indexOf(device_group::kDs18B20);
    Measure(state, rig, [&] { return thermometers.Measure1820(index) == kMeasured; });
}

void BM_ThresholdWrite(benchmark::State& state) {
    W1BenchRig rig;
    Thermometers thermometers(rig.core);
    const int index = rig.indexOf(device_group::kDs18B20);
    Measure(state, rig,
            [&] { return thermometers.wrscr1820(30, 10, index) == ThresholdWrite::Verified; });
}

// The multisensor of the demo bench and its core.
struct HltBenchRig : W1BenchRig {
    HltBenchRig() {
        hltState.curIndxHLT = index;
        if (index >= 0) {
            const auto& words = core.Asens[static_cast<size_t>(index)].ROM;
            std::copy(words.begin(), words.end(), rom.begin());
        }
    }
    int16_t index = static_cast<int16_t>(indexOf(device_group::kHlt));
    NoPoll poll{core};
    HltState hltState;
    HltCore hlt{core, poll, hltState};
    RomCode rom{};
};

void BM_HltPageWrite(benchmark::State& state) {
    HltBenchRig rig;
    const std::array<uint8_t, kHltPageSize> bytes{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    Measure(state, rig, [&] { return rig.hlt.Write_HLT_Page(4, bytes, rig.rom); });
}

void BM_HltPageRead(benchmark::State& state) {
    HltBenchRig rig;
    std::array<int16_t, 9> words{};
    std::copy(rig.rom.begin(), rig.rom.end(), words.begin());
    ds2438::PageRead page{};
    Measure(state, rig, [&] {
        return rig.driver.TMRom(rig.core.SHandle, rig.core.StateBuf, words) > 0 &&
               rig.hlt.Read_HLT_Page(4, page);
    });
}

BENCHMARK(BM_Search)->UseManualTime()->Iterations(200);
BENCHMARK(BM_WholeBusSearch)->UseManualTime()->Iterations(200);
BENCHMARK(BM_ThermometerSetOne)->UseManualTime()->Iterations(200);
BENCHMARK(BM_Measure1820)->UseManualTime()->Iterations(200);
BENCHMARK(BM_ThresholdWrite)->UseManualTime()->Iterations(100);
BENCHMARK(BM_HltPageWrite)->UseManualTime()->Iterations(100);
BENCHMARK(BM_HltPageRead)->UseManualTime()->Iterations(200);

}  // namespace
}  // namespace velgrin::bench

BENCHMARK_MAIN();
