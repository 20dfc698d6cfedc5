#pragma once

#include <memory>
#include <string>

#include "cli/console_host.h"
#include "cli/exit_status.h"
#include "cli/time_base.h"
#include "wire/bus_core.h"
#include "wire/port_registry.h"
#include "wire/tmex.h"

namespace velgrin::sim {
class SimBench;
}

namespace velgrin::cli {

// The most wall time the repeats of one command may add to it, over all its transactions.
inline constexpr uint32_t kCommandRepeatMs = 20000;

// The port the command line names, opened for one command: the driver with that port as its
// default, the bus core, and a console host on the port's time base (virtual for a simulated
// bench).
class BenchSession {
  public:
    // A port text that cannot be used is a usage error that says why.
    static CliResult<std::unique_ptr<BenchSession>> Open(const std::string& portText,
                                                         const PortSettings& settings = {});

    // True when the port text names a simulated bench.
    static bool NamesSimulatedBench(const std::string& portText);

    // One poll's session and search; a failure says in English what the status line would, or
    // why the search could not list the bus.
    CliResult<void> Scan();
    // Scans until two searches in a row list the same devices, as often as the retry rule
    // allows: a garbled bit can drop a branch of the search without any impossible answer,
    // which only a second search shows. A failure when the bus never gave the same list twice.
    CliResult<void> ScanConfirmed();

    // Why the driver's last call failed, in English.
    const std::string& driverError() const { return driver_.lastError(); }
    BusCore& core() { return core_; }
    ConsoleHost& host() { return host_; }
    TimeBase& time() { return *time_; }
    // The simulated bench behind the port once a session has opened it; null otherwise.
    sim::SimBench* simulatedBench();

  private:
    BenchSession(std::unique_ptr<TimeBase> time, PortSpec spec, const PortSettings& settings);

    std::unique_ptr<TimeBase> time_;
    ConsoleHost host_;
    TmexDriver driver_;
    BusCore core_;
};

}  // namespace velgrin::cli
