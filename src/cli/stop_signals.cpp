#include "cli/stop_signals.h"

#include <signal.h>

#include <algorithm>

namespace velgrin::cli {

namespace {

volatile sig_atomic_t stopRequested = 0;
struct sigaction previousInterrupt {};
struct sigaction previousTerminate {};

void RequestStop(int signal) {
    if (stopRequested != 0) {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    stopRequested = 1;
}

// The slice a stoppable wait sleeps at a time: well below the second a stop may take.
constexpr uint32_t kWaitSliceMs = 50;

}  // namespace

StopSignals::StopSignals() {
    stopRequested = 0;
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &previousInterrupt);
    ::sigaction(SIGTERM, &action, &previousTerminate);
}

StopSignals::~StopSignals() {
    ::sigaction(SIGINT, &previousInterrupt, nullptr);
    ::sigaction(SIGTERM, &previousTerminate, nullptr);
}

bool StopRequested() {
    return stopRequested != 0;
}

void WaitUnlessStopped(TimeBase& time, uint32_t ms) {
    while (ms > 0 && !StopRequested()) {
        const uint32_t slice = std::min(ms, kWaitSliceMs);
        time.pass(static_cast<uint64_t>(slice) * 1000);
        ms -= slice;
    }
}

}  // namespace velgrin::cli
