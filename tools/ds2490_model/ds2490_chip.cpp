#include "ds2490_model/ds2490_chip.h"

#include <algorithm>

namespace velgrin::ds2490 {

namespace {

// The command of a communication wValue without its IM and bit-3 flags.
constexpr uint16_t kCodeMask = 0x00F6;
constexpr uint16_t kSetDuration = 0x0012;
// Power-up strong pull-up duration: 512 ms in 16 ms steps.
constexpr uint8_t kPowerUpDuration = 0x20;
constexpr uint64_t kDurationStepUs = 16'000;
// Status byte 8 while an externally powered chip waits for work.
constexpr uint8_t kExternalPower = 0x08;

bool Has(uint16_t value, uint16_t bit) {
    return (value & bit) != 0;
}

}  // namespace

Ds2490Chip::Ds2490Chip(sim::SimBench& bench) : bench_(bench) {
    powerUp();
}

void Ds2490Chip::powerUp() {
    endPullup();
    pulseEnable_ = 0;
    speed_ = 0;
    pullupDuration_ = kPowerUpDuration;
    speedChangeEnable_ = false;
    halted_ = false;
    searching_.reset();
    held_.clear();
    toBus_.clear();
    fromBus_.clear();
    results_.clear();
}

void Ds2490Chip::startPullup() {
    if ((pulseEnable_ & mode::kEnableStrongPullup) == 0) {
        return;
    }
    pullupOn_ = true;
    bench_.bus().setStrongPullup(true);
    if (pullupDuration_ == mode::kInfiniteDuration) {
        pullupEndsAtUs_.reset();
    } else {
        pullupEndsAtUs_ = bench_.clock().nowUs() + pullupDuration_ * kDurationStepUs;
    }
}

void Ds2490Chip::endPullup() {
    if (pullupOn_) {
        bench_.bus().setStrongPullup(false);
    }
    pullupOn_ = false;
    pullupEndsAtUs_.reset();
}

void Ds2490Chip::expirePullup() {
    if (pullupOn_ && pullupEndsAtUs_ && bench_.clock().nowUs() >= *pullupEndsAtUs_) {
        // The devices lost the pull-up when the timer ran out, not when the host looked.
        bench_.bus().endStrongPullupAt(*pullupEndsAtUs_);
        endPullup();
    }
}

bool Ds2490Chip::control(uint8_t request, uint16_t value, uint16_t index) {
    bench_.catchUp();
    expirePullup();
    switch (static_cast<Request>(request)) {
        case Request::Control:
            return controlCommand(value);
        case Request::Mode:
            return modeCommand(value, index);
        case Request::Communication:
            if (halted_) {
                return false;  // the chip would keep it until resumed; queueing is not modelled
            }
            ++commands_;
            return communication(value, index);
    }
    return false;
}

bool Ds2490Chip::controlCommand(uint16_t value) {
    const bool flush =
        value == control::kFlushReceiveBuffer || value == control::kFlushTransmitBuffer;
    if (flush && !halted_) {
        return false;  // only a halted chip flushes its buffers
    }
    switch (value) {
        case control::kResetDevice:
            powerUp();
            return true;
        case control::kStartExecution:
        case control::kResumeExecution:
            halted_ = false;
            return true;
        case control::kHaltWhenIdle:
        case control::kHaltWhenDone:
            // A running pulse is the command in progress; halting ends it.
            endPullup();
            halted_ = true;
            return true;
        case control::kFlushCommands:
            return true;
        case control::kFlushReceiveBuffer:
            fromBus_.clear();
            runSearch();
            return true;
        case control::kFlushTransmitBuffer:
            toBus_.clear();
            return true;
        default:
            return false;
    }
}

bool Ds2490Chip::modeCommand(uint16_t value, uint16_t index) {
    const auto parameter = static_cast<uint8_t>(index);
    switch (value) {
        case mode::kPulseEnable:
            pulseEnable_ = parameter & 0x03;
            return true;
        case mode::kSpeedChangeEnable:
            speedChangeEnable_ = parameter != 0;
            return true;
        case mode::kOneWireSpeed:
            if (parameter > 2) {
                return false;
            }
            speed_ = parameter;
            return true;
        case mode::kStrongPullupDuration:
            pullupDuration_ = parameter;
            return true;
        case mode::kPulldownSlewRate:
        case mode::kProgrammingPulseDuration:
        case mode::kWrite1LowTime:
        case mode::kSampleOffset:
            return true;  // timing the model does not need
        default:
            return false;
    }
}

uint8_t Ds2490Chip::resetLine() {
    endPullup();
    const ResetOutcome outcome = bench_.bus().reset();
    // A device that joined since the last reset is announced first.
    const size_t devices = bench_.bus().devices().size();
    if (devices > devicesSeen_ && outcome == ResetOutcome::Presence) {
        results_.push_back(result::kDeviceDetected);
    }
    devicesSeen_ = devices;
    if (outcome == ResetOutcome::Short) {
        return result::kShort;
    }
    return outcome == ResetOutcome::NoPresence ? result::kNoPresence : 0;
}

void Ds2490Chip::busReset(uint16_t value) {
    const uint8_t code = resetLine();
    if (code != 0 || Has(value, comm::kNotify)) {
        results_.push_back(code);
    }
}

// Bytes, blocks and Match Access have no error codes: the reset they may begin with reports
// nothing of what it found.
void Ds2490Chip::silentReset(uint16_t value) {
    (void)resetLine();
    if (Has(value, comm::kNotify)) {
        results_.push_back(0);
    }
}

uint8_t Ds2490Chip::touchByte(uint8_t byte) {
    uint8_t read = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if (bench_.bus().slot(((byte >> bit) & 1) != 0)) {
            read |= static_cast<uint8_t>(1u << bit);
        }
    }
    return read;
}

std::optional<std::array<uint8_t, 8>> Ds2490Chip::takeRom() {
    if (toBus_.size() < 8) {
        return std::nullopt;
    }
    std::array<uint8_t, 8> rom{};
    for (auto& b : rom) {
        b = toBus_.front();
        toBus_.pop_front();
    }
    return rom;
}

bool Ds2490Chip::communication(uint16_t value, uint16_t index) {
    if (!Has(value, comm::kImmediate)) {
        return false;  // macros queued for START_EXE are not modelled
    }
    if (pullupOn_ || busy()) {
        return false;  // the command in progress must end first; queueing is not modelled
    }
    const bool pullup = Has(value, comm::kStrongPullup);
    switch (value & kCodeMask) {
        case comm::kOneWireReset& kCodeMask:
            if (Has(value, comm::kBit3)) {
                speed_ = static_cast<uint8_t>(index & 0x03);
            }
            busReset(value);
            return true;
        case comm::kBitIo: {
            const bool read = bench_.bus().slot(Has(value, comm::kBit3));
            fromBus_.push_back(read ? 1 : 0);
            if (pullup) {
                startPullup();
            }
            return true;
        }
        case comm::kByteIo& kCodeMask:
            if (Has(value, comm::kResetFirst)) {
                silentReset(value);
            }
            fromBus_.push_back(touchByte(static_cast<uint8_t>(index)));
            if (pullup) {
                startPullup();
            }
            return true;
        case comm::kBlockIo& kCodeMask: {
            if (Has(value, comm::kResetFirst)) {
                silentReset(value);
            }
            if (index > toBus_.size()) {
                results_.push_back(result::kCompareFailed);
                return true;
            }
            for (uint16_t i = 0; i < index; ++i) {
                const uint8_t out = toBus_.front();
                toBus_.pop_front();
                fromBus_.push_back(touchByte(out));
            }
            if (pullup) {
                startPullup();
            }
            return true;
        }
        case comm::kMatchAccess& kCodeMask: {
            if (Has(value, comm::kResetFirst)) {
                silentReset(value);
            }
            const auto rom = takeRom();
            if (!rom) {
                return false;
            }
            (void)touchByte(static_cast<uint8_t>(index));
            for (uint8_t b : *rom) {
                (void)touchByte(b);
            }
            return true;
        }
        case comm::kSearchAccess& kCodeMask:
            return search(value, index);
        case comm::kPulse:
            startPullup();
            return true;
        case kSetDuration:
            if (!Has(value, comm::kBit3)) {
                pullupDuration_ = static_cast<uint8_t>(index);
            }
            return true;
        default:
            return false;
    }
}

bool Ds2490Chip::search(uint16_t value, uint16_t index) {
    const size_t codes = index >> 8;
    if (codes == 0) {
        return false;  // what 0 asks for is not known for certain: refused
    }
    const auto start = takeRom();
    if (!start) {
        results_.push_back(result::kEndOfSearch);
        return true;
    }
    searching_ = Searching{static_cast<uint8_t>(index), *start, Has(value, comm::kResetFirst),
                           Has(value, comm::kReturnDiscrepancies), codes};
    runSearch();
    return true;
}

void Ds2490Chip::runSearch() {
    while (busy()) {
        while (!held_.empty() && fromBus_.size() < kFifoSize) {
            fromBus_.push_back(held_.front());
            held_.pop_front();
        }
        // A pass begins once the FIFO has room for its code.
        if (!held_.empty() || !searching_ || fromBus_.size() + 8 > kFifoSize) {
            return;
        }
        searchPass();
    }
}

void Ds2490Chip::searchPass() {
    Searching& s = *searching_;
    // Every pass but a first one asked to go without starts with a reset.
    if (s.resetFirst) {
        if (const uint8_t code = resetLine(); code != 0) {
            results_.push_back(code | result::kEndOfSearch);
            searching_.reset();
            return;
        }
    }
    s.resetFirst = true;
    (void)touchByte(s.command);
    std::array<uint8_t, 8> rom{};
    std::array<uint8_t, 8> discrepancies{};
    int lastZero = -1;
    for (int n = 0; n < 64; ++n) {
        const auto byte = static_cast<size_t>(n / 8);
        const auto mask = static_cast<uint8_t>(1u << (n % 8));
        const bool id = bench_.bus().slot(true);
        const bool complement = bench_.bus().slot(true);
        if (id && complement) {
            results_.push_back(result::kNoPresence | result::kEndOfSearch);
            searching_.reset();
            return;
        }
        bool direction = id;
        if (!id && !complement) {
            direction = (s.directions[byte] & mask) != 0;
            discrepancies[byte] |= mask;
            if (!direction) {
                lastZero = n;
            }
        }
        (void)bench_.bus().slot(direction);
        if (direction) {
            rom[byte] |= mask;
        }
    }
    held_.insert(held_.end(), rom.begin(), rom.end());
    --s.left;
    if (lastZero < 0) {
        if (s.left > 0) {
            results_.push_back(result::kEndOfSearch);
        }
        searching_.reset();
        return;
    }
    if (s.left == 0) {
        // More remain: the map of this pass's disagreements follows its code.
        if (s.returnMap) {
            held_.insert(held_.end(), discrepancies.begin(), discrepancies.end());
        }
        searching_.reset();
        return;
    }
    // The next pass follows this one up to its last 0 at a disagreement, takes 1 there and 0
    // at every disagreement after it.
    s.directions = rom;
    const auto byte = static_cast<size_t>(lastZero / 8);
    s.directions[byte] |= static_cast<uint8_t>(1u << (lastZero % 8));
    s.directions[byte] &= static_cast<uint8_t>((2u << (lastZero % 8)) - 1);
    std::fill(s.directions.begin() + static_cast<long>(byte) + 1, s.directions.end(), 0);
}

bool Ds2490Chip::bulkOut(std::span<const uint8_t> bytes) {
    if (toBus_.size() + bytes.size() > kFifoSize) {
        return false;
    }
    toBus_.insert(toBus_.end(), bytes.begin(), bytes.end());
    return true;
}

std::vector<uint8_t> Ds2490Chip::bulkIn(size_t most) {
    std::vector<uint8_t> out;
    while (out.size() < most && !fromBus_.empty()) {
        out.push_back(fromBus_.front());
        fromBus_.pop_front();
    }
    runSearch();
    return out;
}

std::vector<uint8_t> Ds2490Chip::statusPacket() {
    bench_.catchUp();
    expirePullup();
    const size_t posted = std::min<size_t>(results_.size(), 16);
    std::vector<uint8_t> packet(status::kResultsAt + posted, 0);
    packet[status::kEnableFlags] = pulseEnable_;
    packet[status::kSpeed] = speed_;
    packet[status::kPullupDuration] = pullupDuration_;
    uint8_t flags = kExternalPower;
    if (pullupOn_) {
        flags |= status::kPullupActive;
    } else if (!busy()) {
        flags |= status::kIdle;
    }
    if (halted_) {
        flags |= status::kHalted;
    }
    packet[status::kDeviceFlags] = flags;
    packet[status::kDataOutCount] = static_cast<uint8_t>(toBus_.size());
    packet[status::kDataInCount] = static_cast<uint8_t>(std::min<size_t>(fromBus_.size(), 255));
    std::copy(results_.begin(), results_.begin() + static_cast<long>(posted),
              packet.begin() + status::kResultsAt);
    results_.erase(results_.begin(), results_.begin() + static_cast<long>(posted));
    return packet;
}

}  // namespace velgrin::ds2490
