#include "wire/sim/sim_backend.h"

#include "wire/sim/bench_file.h"
#include "wire/sim/sim_link.h"
#include "wire/tmex.h"

namespace velgrin::sim {

namespace {

WireResult<std::shared_ptr<SimBench>> BenchFor(const PortSpec& spec, const Clock& clock) {
    if (spec.argument.empty()) {
        return MakeDemoBench(clock);
    }
    return LoadBenchFile(spec.argument, clock);
}

}  // namespace

PortBackend SimBackend(const Clock& clock) {
    PortBackend backend;
    backend.kind = "sim";
    backend.description = "simulated bench (sim: the built-in demo bench, sim:FILE a bench file)";
    backend.portType = kSimulatedPortType;
    backend.check = [&clock](const PortSpec& spec) -> WireResult<void> {
        if (spec.argument.empty()) {
            return {};
        }
        auto bench = LoadBenchFile(spec.argument, clock);
        if (!bench) {
            return bench.error();
        }
        return {};
    };
    backend.makeLink = [&clock](const PortSpec& spec) -> WireResult<std::unique_ptr<Link>> {
        auto bench = BenchFor(spec, clock);
        if (!bench) {
            return bench.error();
        }
        return std::unique_ptr<Link>(std::make_unique<SimLink>(*bench));
    };
    return backend;
}

}  // namespace velgrin::sim
