#pragma once

#include "wire/bus_core.h"
#include "wire/poll_control.h"

namespace velgrin::cli {

// The poll as a command-line tool has it: no timer, only the flag that a page write holds off
// and gives back, and the full session and search a page write's retry asks for.
class ScanPoll final : public PollControl {
  public:
    explicit ScanPoll(BusCore& core) : core_(core) {}

    bool pollTimerEnabled() const override { return enabled_; }
    void setPollTimerEnabled(bool enabled) override { enabled_ = enabled; }
    int16_t ScanNetwork() override { return core_.ScanSessionAndSearch().result; }

  private:
    BusCore& core_;
    bool enabled_ = true;
};

}  // namespace velgrin::cli
