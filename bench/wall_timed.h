#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <optional>

namespace velgrin::bench {

// Runs `work` once per iteration on manual time. Gives the total wall time in microseconds, or
// nothing once `work` returned false (the state then carries `failure`).
template <typename Work>
std::optional<double> TimeEachIteration(benchmark::State& state, Work&& work, const char* failure) {
    double wallUs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!work()) {
            state.SkipWithError(failure);
            return std::nullopt;
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        wallUs += took.count() * 1e6;
    }
    return wallUs;
}

// A counter that reports `total` averaged over the iterations.
inline benchmark::Counter PerIteration(double total) {
    return benchmark::Counter(total, benchmark::Counter::kAvgIterations);
}

}  // namespace velgrin::bench
