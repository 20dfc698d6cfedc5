// How long measuring N thermometers takes against the physical limit: the longest conversion
// (750 ms at 12 bits) plus the bus time of reading each one (reset, Match ROM, Read Scratchpad
// and nine bytes at standard speed). Externally powered 12-bit DS18B20s, measured together and
// one by one:
//  - on the simulated bench, on a virtual clock that its waits and its bus-time counter move on;
//  - over the DS2480B emulator in timing mode at 115200 baud, on the real clock: wall time of
//    the measurement in process, and of a whole `velgrin-cli temp` run (session, confirmed scan,
//    measurement) against the same emulator.
// Arguments: device counts (default 1 5 20 50); --no-one-by-one skips the slow sequence on the
// emulator, --no-cli the tool runs; the emulator's figures of the set are the median of three
// runs (--once: one).
#include <sys/wait.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "cli/console_host.h"
#include "cli/thermometer_reading.h"
#include "cli/time_base.h"
#include "common/number_text.h"
#include "ds2480b_emu/ds2480b_emulator.h"
#include "thermo/thermometer_set.h"
#include "wire/ds2480b/ds2480b_backend.h"
#include "wire/sim/sim_ds18b20.h"

namespace velgrin::bench {
namespace {

using cli::Sequence;

// Reset, Match ROM (9 bytes), Read Scratchpad and its 9 bytes.
constexpr uint64_t kReadBusUs = sim::kResetUs + 19 * 8 * sim::kSlotUs;

double LimitMs(int devices) {
    return kLongestConversionMs + static_cast<double>(devices) * kReadBusUs / 1000.0;
}

std::string Fixed(double value, int decimals) {
    return FormatFixedDot(value, decimals);
}

// With `idChip` the bus also holds an adapter's serial-number chip, as many DS9097U-type
// adapters do, so that Convert T must go to each thermometer by Match ROM.
void AttachThermometers(sim::SimBench& bench, int devices, bool idChip) {
    if (idChip) {
        bench.bus().attach(std::make_unique<sim::PlainRomDevice>(SerialRom(0x81, 0x24A1C3)));
    }
    for (int i = 0; i < devices; ++i) {
        auto device = std::make_unique<sim::Ds18b20Device>(
            SerialRom(0x28, 0x9E3779B97F4Aull * static_cast<uint64_t>(i + 1)));
        device->setTemperature(sim::SimValue::Constant(20 + i / 16.0));
        bench.bus().attach(std::move(device));
    }
}

std::vector<int> ThermometerIndexes(const BusCore& core) {
    std::vector<int> indexes;
    for (int i = 0; i < core.FoundDev; ++i) {
        if (core.Asens[static_cast<size_t>(i)].Family == device_group::kDs18B20) {
            indexes.push_back(i);
        }
    }
    return indexes;
}

bool AllMeasured(const std::vector<cli::ThermometerReading>& readings, int devices) {
    int measured = 0;
    for (const auto& reading : readings) {
        measured += reading.state == cli::ThermometerReading::State::Measured ? 1 : 0;
    }
    return measured == devices;
}

// A host on a virtual clock that the bus time moves on: every look at the time first adds the
// bus time used since the last one, so the clock reads what an ideal adapter would take. A
// busy-wait pass with no bus traffic takes a millisecond, as the console host's does.
class BusTimedHost final : public QuietHost {
  public:
    BusTimedHost(VirtualClock& clock, const sim::SimBus& bus)
        : QuietHost(clock), clock_(clock), bus_(bus) {}
    uint32_t tickCount() override {
        sync();
        return static_cast<uint32_t>(clock_.nowMs());
    }
    void sleep(uint32_t ms) override {
        sync();
        clock_.advanceMs(ms);
    }
    void yieldBusyWait() override {
        if (!sync()) {
            clock_.advanceMs(1);
        }
    }

    // Adds the bus time since the last call; false when there was none.
    bool sync() {
        const uint64_t bus = bus_.busTimeUs();
        const bool moved = bus != counted_;
        clock_.advanceUs(bus - counted_);
        counted_ = bus;
        return moved;
    }

  private:
    VirtualClock& clock_;
    const sim::SimBus& bus_;
    uint64_t counted_ = 0;
};

// Milliseconds on that clock for the measurement, after a scan.
double SimulatedMs(int devices, Sequence sequence, bool idChip = false) {
    VirtualClock clock;
    auto bench = std::make_shared<sim::SimBench>(clock);
    AttachThermometers(*bench, devices, idChip);
    BusTimedHost host(clock, bench->bus());
    TmexDriver driver(ScanRig::Registry(bench), PortSpec{"bench", ""});
    BusCore core(driver, host);
    (void)core.ScanSessionAndSearch();
    host.sync();
    const uint64_t before = clock.nowUs();
    const auto readings = cli::MeasureThermometers(core, ThermometerIndexes(core), sequence);
    host.sync();
    return AllMeasured(readings, devices) ? static_cast<double>(clock.nowUs() - before) / 1000.0
                                          : -1;
}

// A bench of thermometers on the real clock behind the emulator in timing mode.
struct TimedEmulator {
    TimedEmulator(int devices, bool idChip) {
        AttachThermometers(*bench, devices, idChip);
        ds2480b::EmulatorOptions options;
        options.timing = true;
        emulator = std::make_unique<ds2480b::Ds2480bEmulator>(bench, options);
        started = bool(emulator->start());
    }
    SteadyClock clock;
    std::shared_ptr<sim::SimBench> bench = std::make_shared<sim::SimBench>(clock);
    std::unique_ptr<ds2480b::Ds2480bEmulator> emulator;
    bool started = false;
};

// Wall milliseconds of the measurement alone, after a scan.
double EmulatedMs(int devices, Sequence sequence, bool idChip = false) {
    TimedEmulator timed(devices, idChip);
    if (!timed.started) {
        return -1;
    }
    auto time = cli::TimeBase::Real();
    cli::ConsoleHost host(*time);
    PortRegistry registry;
    registry.add(ds2480b::Ds2480bBackend({}));
    TmexDriver driver(std::move(registry), PortSpec{"ds2480b", timed.emulator->clientPath()});
    BusCore core(driver, host);
    (void)core.ScanSessionAndSearch();
    if (core.FoundDev != devices + (idChip ? 1 : 0)) {
        return -1;
    }
    const auto start = std::chrono::steady_clock::now();
    const auto readings = cli::MeasureThermometers(core, ThermometerIndexes(core), sequence);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    return AllMeasured(readings, devices) ? took.count() : -1;
}

// Wall milliseconds of `velgrin-cli --port ds2480b:PTY temp [--one-by-one]`.
double ToolMs(int devices, bool oneByOne) {
    TimedEmulator timed(devices, false);
    if (!timed.started) {
        return -1;
    }
    const std::string command = std::string(VELGRIN_CLI_PATH) +
                                " --port ds2480b:" + timed.emulator->clientPath() + " temp" +
                                (oneByOne ? " --one-by-one" : "") + " > /dev/null";
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? took.count() : -1;
}

// The median of `runs` runs of `measure` (wall times vary with the machine's load); -1 when one
// of them failed.
template <typename Measure>
double Median(int runs, Measure&& measure) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double ms = measure();
        if (ms < 0) {
            return -1;
        }
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::string Cell(double ms, double limitMs) {
    if (ms < 0) {
        return "failed";
    }
    return Fixed(ms, 1) + " ms (" + Fixed(ms / limitMs, 3) + "x)";
}

}  // namespace
}  // namespace velgrin::bench

int main(int argc, char** argv) {
    using namespace velgrin::bench;
    using velgrin::cli::Sequence;
    std::vector<int> counts;
    bool oneByOne = true;
    bool tool = true;
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--no-one-by-one") {
            oneByOne = false;
        } else if (word == "--no-cli") {
            tool = false;
        } else if (word == "--once") {
            runs = 1;
        } else {
            int count = 0;
            const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), count);
            if (ec != std::errc() || end != word.data() + word.size() || count < 1 || count > 99) {
                std::fprintf(
                    stderr,
                    "usage: velgrin-temp-bench [--no-one-by-one] [--no-cli] [--once] [N...]\n");
                return 2;
            }
            counts.push_back(count);
        }
    }
    if (counts.empty()) {
        counts = {1, 5, 20, 50};
    }
    std::printf("externally powered 12-bit DS18B20; limit = 750 ms + N x %s ms of reads\n",
                Fixed(kReadBusUs / 1000.0, 2).c_str());
    for (const int n : counts) {
        const double limit = LimitMs(n);
        std::printf("\nN = %d, limit %s ms\n", n, Fixed(limit, 1).c_str());
        std::printf("  simulated bench (bus-time clock): together %s, one by one %s\n",
                    Cell(SimulatedMs(n, Sequence::Together), limit).c_str(),
                    Cell(SimulatedMs(n, Sequence::OneByOne), limit).c_str());
        std::printf("  simulated bench with an ID chip (Match ROM each): together %s\n",
                    Cell(SimulatedMs(n, Sequence::Together, true), limit).c_str());
        std::printf(
            "  DS2480B emulator, timing, 115200, measurement: together %s, with an ID "
            "chip (Match ROM each) %s",
            Cell(Median(runs, [n] { return EmulatedMs(n, Sequence::Together); }), limit).c_str(),
            Cell(Median(runs, [n] { return EmulatedMs(n, Sequence::Together, true); }), limit)
                .c_str());
        if (oneByOne) {
            std::printf(", one by one %s", Cell(EmulatedMs(n, Sequence::OneByOne), limit).c_str());
        }
        std::printf("\n");
        if (tool) {
            std::printf("  DS2480B emulator, timing, 115200, whole `velgrin-cli temp`: together %s",
                        Cell(Median(runs, [n] { return ToolMs(n, false); }), limit).c_str());
            if (oneByOne) {
                std::printf(", --one-by-one %s", Cell(ToolMs(n, true), limit).c_str());
            }
            std::printf("\n");
        }
        std::fflush(stdout);
    }
    return 0;
}
