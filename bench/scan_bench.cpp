// Wall time of one full poll cycle's session and search over simulated benches, beside the time
// the same work takes on a real 1-Wire bus at standard speed.
#include <benchmark/benchmark.h>

#include "bench_support.h"

namespace velgrin::bench {
namespace {

void BM_ScanNetwork(benchmark::State& state) {
    ScanRig rig(static_cast<int>(state.range(0)));
    uint64_t busUs = 0;
    for (auto _ : state) {
        const uint64_t before = rig.bench->bus().busTimeUs();
        const auto outcome = rig.core.ScanSessionAndSearch();
        busUs = rig.bench->bus().busTimeUs() - before;
        if (outcome.result != 1 || rig.core.FoundDev != state.range(0)) {
            state.SkipWithError("the scan did not find every device");
            break;
        }
    }
    state.counters["devices"] = static_cast<double>(state.range(0));
    state.counters["bus_ms_per_scan"] = static_cast<double>(busUs) / 1000.0;
}
BENCHMARK(BM_ScanNetwork)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velgrin::bench

BENCHMARK_MAIN();
