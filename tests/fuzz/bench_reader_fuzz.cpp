// Bench descriptions as a user may hand them to --port sim:FILE: refused or loaded, never fatal.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/clock.h"
#include "wire/sim/bench_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velgrin::VirtualClock clock;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto bench = velgrin::sim::LoadBenchJson(text, "fuzz.json", clock);
    if (bench) {
        // A loaded bench runs its timeline without trouble.
        clock.advanceMs(1000);
        (*bench)->catchUp();
    }
    return 0;
}
