#include "wire/ds2482/ds2482_link.h"

#include <algorithm>
#include <array>

#include "wire/ds2482/ds2482_codes.h"
#include "wire/network.h"

namespace velgrin::ds2482 {

namespace {

std::string HexByte(uint8_t value) {
    std::array<char, 2> text{};
    const char* digits = "0123456789ABCDEF";
    text[0] = digits[value >> 4];
    text[1] = digits[value & 0x0F];
    return std::string(text.data(), text.size());
}

}  // namespace

Ds2482Link::Ds2482Link(std::unique_ptr<I2cTransport> i2c, const Clock& clock, Ds2482Options options)
    : i2c_(std::move(i2c)), clock_(clock), options_(options) {}

WireResult<void> Ds2482Link::openAdapter() {
    if (i2c_->isOpen()) {
        return {};
    }
    if (auto opened = i2c_->open(); !opened) {
        return opened;
    }
    if (auto initialised = initialise(); !initialised) {
        i2c_->close();
        return initialised;
    }
    return {};
}

void Ds2482Link::closeAdapter() {
    i2c_->close();
}

WireResult<void> Ds2482Link::ready() {
    if (!i2c_->isOpen()) {
        return WireError{WireErrorCode::Io, i2c_->name() + " is not open"};
    }
    return {};
}

WireError Ds2482Link::garbled(const std::string& what) const {
    return WireError{WireErrorCode::Protocol, i2c_->name() + " answered nonsense to " + what};
}

WireResult<void> Ds2482Link::initialise() {
    const std::array<uint8_t, 1> deviceReset{command::kDeviceReset};
    if (auto sent = i2c_->write(deviceReset); !sent) {
        return sent;
    }
    std::array<uint8_t, 1> state{};
    if (auto read = i2c_->read(state); !read) {
        return read;
    }
    // Only the line level may vary after a reset; anything else is not a DS2482.
    if ((state[0] & static_cast<uint8_t>(~status::kLineLevel)) != status::kDeviceReset) {
        return garbled("a device reset (status " + HexByte(state[0]) + ")");
    }
    if (auto configured = writeConfig(config::kActivePullup); !configured) {
        return configured;
    }
    if (options_.channel) {
        return selectChannel(*options_.channel);
    }
    return {};
}

WireResult<Ds2482Link::AfterRecovery> Ds2482Link::recover(const WireError& failure) {
    if (failure.code == WireErrorCode::PortGone) {
        i2c_->close();
        return failure;
    }
    ++recoveries_;
    cutSequence();
    if (auto initialised = initialise(); !initialised) {
        // It does not answer a reset either: gone until it answers again at the next open.
        i2c_->close();
        return WireError{WireErrorCode::PortGone,
                         i2c_->name() + " stopped answering (" + failure.message + ")"};
    }
    return AfterRecovery::Report;
}

WireResult<void> Ds2482Link::writeConfig(uint8_t bits) {
    const std::array<uint8_t, 2> write{command::kWriteConfig, config::Written(bits)};
    if (auto sent = i2c_->write(write); !sent) {
        return sent;
    }
    // The pointer is on the configuration register now.
    std::array<uint8_t, 1> readBack{};
    if (auto read = i2c_->read(readBack); !read) {
        return read;
    }
    if (readBack[0] != bits) {
        return WireError{WireErrorCode::Protocol, i2c_->name() + " reads back configuration " +
                                                      HexByte(readBack[0]) + " after " +
                                                      HexByte(bits) + " was written"};
    }
    return {};
}

WireResult<void> Ds2482Link::selectChannel(int channel) {
    const auto index = static_cast<size_t>(channel);
    const std::array<uint8_t, 2> write{command::kChannelSelect, kChannelCodes.at(index)};
    if (auto sent = i2c_->write(write); !sent) {
        if (sent.error().code != WireErrorCode::Io) {
            return sent;
        }
        return WireError{WireErrorCode::Unsupported,
                         i2c_->name() + " refused channel " + std::to_string(channel) +
                             ": a DS2482-100 has no channels, leave ':" + std::to_string(channel) +
                             "' out of the port"};
    }
    std::array<uint8_t, 1> readBack{};
    if (auto read = i2c_->read(readBack); !read) {
        return read;
    }
    if (readBack[0] != kChannelReadBack[index]) {
        return WireError{WireErrorCode::Protocol,
                         i2c_->name() + " reads back channel code " + HexByte(readBack[0]) +
                             " after selecting IO" + std::to_string(channel) + " (" +
                             HexByte(kChannelReadBack[index]) + " expected)"};
    }
    return {};
}

WireResult<uint8_t> Ds2482Link::readRegister(uint8_t which) {
    const std::array<uint8_t, 2> point{command::kSetReadPointer, which};
    std::array<uint8_t, 1> value{};
    if (auto read = i2c_->writeRead(point, value); !read) {
        return read.error();
    }
    return value[0];
}

WireResult<uint8_t> Ds2482Link::run(std::span<const uint8_t> command, bool joined) {
    const uint64_t start = clock_.nowUs();
    std::array<uint8_t, kLongestStatusBurst> states{};
    // The pointer is on the status now.
    auto sent =
        joined ? i2c_->writeRead(command, std::span(states).first(1)) : i2c_->write(command);
    if (sent && !joined) {
        sent = i2c_->read(std::span(states).first(1));
    }
    if (!sent) {
        return sent.error();
    }
    statusReads_ = 1;
    uint8_t state = states[0];
    // Each further status byte of one read samples the chip anew, for nine clock bits instead
    // of a transfer's twenty. As many are asked for at once as the last command of this kind
    // took, so that on a fast I2C bus the whole wait is one transfer.
    int& expected = pollsAfterFirst_[command[0]];
    int polls = 0;
    uint64_t readSentAt = start;
    while ((state & status::kBusy) != 0) {
        // Judged by when the busy status was asked for: a loaded host may hand the answer over
        // late, which is no sign of a hung chip.
        if (statusReads_ >= options_.maxStatusReads ||
            readSentAt - start > options_.busyTimeoutUs) {
            return WireError{WireErrorCode::Timeout,
                             i2c_->name() + " stayed busy with a 1-Wire command"};
        }
        const int count =
            std::clamp(expected - polls, 1,
                       std::min<int>(kLongestStatusBurst, options_.maxStatusReads - statusReads_));
        const auto burst = std::span(states).first(static_cast<size_t>(count));
        readSentAt = clock_.nowUs();
        if (auto read = i2c_->read(burst); !read) {
            return read.error();
        }
        statusReads_ += count;
        const auto idle = std::find_if(burst.begin(), burst.end(),
                                       [](uint8_t s) { return (s & status::kBusy) == 0; });
        polls += static_cast<int>(idle == burst.end() ? burst.size() : idle - burst.begin() + 1);
        state = idle == burst.end() ? burst.back() : *idle;
    }
    expected = polls;
    return state;
}

WireResult<void> Ds2482Link::startCommand(bool withPullup) {
    if (withPullup) {
        return writeConfig(config::kActivePullup | config::kStrongPullup);
    }
    return {};
}

WireResult<ResetOutcome> Ds2482Link::resetBus() {
    const std::array<uint8_t, 1> busReset{command::kOneWireReset};
    auto state = run(busReset);
    if (!state) {
        return state.error();
    }
    if ((*state & status::kShort) != 0) {
        return ResetOutcome::Short;
    }
    return (*state & status::kPresence) != 0 ? ResetOutcome::Presence : ResetOutcome::NoPresence;
}

WireResult<bool> Ds2482Link::sendBit(bool bit, bool pullupAfter) {
    if (auto started = startCommand(pullupAfter); !started) {
        return started.error();
    }
    const std::array<uint8_t, 2> slot{command::kSingleBit, bit ? kBitOne : uint8_t{0}};
    auto state = run(slot);
    if (!state) {
        return state.error();
    }
    const bool got = (*state & status::kSingleBitResult) != 0;
    if (!bit && got) {
        return garbled("a bit");
    }
    return got;
}

WireResult<uint8_t> Ds2482Link::sendByte(uint8_t byte, bool pullupAfter) {
    if (auto started = startCommand(pullupAfter); !started) {
        return started.error();
    }
    // The strong pull-up follows a write byte only, so a pulled-up read is written as 0xFF.
    if (byte == 0xFF && !pullupAfter) {
        const std::array<uint8_t, 1> readByte{command::kReadByte};
        if (auto state = run(readByte); !state) {
            return state.error();
        }
        return readRegister(pointer::kReadData);
    }
    const std::array<uint8_t, 2> writeByte{command::kWriteByte, byte};
    if (auto state = run(writeByte); !state) {
        return state.error();
    }
    return byte;
}

WireResult<void> Ds2482Link::endPullup() {
    return writeConfig(config::kActivePullup);
}

WireResult<SearchPass> Ds2482Link::acceleratedPass(const RomCode& directions, bool alarmOnly) {
    // The caller reset the bus; the chip takes the given direction where devices disagree.
    const std::array<uint8_t, 2> searchCommand{
        command::kWriteByte, alarmOnly ? rom_command::kAlarmSearch : rom_command::kSearchRom};
    if (auto state = run(searchCommand); !state) {
        return state.error();
    }
    SearchPass pass;
    for (size_t n = 0; n < 64; ++n) {
        const auto bit = static_cast<uint8_t>(1u << (n % 8));
        const bool direction = (directions[n / 8] & bit) != 0;
        const std::array<uint8_t, 2> triplet{command::kTriplet, direction ? kBitOne : uint8_t{0}};
        const bool joined = joinTriplets_;
        auto state = run(triplet, joined);
        if (!state) {
            return state.error();
        }
        // A joined read that needed only one more might have been a separate one alone.
        joinTriplets_ = statusReads_ > (joined ? 2 : 1);
        const bool id = (*state & status::kSingleBitResult) != 0;
        const bool complement = (*state & status::kTripletSecondBit) != 0;
        if (id && complement) {
            // Nobody answered: a code of all ones, which no CRC passes.
            pass.path.fill(0xFF);
            pass.discrepancies.fill(0);
            return pass;
        }
        if ((*state & status::kBranchDirection) != 0) {
            pass.path[n / 8] |= bit;
        }
        if (!id && !complement) {
            pass.discrepancies[n / 8] |= bit;
        }
    }
    return pass;
}

}  // namespace velgrin::ds2482
