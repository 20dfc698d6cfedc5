// The DS2490 backend through the real libusb against the chip model on umockdev's mocked USB,
// with the model taking a given time per USB transfer plus each command's 1-Wire time: wall
// time of a full scan (session and search) and of a thermometer measurement without its
// conversion wait, beside the 1-Wire bus time, and USB transfers per device. Arguments: control
// and bulk transfer latency (µs), status read latency (µs), thermometers on the bench (beside the
// adapter's own ID chip, which every scan also finds). The model
// finishes each command within its control transfer, so status reads find it idle at once; a
// search whose codes fill the receive FIFO goes on within the transfer that drains it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "bench_support.h"
#include "ds2490_model/mock_usb_bus.h"
#include "thermo/thermometers.h"
#include "wall_timed.h"
#include "wire/ds2490/ds2490_backend.h"
#include "wire/sim/sim_models.h"

namespace velgrin::bench {
namespace {

using ds2490::Ds2490Link;
using ds2490::MockUsbBus;

struct UsbRig {
    UsbRig(int64_t transferUs, int64_t statusUs, int devices) : expected(devices + 1) {
        // Every DS9490 carries its own ID chip on the bus, so a scan always finds one more.
        bench->bus().attach(sim::MakeDevice("rom", SerialRom(0x81, 0x2490)));
        for (int i = 0; i < devices; ++i) {
            bench->bus().attach(sim::MakeDevice(
                "DS18B20", SerialRom(0x28, 0x9E3779B97F4Aull * static_cast<uint64_t>(i + 1))));
        }
        adapter = usb.plug(bench);
        PortRegistry registry;
        registry.add(ds2490::Ds2490Backend());
        driver = std::make_unique<TmexDriver>(std::move(registry), PortSpec{"usb", ""});
        core = std::make_unique<BusCore>(*driver, host);
        // The first scan opens the adapter, without the model's timing.
        (void)core->ScanSessionAndSearch();
        if (core->FoundDev != expected || link() == nullptr) {
            error = "the warm-up scan did not reach every device";
        }
        ds2490::MockTiming timing;
        timing.transfer = std::chrono::microseconds(transferUs);
        timing.statusRead = std::chrono::microseconds(statusUs);
        timing.busTime = true;
        usb.setTiming(timing);
    }
    ~UsbRig() {
        core.reset();
        driver.reset();
    }

    Ds2490Link* link() { return dynamic_cast<Ds2490Link*>(driver->link()); }
    uint64_t busUs() {
        uint64_t us = 0;
        usb.withChip(adapter, [&](ds2490::Ds2490Chip& chip) { us = chip.busTimeUs(); });
        return us;
    }

    VirtualClock clock;
    QuietHost host{clock};
    std::shared_ptr<sim::SimBench> bench = std::make_shared<sim::SimBench>(clock);
    MockUsbBus usb;
    size_t adapter = 0;
    std::unique_ptr<TmexDriver> driver;
    std::unique_ptr<BusCore> core;
    int expected;
    std::string error;
};

// Runs `work` once per iteration; counters are averages over the iterations, wall_per_bus the
// total wall time over the total bus time.
template <typename Work>
void Measure(benchmark::State& state, UsbRig& rig, Work&& work) {
    if (!rig.error.empty()) {
        state.SkipWithError(rig.error.c_str());
        return;
    }
    const auto usbBefore = rig.link()->stats();
    const uint64_t busBefore = rig.busUs();
    const auto timed = TimeEachIteration(state, work, "the work did not come out right");
    if (!timed) {
        return;
    }
    const double wallUs = *timed;
    const auto usb = rig.link()->stats();
    const auto busUs = static_cast<double>(rig.busUs() - busBefore);
    const auto transfers = static_cast<double>(usb.transfers() - usbBefore.transfers());
    state.counters["transfers"] = PerIteration(transfers);
    state.counters["transfers_per_device"] = PerIteration(transfers / rig.expected);
    state.counters["status_reads"] =
        PerIteration(static_cast<double>(usb.statusReads - usbBefore.statusReads));
    state.counters["wall_ms"] = PerIteration(wallUs / 1000.0);
    state.counters["bus_ms"] = PerIteration(busUs / 1000.0);
    state.counters["wall_per_bus"] = busUs > 0 ? wallUs / busUs : 0.0;
    // The adapter's own time: the latencies asked for plus the bus time, without what umockdev
    // and the test process add (the zero-latency rows show that).
    const auto statusReads = static_cast<double>(usb.statusReads - usbBefore.statusReads);
    const double modelUs = (transfers - statusReads) * static_cast<double>(state.range(0)) +
                           statusReads * static_cast<double>(state.range(1)) + busUs;
    state.counters["model_ms"] = PerIteration(modelUs / 1000.0);
    state.counters["model_per_bus"] = busUs > 0 ? modelUs / busUs : 0.0;
    state.counters["recoveries"] = static_cast<double>(rig.link()->recoveries());
}

void BM_Ds2490Scan(benchmark::State& state) {
    UsbRig rig(state.range(0), state.range(1), static_cast<int>(state.range(2)));
    Measure(state, rig, [&] {
        return rig.core->ScanSessionAndSearch().result == 1 && rig.core->FoundDev == rig.expected;
    });
}

void BM_Ds2490Measure1820(benchmark::State& state) {
    UsbRig rig(state.range(0), state.range(1), static_cast<int>(state.range(2)));
    Thermometers thermometers(*rig.core);
    // The conversion wait passes on the virtual clock, so only the USB and bus traffic takes time.
    Measure(state, rig, [&] { return thermometers.Measure1820(0) == kMeasured; });
}

void Arguments(benchmark::internal::Benchmark* b) {
    // No latency (what the mock costs), a transfer per 1 ms USB frame, and transfers within a
    // frame beside the 1 ms status poll.
    for (const auto& [transferUs, statusUs] :
         {std::pair<int64_t, int64_t>{0, 0}, {1000, 1000}, {250, 500}}) {
        for (int64_t devices : {1, 10, 20}) {
            b->Args({transferUs, statusUs, devices});
        }
    }
    b->ArgNames({"transfer_us", "status_us", "devices"})
        ->UseManualTime()
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Ds2490Scan)->Apply(Arguments);
BENCHMARK(BM_Ds2490Measure1820)->Apply(Arguments);

}  // namespace
}  // namespace velgrin::bench

BENCHMARK_MAIN();
