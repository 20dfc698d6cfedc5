#pragma once

#include <cstdint>
#include <limits>

#include "common/host.h"

namespace velgrin {

// What one attempt of a bus transaction came to.
enum class Attempt {
    Done,        // it achieved what it was meant to
    Repeatable,  // a reply failed its CRC or its read-back, or a step failed: safe to run again
                 // from a bus reset
    Final,       // repeating cannot mend it, or must not be tried
};

// How often a transaction that ended Repeatable is run again. A noisy line costs a few repeats;
// a device or adapter that is gone fails after a bounded count and time. The same rule governs
// the thermometer and multisensor sequences and the bus search.
inline constexpr int kTransactionAttempts = 6;
// No further attempt starts once this much time has passed since the first one began.
inline constexpr uint32_t kTransactionWindowMs = 6000;

class RetryRule {
  public:
    // True when an attempt may follow `made` attempts that began `elapsedMs` ago.
    static constexpr bool Allows(int made, uint32_t elapsedMs) {
        return made < kTransactionAttempts && elapsedMs < kTransactionWindowMs;
    }

    // A command may spend at most `ms` of its wall time on repeats, over all its transactions.
    void limitRepeatsTo(uint32_t ms) {
        repeatAllowanceMs_ = ms;
        repeatSpentMs_ = 0;
    }
    uint32_t repeatSpentMs() const { return repeatSpentMs_; }

    // Runs `attempt` until it ends Done or Final or the rule allows no further one, and gives
    // the last attempt's end. `beforeRepeat` runs between attempts (a pause, a rescan).
    template <typename RunAttempt, typename BeforeRepeat>
    Attempt run(Host& host, RunAttempt&& attempt, BeforeRepeat&& beforeRepeat) {
        const uint32_t start = host.tickCount();
        Attempt end = attempt();
        for (int made = 1; end == Attempt::Repeatable; ++made) {
            const uint32_t elapsed = host.tickCount() - start;
            if (!Allows(made, elapsed) || repeatSpentMs_ >= repeatAllowanceMs_) {
                break;
            }
            const uint32_t repeatStart = host.tickCount();
            const uint32_t spentBefore = repeatSpentMs_;
            beforeRepeat();
            end = attempt();
            // A run nested in the attempt counted its own repeats, which lie within this one.
            repeatSpentMs_ = spentBefore + (host.tickCount() - repeatStart);
        }
        return end;
    }

    template <typename RunAttempt>
    Attempt run(Host& host, RunAttempt&& attempt) {
        return run(host, attempt, [] {});
    }

  private:
    uint32_t repeatAllowanceMs_ = std::numeric_limits<uint32_t>::max();
    uint32_t repeatSpentMs_ = 0;
};

// The end of an attempt that either worked or may be run again.
inline Attempt DoneOr(bool done) {
    return done ? Attempt::Done : Attempt::Repeatable;
}

}  // namespace velgrin
