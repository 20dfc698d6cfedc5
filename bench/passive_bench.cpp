// The passive serial backend against the emulator's passive adapter in its timing mode, whose
// echoes come as late as a real line's: round trips per device, wall time and the 1-Wire bus time
// of a full search of the bench, and the wall time the same search takes once each round trip
// pays an assumed 1 ms of USB-UART converter latency; block transfers beside the bus time of their
// slots. Arguments: devices on the bench; bytes per block.
// The Uart benchmarks run the same link over an in-process UART model on virtual time instead of
// a pseudo-terminal (which keeps 8 data bits whatever is asked): each character takes its line
// time at the data bits the UART accepts (6 for a 16550 and most USB-UARTs, 7 for FTDI, 8), and
// each round trip adds the stated latency. Their wall figures are that virtual time, so they are
// exact and the same on every machine. Arguments: the UART's smallest data bits; devices or
// bytes; latency per round trip in microseconds.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench_support.h"
#include "ds2480b_emu/ds2480b_emulator.h"
#include "passive_model/uart_port_model.h"
#include "wall_timed.h"
#include "wire/ds9097/ds9097_backend.h"
#include "wire/network.h"
#include "wire/sim/sim_models.h"

namespace velgrin::bench {
namespace {

// What a USB-UART converter adds to each round trip with its latency timer at 1 ms.
constexpr double kConverterLatencyUs = 1000;

struct PassiveRig {
    explicit PassiveRig(int devices) : expected(devices) {
        for (int i = 0; i < devices; ++i) {
            bench->bus().attach(sim::MakeDevice(
                "DS18B20", SerialRom(0x28, 0x9E3779B97F4Aull * static_cast<uint64_t>(i + 1))));
        }
        ds2480b::EmulatorOptions timed;
        timed.adapter = ds2480b::EmulatedAdapter::Passive;
        timed.timing = true;
        emulator = std::make_unique<ds2480b::Ds2480bEmulator>(bench, timed);
        if (auto started = emulator->start(); !started) {
            error = started.error().message;
            return;
        }
        auto made = ds9097::Ds9097Backend().makeLink(PortSpec{"ds9097", emulator->clientPath()});
        if (!made) {
            error = made.error().message;
            return;
        }
        link.reset(static_cast<ds9097::PassiveSerialLink*>(made->release()));
        if (auto opened = link->open(); !opened) {
            error = opened.error().message;
        }
    }

    // Every device found, each once.
    bool searchAll() { return SearchedDevices(*link) == expected; }

    VirtualClock clock;
    std::shared_ptr<sim::SimBench> bench = std::make_shared<sim::SimBench>(clock);
    std::unique_ptr<ds2480b::Ds2480bEmulator> emulator;
    std::unique_ptr<ds9097::PassiveSerialLink> link;
    int expected;
    std::string error;
};

// Runs `work` once per iteration and reports what it cost on the line and on the bus, averaged
// over the iterations; wall_per_bus is the total wall time over the total bus time.
template <typename Work>
void Measure(benchmark::State& state, PassiveRig& rig, int devices, Work&& work) {
    if (!rig.error.empty()) {
        state.SkipWithError(rig.error.c_str());
        return;
    }
    const auto lineBefore = rig.link->stats();
    const auto busBefore = rig.emulator->counters().busTimeUs;
    const auto timed = TimeEachIteration(state, work, "the work did not come out right");
    if (!timed) {
        return;
    }
    const double wallUs = *timed;
    const auto roundTrips =
        static_cast<double>(rig.link->stats().roundTrips - lineBefore.roundTrips);
    const auto busUs = static_cast<double>(rig.emulator->counters().busTimeUs - busBefore);
    const double latencyWallUs = wallUs + roundTrips * kConverterLatencyUs;
    state.counters["round_trips"] = PerIteration(roundTrips);
    if (devices > 0) {
        state.counters["trips_per_device"] = PerIteration(roundTrips / devices);
    }
    state.counters["wall_ms"] = PerIteration(wallUs / 1000.0);
    state.counters["bus_ms"] = PerIteration(busUs / 1000.0);
    state.counters["wall_per_bus"] = busUs > 0 ? wallUs / busUs : 0.0;
    state.counters["wall_1ms_latency_ms"] = PerIteration(latencyWallUs / 1000.0);
    state.counters["wall_1ms_per_bus"] = busUs > 0 ? latencyWallUs / busUs : 0.0;
}

void BM_PassiveSearch(benchmark::State& state) {
    const auto devices = static_cast<int>(state.range(0));
    PassiveRig rig(devices);
    Measure(state, rig, devices, [&] { return rig.searchAll(); });
}

void BM_PassiveBlock(benchmark::State& state) {
    PassiveRig rig(1);
    std::vector<uint8_t> block(static_cast<size_t>(state.range(0)));
    // Read slots: the lone device is not selected and leaves the line alone.
    Measure(state, rig, 0, [&] {
        std::fill(block.begin(), block.end(), 0xFF);
        return rig.link->touchBlock(block).ok();
    });
}

struct UartRig {
    UartRig(int smallestDataBits, int devices, uint64_t latencyUs) : expected(devices) {
        for (int i = 0; i < devices; ++i) {
            bench.bus().attach(sim::MakeDevice(
                "DS18B20", SerialRom(0x28, 0x9E3779B97F4Aull * static_cast<uint64_t>(i + 1))));
        }
        auto owned = std::make_unique<passive::UartPortModel>(
            bench, clock, passive::UartTraits{smallestDataBits, latencyUs});
        port = owned.get();
        link = std::make_unique<ds9097::PassiveSerialLink>(std::move(owned));
        if (auto opened = link->open(); !opened) {
            error = opened.error().message;
        }
    }

    VirtualClock clock;
    sim::SimBench bench{clock};
    passive::UartPortModel* port = nullptr;
    std::unique_ptr<ds9097::PassiveSerialLink> link;
    int expected;
    std::string error;
};

// Runs `work` once per iteration on the UART model's virtual time: uart_per_bus is the line and
// latency time over the 1-Wire bus time of the same resets and slots.
template <typename Work>
void MeasureUart(benchmark::State& state, UartRig& rig, int devices, Work&& work) {
    if (!rig.error.empty()) {
        state.SkipWithError(rig.error.c_str());
        return;
    }
    const auto tripsBefore = rig.link->stats().roundTrips;
    const auto busBefore = rig.bench.bus().busTimeUs();
    const auto timeBefore = rig.port->elapsedUs();
    for (auto _ : state) {
        const auto start = rig.port->elapsedUs();
        if (!work()) {
            state.SkipWithError("the work did not come out right");
            return;
        }
        state.SetIterationTime(static_cast<double>(rig.port->elapsedUs() - start) / 1e6);
    }
    const auto uartUs = static_cast<double>(rig.port->elapsedUs() - timeBefore);
    const auto busUs = static_cast<double>(rig.bench.bus().busTimeUs() - busBefore);
    const auto roundTrips = static_cast<double>(rig.link->stats().roundTrips - tripsBefore);
    state.counters["data_bits"] = rig.port->format().dataBits;
    state.counters["round_trips"] = PerIteration(roundTrips);
    if (devices > 0) {
        state.counters["trips_per_device"] = PerIteration(roundTrips / devices);
    }
    state.counters["uart_ms"] = PerIteration(uartUs / 1000.0);
    state.counters["bus_ms"] = PerIteration(busUs / 1000.0);
    state.counters["uart_per_bus"] = busUs > 0 ? uartUs / busUs : 0.0;
}

void BM_UartSearch(benchmark::State& state) {
    const auto devices = static_cast<int>(state.range(1));
    UartRig rig(static_cast<int>(state.range(0)), devices, static_cast<uint64_t>(state.range(2)));
    MeasureUart(state, rig, devices, [&] { return SearchedDevices(*rig.link) == rig.expected; });
}

void BM_UartBlock(benchmark::State& state) {
    UartRig rig(static_cast<int>(state.range(0)), 1, static_cast<uint64_t>(state.range(2)));
    std::vector<uint8_t> block(static_cast<size_t>(state.range(1)));
    MeasureUart(state, rig, 0, [&] {
        std::fill(block.begin(), block.end(), 0xFF);
        return rig.link->touchBlock(block).ok();
    });
}

BENCHMARK(BM_UartSearch)
    ->ArgNames({"data_bits", "devices", "latency_us"})
    ->ArgsProduct({{6, 7, 8}, {1, 10, 20}, {0, 1000}})
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UartBlock)
    ->ArgNames({"data_bits", "bytes", "latency_us"})
    ->ArgsProduct({{6, 7, 8}, {10, 32}, {0, 1000}})
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_PassiveSearch)
    ->ArgName("devices")
    ->Arg(1)
    ->Arg(10)
    ->Arg(20)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PassiveBlock)
    ->ArgName("bytes")
    ->Arg(1)
    ->Arg(10)
    ->Arg(32)
    ->UseManualTime()
    ->Iterations(50)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velgrin::bench

BENCHMARK_MAIN();
