#pragma once

#include "thermo/thermometer_steps.h"
#include "wire/bus_core.h"

namespace velgrin {

// The thermometer steps through the driver's calls on the core's current session: each call
// takes the session as it is then, since a rescan during a wait starts a new one.
class SessionBus final : public ThermometerBus {
  public:
    explicit SessionBus(BusCore& core) : core_(core) {}

    WireResult<bool> touchBit(bool bit) override;
    WireResult<uint8_t> touchByte(uint8_t byte) override;
    // In one driver call, so that the adapter keeps the block whole.
    WireResult<void> touchBlock(std::span<uint8_t> bytes) override;
    WireResult<void> armStrongPullup(PullupTrigger trigger) override;
    WireResult<void> setNormalLevel() override;
    std::chrono::milliseconds planPullup(std::chrono::milliseconds hold) override;
    bool singleSlots() const override;

  private:
    WireResult<void> level(int16_t level, int16_t prime);
    // The driver keeps a failure's message, not its code; whether the adapter lacks the
    // strong pull-up it says itself.
    WireError failure(int16_t result, bool pullupAsked);

    BusCore& core_;
};

}  // namespace velgrin
