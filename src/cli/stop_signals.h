#pragma once

#include <cstdint>

#include "cli/time_base.h"

namespace velgrin::cli {

// SIGINT and SIGTERM while a command runs. The first one does not end the process wherever it
// happens to be (between a write and its read-back, half-way through a file): it asks the
// command to stop at its next safe point, which every long command reaches within a second. A
// second signal ends the process at once. The previous handlers come back with the object.
class StopSignals {
  public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
};

bool StopRequested();

// What a command that stopped early says.
inline constexpr const char* kStoppedBySignal = "stopped by a signal";

// Waits `ms` on the time base, ending early once a stop is requested.
void WaitUnlessStopped(TimeBase& time, uint32_t ms);

}  // namespace velgrin::cli
