// The serial backends through ser2net on loopback against the same emulator straight on its
// pseudo-terminal: wall time and round trips of a full search of the bench, and of a reset, a
// byte and a 10-byte block. The emulator answers as late as a real line would (its timing
// mode), so the difference between the two is what the network and the port server add.
// Arguments: the adapter (0 the DS2480B, 1 the passive adapter); 1 through ser2net, 0 direct;
// devices on the bench. BM_Overhead runs the emulator without its line timing: the software
// latency per round trip of the pseudo-terminal alone, and of ser2net and TCP on top of it.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "bench_support.h"
#include "ds2480b_emu/ds2480b_emulator.h"
#include "ser2net_server.h"
#include "wall_timed.h"
#include "wire/ds2480b/ds2480b_link.h"
#include "wire/ds9097/passive_link.h"
#include "wire/network.h"
#include "wire/port_registry.h"
#include "wire/sim/sim_models.h"

namespace velgrin::bench {
namespace {

struct NetRig {
    NetRig(bool passive, bool network, int devices, bool timing = true) : expected(devices) {
        for (int i = 0; i < devices; ++i) {
            bench->bus().attach(sim::MakeDevice(
                "DS18B20", SerialRom(0x28, 0x9E3779B97F4Aull * static_cast<uint64_t>(i + 1))));
        }
        char pattern[] = "/tmp/velgrin-net-bench-XXXXXX";
        directory = ::mkdtemp(pattern) != nullptr ? pattern : "/tmp";
        ds2480b::EmulatorOptions options;
        options.adapter =
            passive ? ds2480b::EmulatedAdapter::Passive : ds2480b::EmulatedAdapter::Ds2480b;
        options.timing = timing;
        options.linkPath = directory + "/tty";
        emulator = std::make_unique<ds2480b::Ds2480bEmulator>(bench, options);
        if (auto started = emulator->start(); !started) {
            error = started.error().message;
            return;
        }
        std::string argument = *options.linkPath;
        if (network) {
            try {
                server = std::make_unique<net_serial::testing::Ser2netServer>(argument, true);
            } catch (const std::exception& failed) {
                error = failed.what();
                return;
            }
            argument = server->address();
        }
        const PortRegistry registry = BuiltInPorts(clock);
        auto made = registry.find(passive ? "ds9097" : "ds2480b")
                        ->makeLink(PortSpec{passive ? "ds9097" : "ds2480b", argument});
        if (!made) {
            error = made.error().message;
            return;
        }
        link = std::move(*made);
        if (auto opened = link->open(); !opened) {
            error = opened.error().message;
        }
    }
    ~NetRig() {
        link.reset();
        server.reset();
        emulator.reset();
        std::filesystem::remove_all(directory);
    }

    uint64_t roundTrips() const {
        if (const auto* serial = dynamic_cast<const ds2480b::Ds2480bLink*>(link.get())) {
            return serial->stats().roundTrips;
        }
        return dynamic_cast<const ds9097::PassiveSerialLink&>(*link).stats().roundTrips;
    }

    bool searchAll() { return SearchedDevices(*link) == expected; }

    VirtualClock clock;
    std::shared_ptr<sim::SimBench> bench = std::make_shared<sim::SimBench>(clock);
    std::string directory;
    std::unique_ptr<ds2480b::Ds2480bEmulator> emulator;
    std::unique_ptr<net_serial::testing::Ser2netServer> server;
    std::unique_ptr<Link> link;
    int expected;
    std::string error;
};

template <typename Work>
void Measure(benchmark::State& state, NetRig& rig, Work&& work) {
    if (!rig.error.empty()) {
        state.SkipWithError(rig.error.c_str());
        return;
    }
    const auto before = rig.roundTrips();
    const auto timed = TimeEachIteration(state, work, "the work did not come out right");
    if (!timed) {
        return;
    }
    const auto roundTrips = static_cast<double>(rig.roundTrips() - before);
    state.counters["round_trips"] = PerIteration(roundTrips);
    state.counters["wall_ms"] = PerIteration(*timed / 1000.0);
    state.counters["us_per_trip"] = roundTrips > 0 ? *timed / roundTrips : 0.0;
}

void BM_Search(benchmark::State& state) {
    NetRig rig(state.range(0) != 0, state.range(1) != 0, static_cast<int>(state.range(2)));
    Measure(state, rig, [&] { return rig.searchAll(); });
}

void BM_ResetAndBlock(benchmark::State& state) {
    NetRig rig(state.range(0) != 0, state.range(1) != 0, 1);
    std::vector<uint8_t> block(10);
    Measure(state, rig, [&] {
        std::fill(block.begin(), block.end(), 0xFF);
        auto reset = rig.link->reset();
        auto byte = rig.link->touchByte(0xCC);
        return reset.ok() && byte.ok() && rig.link->touchBlock(block).ok();
    });
}

// The same without the line's time: what the pseudo-terminal, and ser2net and TCP, cost alone.
void BM_Overhead(benchmark::State& state) {
    NetRig rig(state.range(0) != 0, state.range(1) != 0, 1, false);
    std::vector<uint8_t> block(10);
    Measure(state, rig, [&] {
        std::fill(block.begin(), block.end(), 0xFF);
        auto reset = rig.link->reset();
        auto byte = rig.link->touchByte(0xCC);
        return reset.ok() && byte.ok() && rig.link->touchBlock(block).ok();
    });
}

BENCHMARK(BM_Search)
    ->ArgNames({"passive", "ser2net", "devices"})
    ->ArgsProduct({{0, 1}, {0, 1}, {10}})
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResetAndBlock)
    ->ArgNames({"passive", "ser2net"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->UseManualTime()
    ->Iterations(50)
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_Overhead)
    ->ArgNames({"passive", "ser2net"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->UseManualTime()
    ->Iterations(200)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velgrin::bench

BENCHMARK_MAIN();
