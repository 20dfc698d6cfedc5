#pragma once

#include <cstdint>

namespace velgrin {

// What a bus sequence needs of the poll that surrounds it: the poll timer and a full poll cycle.
// The window implements it with its timer and its ScanNetwork; the command-line tool with a
// plain flag and a scan of its own.
class PollControl {
public:
    virtual ~PollControl() = default;
    virtual bool pollTimerEnabled() const = 0;
    virtual void setPollTimerEnabled(bool enabled) = 0;
    // One full poll cycle: session, search and view refresh. Returns the cycle's result.
    virtual int16_t ScanNetwork() = 0;
};

}  // namespace velgrin
