#include "cli/bench_session.h"

#include <optional>
#include <vector>

#include "cli/english_text.h"
#include "cli/stop_signals.h"
#include "wire/sim/sim_link.h"

namespace velgrin::cli {

bool BenchSession::NamesSimulatedBench(const std::string& portText) {
    const auto spec = ParsePortSpec(portText);
    if (!spec) {
        return false;
    }
    VirtualClock unused;
    const PortRegistry registry = BuiltInPorts(unused);
    const PortBackend* backend = registry.find(spec->kind);
    return backend != nullptr && backend->portType == kSimulatedPortType;
}

CliResult<std::unique_ptr<BenchSession>> BenchSession::Open(const std::string& portText,
                                                            const PortSettings& settings) {
    auto time = NamesSimulatedBench(portText) ? TimeBase::Simulated() : TimeBase::Real();
    const auto spec = BuiltInPorts(time->clock(), settings).resolve(portText);
    if (!spec) {
        return UsageError(spec.error().message);
    }
    return std::unique_ptr<BenchSession>(new BenchSession(std::move(time), *spec, settings));
}

BenchSession::BenchSession(std::unique_ptr<TimeBase> time, PortSpec spec,
                           const PortSettings& settings)
    : time_(std::move(time)),
      host_(*time_),
      driver_(BuiltInPorts(time_->clock(), settings), std::move(spec)),
      core_(driver_, host_) {
    core_.retries.limitRepeatsTo(kCommandRepeatMs);
}

CliResult<void> BenchSession::Scan() {
    const ScanOutcome outcome = core_.ScanSessionAndSearch();
    if (core_.SHandle == tmex_error::kNoSuchPort) {
        // What the port names is no adapter of its kind (no serial port, no I2C bus): the
        // command line is wrong, whatever the bus does.
        return UsageError(driver_.lastError());
    }
    if (core_.SHandle == 0) {
        return DeviceError("the driver granted no session on this port; try again");
    }
    if (outcome.searchFailed) {
        return DeviceError("bus error: " + driver_.lastError() +
                           "; the device list would be incomplete");
    }
    if (outcome.result < 1) {
        std::string message = EnglishText(core_.stat11);
        if (!driver_.lastError().empty()) {
            message += " (" + driver_.lastError() + ")";
        }
        return DeviceError(message);
    }
    return {};
}

namespace {

// The devices of the last search and what their probes said, in order, with how many the bus
// holds beyond the table and the adapter's chip, which may be one of those.
std::vector<std::string> ListedDevices(const BusCore& core) {
    std::vector<std::string> listed{std::to_string(core.devicesOnBus) + " " + core.SNADAPTERS};
    for (int i = 0; i < core.FoundDev; ++i) {
        listed.push_back(core.Asens[static_cast<size_t>(i)].ROMS + " " +
                         core.subtypeNames[static_cast<size_t>(i)]);
    }
    return listed;
}

}  // namespace

CliResult<void> BenchSession::ScanConfirmed() {
    std::optional<std::vector<std::string>> previous;
    CliResult<void> last;
    bool stopped = false;
    const Attempt end = core_.retries.run(host_, [&] {
        if (StopRequested()) {
            stopped = true;
            return Attempt::Final;
        }
        last = Scan();
        if (!last) {
            previous.reset();
            return Attempt::Repeatable;
        }
        auto listed = ListedDevices(core_);
        if (previous == listed) {
            return Attempt::Done;
        }
        previous = std::move(listed);
        return Attempt::Repeatable;
    });
    if (end == Attempt::Done) {
        return {};
    }
    if (stopped) {
        return DeviceError(std::string(kStoppedBySignal) + " before the bus was listed");
    }
    if (!last) {
        return last;
    }
    return DeviceError(
        "bus error: searches in a row did not list the same devices twice, as "
        "often as they were repeated (a noisy line, or devices coming and going)");
}

sim::SimBench* BenchSession::simulatedBench() {
    auto* link = dynamic_cast<sim::SimLink*>(driver_.link());
    return link == nullptr ? nullptr : &link->bench();
}

}  // namespace velgrin::cli
