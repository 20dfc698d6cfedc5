#include "cli/bench_timeline.h"

#include "wire/sim/sim_bench.h"

namespace velgrin::cli {

bool BenchAtRest(BenchSession& session) {
    const sim::SimBench* bench = session.simulatedBench();
    return bench != nullptr && bench->pendingEvents().empty();
}

void SkipQuietTime(BenchSession& session) {
    const sim::SimBench* bench = session.simulatedBench();
    if (bench == nullptr) {
        return;
    }
    const auto next = bench->nextEventMs();
    const uint64_t now = bench->elapsedMs();
    if (next && *next > now + 2 * kPollPeriodMs) {
        session.time().pass((*next - now - kPollPeriodMs) * 1000);
    }
}

}  // namespace velgrin::cli
