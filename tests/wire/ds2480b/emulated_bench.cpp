#include "emulated_bench.h"

#include <stdlib.h>
#include <unistd.h>

#include <stdexcept>

#include "bench_rig.h"
#include "wire/ds2480b/ds2480b_backend.h"
#include "wire/sim/bench_file.h"

namespace velgrin::ds2480b::testing {

namespace {

std::shared_ptr<sim::SimBench> Load(const std::string& json, const Clock& clock) {
    auto bench = sim::LoadBenchJson(json, "test bench", clock);
    if (!bench) {
        throw std::runtime_error(bench.error().message);
    }
    return *bench;
}

PortRegistry SerialRegistry(const Ds2480bOptions& options) {
    PortRegistry registry;
    registry.add(Ds2480bBackend(options));
    return registry;
}

}  // namespace

Ds2480bOptions PatientLink() {
    Ds2480bOptions options;
    options.replyMargin = std::chrono::milliseconds(3000);
    return options;
}

EmulatedBench::EmulatedBench(EmulatorOptions emulatorOptions, Ds2480bOptions linkOptions,
                             const std::string& benchJson)
    : linkOptions_(linkOptions) {
    char pattern[] = "/tmp/velgrin-ds2480b-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    directory = pattern;
    local = Load(benchJson, clock);
    served = Load(benchJson, clock);
    emulatorOptions.linkPath = directory + "/ttyDS2480B";
    emulator = std::make_unique<Ds2480bEmulator>(served, emulatorOptions);
    if (auto started = emulator->start(); !started) {
        throw std::runtime_error(started.error().message);
    }
    serialDriver = std::make_unique<TmexDriver>(SerialRegistry(linkOptions_),
                                                PortSpec{"ds2480b", emulator->clientPath()});
    localDriver =
        std::make_unique<TmexDriver>(velgrin::testing::BenchRegistry(local), PortSpec{"bench", ""});
    serial = std::make_unique<BusCore>(*serialDriver, host);
    inProcess = std::make_unique<BusCore>(*localDriver, host);
}

EmulatedBench::~EmulatedBench() {
    serial.reset();
    serialDriver.reset();
    emulator.reset();
    ::unlink((directory + "/ttyDS2480B").c_str());
    ::rmdir(directory.c_str());
}

Ds2480bLink* EmulatedBench::link() {
    return dynamic_cast<Ds2480bLink*>(serialDriver->link());
}

std::unique_ptr<TmexDriver> EmulatedBench::SecondDriver() const {
    return std::make_unique<TmexDriver>(SerialRegistry(linkOptions_),
                                        PortSpec{"ds2480b", emulator->clientPath()});
}

std::string ScanResult(const BusCore& core) {
    std::string text = "status '" + core.stat11 + "', adapter '" + core.Stat1 + "', " +
                       std::to_string(core.FoundDev) + " devices\n";
    for (int i = 0; i < core.FoundDev; ++i) {
        const auto& entry = core.Asens[static_cast<size_t>(i)];
        text += entry.ROMS + " group " + std::to_string(entry.Family) + "\n";
    }
    text += "type '" + core.TypeButtonString + "'\n";
    return text;
}

}  // namespace velgrin::ds2480b::testing
