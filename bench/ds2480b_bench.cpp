// The DS2480B backend against the emulator in its timing mode, which answers as late as a real
// adapter: serial round trips, bytes each way and wall time of one full scan (session and
// search) and of one thermometer measurement without its conversion wait, beside the 1-Wire bus
// time of the same work on the simulated bus. Arguments: serial rate, devices on the bench.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench_support.h"
#include "ds2480b_emu/ds2480b_emulator.h"
#include "thermo/thermometers.h"
#include "wall_timed.h"
#include "wire/ds2480b/ds2480b_backend.h"
#include "wire/sim/sim_models.h"

namespace velgrin::bench {
namespace {

using ds2480b::Ds2480bEmulator;
using ds2480b::Ds2480bLink;

struct SerialRig {
    SerialRig(uint32_t baud, int devices) : expected(devices) {
        for (int i = 0; i < devices; ++i) {
            bench->bus().attach(sim::MakeDevice(
                "DS18B20", SerialRom(0x28, 0x9E3779B97F4Aull * static_cast<uint64_t>(i + 1))));
        }
        ds2480b::EmulatorOptions timed;
        timed.timing = true;
        emulator = std::make_unique<Ds2480bEmulator>(bench, timed);
        if (auto started = emulator->start(); !started) {
            error = started.error().message;
            return;
        }
        ds2480b::Ds2480bOptions options;
        options.fasterBaud = baud;
        PortRegistry registry;
        registry.add(ds2480b::Ds2480bBackend(options));
        driver = std::make_unique<TmexDriver>(std::move(registry),
                                              PortSpec{"ds2480b", emulator->clientPath()});
        core = std::make_unique<BusCore>(*driver, host);
        // The first scan opens the port and synchronises the adapter.
        (void)core->ScanSessionAndSearch();
        if (core->FoundDev != devices || link() == nullptr || link()->baud() != baud) {
            error = "the warm-up scan did not reach every device at the rate asked for";
        }
    }
    ~SerialRig() {
        core.reset();
        driver.reset();
    }

    Ds2480bLink* link() { return dynamic_cast<Ds2480bLink*>(driver->link()); }

    VirtualClock clock;
    QuietHost host{clock};
    std::shared_ptr<sim::SimBench> bench = std::make_shared<sim::SimBench>(clock);
    std::unique_ptr<Ds2480bEmulator> emulator;
    std::unique_ptr<TmexDriver> driver;
    std::unique_ptr<BusCore> core;
    int expected;
    std::string error;
};

// Runs `work` once per iteration and reports what it cost on the line and on the bus, averaged
// over the iterations; wall_per_bus is the total wall time over the total bus time.
template <typename Work>
void Measure(benchmark::State& state, SerialRig& rig, Work&& work) {
    if (!rig.error.empty()) {
        state.SkipWithError(rig.error.c_str());
        return;
    }
    const auto lineBefore = rig.link()->stats();
    const auto chipBefore = rig.emulator->counters();
    const auto timed = TimeEachIteration(state, work, "the work did not come out right");
    if (!timed) {
        return;
    }
    const double wallUs = *timed;
    const auto line = rig.link()->stats();
    const auto chip = rig.emulator->counters();
    const auto busUs = static_cast<double>(chip.busTimeUs - chipBefore.busTimeUs);
    state.counters["round_trips"] =
        PerIteration(static_cast<double>(line.roundTrips - lineBefore.roundTrips));
    state.counters["bytes_out"] =
        PerIteration(static_cast<double>(line.bytesSent - lineBefore.bytesSent));
    state.counters["bytes_in"] =
        PerIteration(static_cast<double>(line.bytesReceived - lineBefore.bytesReceived));
    state.counters["wall_ms"] = PerIteration(wallUs / 1000.0);
    state.counters["bus_ms"] = PerIteration(busUs / 1000.0);
    state.counters["wall_per_bus"] = busUs > 0 ? wallUs / busUs : 0.0;
    state.counters["resyncs"] = static_cast<double>(line.resyncs - lineBefore.resyncs);
    state.counters["overruns"] = static_cast<double>(chip.overruns - chipBefore.overruns);
}

void BM_Ds2480bScan(benchmark::State& state) {
    SerialRig rig(static_cast<uint32_t>(state.range(0)), static_cast<int>(state.range(1)));
    Measure(state, rig, [&] {
        return rig.core->ScanSessionAndSearch().result == 1 && rig.core->FoundDev == rig.expected;
    });
}

void BM_Ds2480bMeasure1820(benchmark::State& state) {
    SerialRig rig(static_cast<uint32_t>(state.range(0)), static_cast<int>(state.range(1)));
    Thermometers thermometers(*rig.core);
    // The conversion wait passes on the virtual clock, so only the bus traffic takes time.
    Measure(state, rig, [&] { return thermometers.Measure1820(0) == kMeasured; });
}

void Arguments(benchmark::internal::Benchmark* b) {
    for (int64_t baud : {9600, 115200}) {
        for (int64_t devices : {1, 10, 20}) {
            b->Args({baud, devices});
        }
    }
    b->ArgNames({"baud", "devices"})
        ->UseManualTime()
        ->Iterations(10)
        ->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Ds2480bScan)->Apply(Arguments);
BENCHMARK(BM_Ds2480bMeasure1820)->Apply(Arguments);

}  // namespace
}  // namespace velgrin::bench

BENCHMARK_MAIN();
