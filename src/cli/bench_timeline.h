#pragma once

#include <cstdint>

#include "cli/bench_session.h"

namespace velgrin::cli {

// How often the commands that watch the bus poll it.
inline constexpr uint32_t kPollPeriodMs = 1000;

// A simulated bench whose timeline has run out changes no more; a watch without an end stops
// there rather than polling an unchanging bench for ever on its virtual clock.
bool BenchAtRest(BenchSession& session);

// Every poll of a simulated bench between two timeline events finds the same bench. A watch
// without an end moves its virtual clock on to the poll before the next event instead of
// polling through, say, eleven days of nothing at full speed.
void SkipQuietTime(BenchSession& session);

}  // namespace velgrin::cli
