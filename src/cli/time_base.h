#pragma once

#include <cstdint>
#include <memory>

#include "common/clock.h"

namespace velgrin::cli {

// How time passes for the tool. On a real adapter it is the steady clock and a wait sleeps; on a
// simulated bench it is a virtual clock that a wait moves on, so a 1000 ms conversion costs no
// real time and a bench's timeline runs as fast as the tool can poll.
class TimeBase {
  public:
    virtual ~TimeBase() = default;
    virtual const Clock& clock() const = 0;
    virtual void pass(uint64_t us) = 0;

    static std::unique_ptr<TimeBase> Real();
    static std::unique_ptr<TimeBase> Simulated();
};

}  // namespace velgrin::cli
