// The DS2482 backend through the real i2c-dev calls against the chip model on umockdev's
// mocked I2C bus, with the model keeping the I2C bus's time at a given clock (100 or 400 kHz)
// and each 1-Wire command keeping the chip busy for its 1-Wire time: a full search of the
// bench (first and next until none is left) in wall time and in the I2C bus's own time
// (its transfers back to back, polling included), beside the 1-Wire bus time, and I2C
// transactions per device. Arguments: I2C clock (Hz), devices on the bench; clock 0 is the
// mock without timing (the chip busy for one status read per command): what umockdev and the
// test process cost per transaction.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>

#include "bench_support.h"
#include "ds2482_model/mock_i2c_bus.h"
#include "wall_timed.h"
#include "wire/ds2482/ds2482_backend.h"
#include "wire/ds2482/ds2482_link.h"
#include "wire/sim/sim_models.h"

namespace velgrin::bench {
namespace {

using ds2482::Ds2482Link;
using ds2482::MockI2cBus;

constexpr uint8_t kAddress = 0x18;

struct I2cRig {
    I2cRig(uint32_t clockHz, int devices) : expected(devices) {
        std::string pattern = std::filesystem::temp_directory_path() / "velgrin-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            error = "no temporary directory for the lock file";
            return;
        }
        lockDirectory = pattern;
        for (int i = 0; i < devices; ++i) {
            bench->bus().attach(sim::MakeDevice(
                "DS18B20", SerialRom(0x28, 0x9E3779B97F4Aull * static_cast<uint64_t>(i + 1))));
        }
        i2c.plug(kAddress, ds2482::Variant::Ds2482_100, bench);
        PortRegistry registry;
        ds2482::Ds2482BackendOptions options;
        options.lockDirectory = lockDirectory;
        registry.add(ds2482::Ds2482Backend(clock, options));
        driver =
            std::make_unique<TmexDriver>(std::move(registry), PortSpec{"ds2482", i2c.device()});
        handle = driver->TMExtendedStartSession(1, kI2cPortType);
        // The first search opens the chip, without the model's timing.
        if (handle <= 0 || search() != devices || link() == nullptr) {
            error = "the warm-up search did not reach every device: " + driver->lastError();
        }
        i2c.setTiming(ds2482::I2cTiming{clockHz, true});
    }
    ~I2cRig() {
        driver.reset();
        if (!lockDirectory.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(lockDirectory, ignored);
        }
    }

    // Devices found by one full search; -1 on an error.
    int search() {
        TmexState state;
        int found = 0;
        for (int16_t r = driver->TMFirst(handle, state); r != 0;
             r = driver->TMNext(handle, state)) {
            if (r < 0) {
                return -1;
            }
            ++found;
        }
        return found;
    }
    Ds2482Link* link() { return dynamic_cast<Ds2482Link*>(driver->link()); }

    VirtualClock clock;
    std::shared_ptr<sim::SimBench> bench = std::make_shared<sim::SimBench>(clock);
    std::string lockDirectory;
    MockI2cBus i2c;
    std::unique_ptr<TmexDriver> driver;
    int32_t handle = 0;
    int expected;
    std::string error;
};

void BM_Ds2482Search(benchmark::State& state) {
    I2cRig rig(static_cast<uint32_t>(state.range(0)), static_cast<int>(state.range(1)));
    if (!rig.error.empty()) {
        state.SkipWithError(rig.error.c_str());
        return;
    }
    const auto before = rig.link()->stats();
    const uint64_t busBefore = rig.bench->bus().busTimeUs();
    const uint64_t i2cBefore = rig.i2c.timelineUs();
    const auto timed = TimeEachIteration(
        state, [&] { return rig.search() == rig.expected; },
        "the search did not find every device");
    if (!timed) {
        return;
    }
    const double wallUs = *timed;
    const auto after = rig.link()->stats();
    const auto busUs = static_cast<double>(rig.bench->bus().busTimeUs() - busBefore);
    const auto i2cUs = static_cast<double>(rig.i2c.timelineUs() - i2cBefore);
    const auto transactions = static_cast<double>(after.transactions - before.transactions);
    state.counters["transactions"] = PerIteration(transactions);
    state.counters["transactions_per_device"] = PerIteration(transactions / rig.expected);
    state.counters["wall_ms"] = PerIteration(wallUs / 1000.0);
    state.counters["i2c_ms"] = PerIteration(i2cUs / 1000.0);
    state.counters["bus_ms"] = PerIteration(busUs / 1000.0);
    state.counters["wall_per_bus"] = busUs > 0 ? wallUs / busUs : 0.0;
    state.counters["i2c_per_bus"] = busUs > 0 ? i2cUs / busUs : 0.0;
    state.counters["recoveries"] = static_cast<double>(rig.link()->recoveries());
}

BENCHMARK(BM_Ds2482Search)
    ->ArgsProduct({{0, 100'000, 400'000}, {1, 10, 20}})
    ->ArgNames({"i2c_hz", "devices"})
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velgrin::bench

BENCHMARK_MAIN();
