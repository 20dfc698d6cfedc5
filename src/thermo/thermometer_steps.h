#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "wire/link.h"
#include "wire/wire_error.h"

namespace velgrin {

namespace ds18x20_command {
inline constexpr uint8_t kConvertT = 0x44;
inline constexpr uint8_t kWriteScratchpad = 0x4E;
inline constexpr uint8_t kCopyScratchpad = 0x48;
inline constexpr uint8_t kReadScratchpad = 0xBE;
inline constexpr uint8_t kRecallE2 = 0xB8;
inline constexpr uint8_t kReadPowerSupply = 0xB4;
}  // namespace ds18x20_command

// The bus as a DS18x20 sequence uses it once the device is selected. The window reaches it
// through the driver's session calls, the command line straight through the link.
class ThermometerBus {
  public:
    virtual ~ThermometerBus() = default;
    virtual WireResult<bool> touchBit(bool bit) = 0;
    virtual WireResult<uint8_t> touchByte(uint8_t byte) = 0;
    // The bytes read replace the bytes sent.
    virtual WireResult<void> touchBlock(std::span<uint8_t> bytes) = 0;
    virtual WireResult<void> armStrongPullup(PullupTrigger trigger) = 0;
    virtual WireResult<void> setNormalLevel() = 0;
    // Before arming: how long the caller is to wait for a pull-up held for `hold`.
    virtual std::chrono::milliseconds planPullup(std::chrono::milliseconds hold) = 0;
    // Whether the adapter has single time slots.
    virtual bool singleSlots() const = 0;
};

class LinkThermometerBus final : public ThermometerBus {
  public:
    explicit LinkThermometerBus(Link& link) : link_(link) {}
    WireResult<bool> touchBit(bool bit) override { return link_.touchBit(bit); }
    WireResult<uint8_t> touchByte(uint8_t byte) override { return link_.touchByte(byte); }
    WireResult<void> touchBlock(std::span<uint8_t> bytes) override {
        return link_.touchBlock(bytes);
    }
    WireResult<void> armStrongPullup(PullupTrigger trigger) override {
        return link_.armStrongPullup(trigger);
    }
    WireResult<void> setNormalLevel() override { return link_.setNormalLevel(); }
    std::chrono::milliseconds planPullup(std::chrono::milliseconds hold) override {
        return link_.planPullup(hold);
    }
    bool singleSlots() const override { return link_.capabilities().bitAccess; }

  private:
    Link& link_;
};

// A read slot. Without single slots a byte of them stands for it: what a thermometer answers
// there (its power supply, a conversion running) holds for every slot until it changes, and a
// slot read as 1 makes the byte count as 1.
WireResult<bool> ReadSlot(ThermometerBus& bus);

// A function command byte; it counts only when it went out as sent (its echo is the line).
WireResult<void> SendCommand(ThermometerBus& bus, uint8_t command);

// Waits the milliseconds given.
using PullupWait = std::function<void(std::chrono::milliseconds)>;

// Convert T with the strong pull-up from right after the command byte, held for at least
// `hold` (through `wait`), then the normal level. An adapter without a strong pull-up fails
// before anything is sent (WireErrorCode::Unsupported, its message naming the limit).
WireResult<void> ConvertUnderPullup(ThermometerBus& bus, std::chrono::milliseconds hold,
                                    const PullupWait& wait);

// Copy Scratchpad to EEPROM likewise. A failure other than the pull-up's own may have left a
// copy running: it then had the whole wait on the pull-up all the same.
WireResult<void> CopyUnderPullup(ThermometerBus& bus, std::chrono::milliseconds hold,
                                 const PullupWait& wait);

// Read Power Supply: true when the selected device draws its power from the bus alone (it
// pulls the read slot low).
WireResult<bool> ParasitePowered(ThermometerBus& bus);

// Write Scratchpad with TH and TL: two data bytes on both families, so that a DS18B20 keeps
// its configuration register. With `configuration` (DS18B20 only) a third byte sets it.
WireResult<void> WriteScratchpad(ThermometerBus& bus, uint8_t th, uint8_t tl,
                                 std::optional<uint8_t> configuration = std::nullopt);

// Read Scratchpad: nine bytes whose CRC checks and that are not a line held low (nine zero
// bytes pass the CRC).
WireResult<std::array<uint8_t, 9>> ReadScratchpad(ThermometerBus& bus);

}  // namespace velgrin
