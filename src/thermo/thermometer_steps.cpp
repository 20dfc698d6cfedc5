#include "thermo/thermometer_steps.h"

#include <algorithm>

#include "common/crc.h"

namespace velgrin {

namespace {

WireError CommandGarbled() {
    return WireError{WireErrorCode::Protocol, "a command byte did not go out as sent"};
}

// Once the command byte may have gone out the device may be converting or copying on the
// pull-up's power, so the wait runs in full whatever the echo said.
WireResult<void> UnderPullup(ThermometerBus& bus, uint8_t command, bool primeOnNextBit,
                             std::chrono::milliseconds hold, const PullupWait& wait) {
    const auto waitFor = bus.planPullup(hold);
    if (auto armed = bus.armStrongPullup(PullupTrigger::AfterNextByte); !armed) {
        return armed.error();
    }
    WireResult<void> sent = SendCommand(bus, command);
    if (sent && primeOnNextBit) {
        // Nothing on the bus while the pull-up holds; through the driver it is also the check
        // that the adapter is still the one it was, before the wait rather than after it.
        sent = bus.armStrongPullup(PullupTrigger::AfterNextBit);
    }
    wait(waitFor);
    auto normal = bus.setNormalLevel();
    if (!sent) {
        return sent.error();
    }
    return normal;
}

}  // namespace

WireResult<void> SendCommand(ThermometerBus& bus, uint8_t command) {
    const auto echo = bus.touchByte(command);
    if (!echo) {
        return echo.error();
    }
    if (*echo != command) {
        return CommandGarbled();
    }
    return {};
}

WireResult<void> ConvertUnderPullup(ThermometerBus& bus, std::chrono::milliseconds hold,
                                    const PullupWait& wait) {
    return UnderPullup(bus, ds18x20_command::kConvertT, true, hold, wait);
}

WireResult<void> CopyUnderPullup(ThermometerBus& bus, std::chrono::milliseconds hold,
                                 const PullupWait& wait) {
    return UnderPullup(bus, ds18x20_command::kCopyScratchpad, false, hold, wait);
}

WireResult<bool> ReadSlot(ThermometerBus& bus) {
    if (bus.singleSlots()) {
        return bus.touchBit(true);
    }
    const auto byte = bus.touchByte(0xFF);
    if (!byte) {
        return byte.error();
    }
    return *byte != 0;
}

WireResult<bool> ParasitePowered(ThermometerBus& bus) {
    if (!bus.singleSlots()) {
        // The command and its byte of read slots in one block: nothing may come between them.
        std::array<uint8_t, 2> block{ds18x20_command::kReadPowerSupply, 0xFF};
        if (auto read = bus.touchBlock(block); !read) {
            return read.error();
        }
        if (block[0] != ds18x20_command::kReadPowerSupply) {
            return CommandGarbled();
        }
        return block[1] == 0;
    }
    if (auto sent = SendCommand(bus, ds18x20_command::kReadPowerSupply); !sent) {
        return sent.error();
    }
    const auto bit = ReadSlot(bus);
    if (!bit) {
        return bit.error();
    }
    return !*bit;
}

WireResult<void> WriteScratchpad(ThermometerBus& bus, uint8_t th, uint8_t tl,
                                 std::optional<uint8_t> configuration) {
    std::array<uint8_t, 4> block{ds18x20_command::kWriteScratchpad, th, tl,
                                 configuration.value_or(0)};
    return bus.touchBlock(std::span(block).first(configuration ? 4 : 3));
}

WireResult<std::array<uint8_t, 9>> ReadScratchpad(ThermometerBus& bus) {
    std::array<uint8_t, 10> block{};
    block.fill(0xFF);
    block[0] = ds18x20_command::kReadScratchpad;
    if (auto read = bus.touchBlock(block); !read) {
        return read.error();
    }
    std::array<uint8_t, 9> bytes{};
    std::copy(block.begin() + 1, block.end(), bytes.begin());
    if (Crc8(bytes) != 0 ||
        std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; })) {
        return WireError{WireErrorCode::Protocol, "the scratchpad did not come back intact"};
    }
    return bytes;
}

}  // namespace velgrin
