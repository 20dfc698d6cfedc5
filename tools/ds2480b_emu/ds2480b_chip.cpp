#include "ds2480b_emu/ds2480b_chip.h"

namespace velgrin::ds2480b {

namespace {

// Strong pull-up durations (SPUD) in microseconds. Code 6 is forbidden by the newer data sheet;
// older material calls it about 2.1 s. 0: infinite.
constexpr std::array<uint64_t, 8> kPullupUs{16'400,  65'500,    131'000,   262'000,
                                            524'000, 1'048'000, 2'100'000, 0};
// Programming pulse durations (PPD) in microseconds; 0: infinite.
constexpr std::array<uint64_t, 8> kProgrammingUs{32, 64, 128, 256, 512, 1024, 2048, 0};

// Power-up parameter values, as the data sheet lists them: 15 V/us slew, 512 us programming
// pulse, 524 ms pull-up, 8 us write-1 low, 3 us sample offset, 1.8 mA load, 9600 baud.
constexpr std::array<uint8_t, kParameterCount> kPowerUpParameters{0, 0, 4, 4, 0, 0, 0, 0};

// A pull-up that followed a single bit ends with the reply of a 5 V pulse; the data sheet fixes
// only its top bits (111).
constexpr uint8_t kBitPulseReply = Communication(kPulse, kPulseSpeed) & kEchoMask;

uint8_t PresenceBits(ResetOutcome outcome) {
    switch (outcome) {
        case ResetOutcome::Short:
            return kBusShorted;
        case ResetOutcome::Presence:
            return kPresence;
        default:
            return kNoPresence;
    }
}

}  // namespace

Ds2480bChip::Ds2480bChip(sim::SimBench& bench) : bench_(bench) {
    masterReset();
}

void Ds2480bChip::masterReset() {
    dropPulse();
    parameters_ = kPowerUpParameters;
    awaitingTimingByte_ = true;
    dataMode_ = false;
    escapePending_ = false;
    accelerator_ = false;
    searchBit_ = 0;
    searchFailed_ = false;
    pullupAfterEveryByte_ = false;
}

void Ds2480bChip::setPowered(bool on) {
    if (on && !powered_) {
        masterReset();
    }
    if (!on) {
        dropPulse();
    }
    powered_ = on;
}

void Ds2480bChip::dropPulse() {
    if (pulse_ && pulse_->pullup) {
        bench_.bus().setStrongPullup(false);
    }
    pulse_.reset();
}

bool Ds2480bChip::reachable() {
    bench_.catchUp();
    // A bench that unplugs its adapter cuts the chip's supply; plugging it in powers it up.
    if (bench_.unplugged != benchUnplugged_) {
        benchUnplugged_ = bench_.unplugged;
        if (benchUnplugged_) {
            dropPulse();
        } else {
            masterReset();
        }
    }
    return powered_ && !benchUnplugged_ && baud() <= lineLimit_;
}

ChipStep Ds2480bChip::receive(uint8_t byte) {
    ChipStep step;
    if (!reachable()) {
        return step;
    }
    if (awaitingTimingByte_) {
        awaitingTimingByte_ = false;
        return step;
    }
    const uint64_t busBefore = bench_.bus().busTimeUs();
    // The data sheet ends an infinite pulse with 0xF1. Any other byte ends it here as well, so
    // that a confused host cannot leave the bus pulled up for good.
    const bool endsPulse = pulse_.has_value();
    if (endsPulse) {
        endPulse(step.replies);
    }
    if (!dataMode_) {
        if (!(endsPulse && byte == kPulseTermination)) {
            command(byte, step.replies);
        }
    } else if (escapePending_) {
        escapePending_ = false;
        if (byte == kSwitchToCommandMode) {
            data(byte, step.replies);
        } else {
            dataMode_ = false;
            command(byte, step.replies);
        }
    } else if (byte == kSwitchToCommandMode) {
        escapePending_ = true;
    } else {
        data(byte, step.replies);
    }
    step.busUs = bench_.bus().busTimeUs() - busBefore;
    // Replies leave at the chip's rate, which a rate command may just have raised.
    if (baud() > lineLimit_) {
        step.replies.clear();
    }
    return step;
}

void Ds2480bChip::command(uint8_t byte, std::vector<uint8_t>& out) {
    if ((byte & kCommandMarker) == 0) {
        return;  // not a command byte; the chip ignores it
    }
    if ((byte & kCommunication) == 0) {
        configuration(byte, out);
        return;
    }
    const bool bit = (byte & kBitValue) != 0;
    const bool pullup = (byte & kPullupFlag) != 0;
    sim::SimBus& bus = bench_.bus();
    switch (byte & kFunctionMask) {
        case kSingleBit: {
            const bool read = bus.slot(bit);
            out.push_back(static_cast<uint8_t>((byte & kEchoMask) | (read ? kBitReadMask : 0)));
            if (pullup) {
                const uint64_t duration = durationUs(false);
                startPulse(Pulse{
                    duration == 0 ? std::nullopt : std::optional(bench_.clock().nowUs() + duration),
                    kBitPulseReply, true});
            }
            return;
        }
        case kSearchControl:
            accelerator_ = bit;
            searchBit_ = 0;
            searchFailed_ = false;
            return;
        case kReset: {
            const ResetOutcome outcome = bus.reset();
            out.push_back(static_cast<uint8_t>(
                kResetReplyMarker | (kDs2480bRevision << kRevisionShift) | PresenceBits(outcome)));
            return;
        }
        default:
            pulseFunction(byte);
            return;
    }
}

void Ds2480bChip::configuration(uint8_t byte, std::vector<uint8_t>& out) {
    const auto parameter = static_cast<size_t>((byte >> kParameterShift) & kValueMask);
    const auto value = static_cast<uint8_t>((byte >> kValueShift) & kValueMask);
    if (parameter == 0) {
        if (value != 0) {
            out.push_back(ReadReply(parameters_[value]));
        }
        return;
    }
    parameters_[parameter] = value;
    out.push_back(WriteReply(byte));
}

void Ds2480bChip::pulseFunction(uint8_t byte) {
    const bool bit = (byte & kBitValue) != 0;
    const bool pullup = (byte & kPullupFlag) != 0;
    if ((byte & kSpeedMask) == kPulseSpeed) {
        // The pulse proper: 5 V pull-up or 12 V programming pulse; p arms the pull-up after
        // every data byte. There is no programming supply, so a 12 V pulse only takes its time.
        pullupAfterEveryByte_ = pullup;
        const uint64_t duration = durationUs(bit);
        startPulse(
            Pulse{duration == 0 ? std::nullopt : std::optional(bench_.clock().nowUs() + duration),
                  static_cast<uint8_t>(byte & kEchoMask), !bit});
        return;
    }
    if ((byte & kSpeedMask) != kStandardSpeed) {
        return;  // not a defined command
    }
    // 0xE3 in command mode and 0xF1 without a pulse change nothing and are not answered.
    if (byte == kSwitchToDataMode) {
        dataMode_ = true;
    }
}

void Ds2480bChip::data(uint8_t byte, std::vector<uint8_t>& out) {
    if (accelerator_) {
        out.push_back(searchByte(byte));
        return;
    }
    sim::SimBus& bus = bench_.bus();
    uint8_t read = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if (bus.slot(((byte >> bit) & 1) != 0)) {
            read |= static_cast<uint8_t>(1u << bit);
        }
    }
    out.push_back(read);
    if (pullupAfterEveryByte_) {
        const uint64_t duration = durationUs(false);
        startPulse(
            Pulse{duration == 0 ? std::nullopt : std::optional(bench_.clock().nowUs() + duration),
                  std::nullopt, true});
    }
}

uint8_t Ds2480bChip::searchByte(uint8_t directions) {
    sim::SimBus& bus = bench_.bus();
    uint8_t reply = 0;
    for (int k = 0; k < kRomBitsPerSearchByte; ++k) {
        const bool id = bus.slot(true);
        const bool complement = bus.slot(true);
        bool discrepancy = false;
        bool path = false;
        if (searchFailed_ || (id && complement)) {
            // Nobody answered: from here on every bit reads as a discrepancy taken as 1.
            searchFailed_ = true;
            discrepancy = true;
            path = true;
        } else if (id != complement) {
            path = id;
        } else {
            discrepancy = true;
            path = ((directions >> (2 * k + 1)) & 1) != 0;
        }
        bus.slot(path);
        reply |= static_cast<uint8_t>((discrepancy ? 1u : 0u) << (2 * k));
        reply |= static_cast<uint8_t>((path ? 1u : 0u) << (2 * k + 1));
        if (++searchBit_ == 64) {
            searchBit_ = 0;
            searchFailed_ = false;
        }
    }
    return reply;
}

uint64_t Ds2480bChip::durationUs(bool programmingPulse) const {
    if (programmingPulse) {
        return kProgrammingUs[parameter(Parameter::ProgrammingPulseDuration)];
    }
    return kPullupUs[parameter(Parameter::StrongPullupDuration)];
}

void Ds2480bChip::startPulse(Pulse pulse) {
    if (pulse.pullup) {
        bench_.bus().setStrongPullup(true);
    }
    pulse_ = pulse;
}

void Ds2480bChip::endPulse(std::vector<uint8_t>& out) {
    if (pulse_->pullup) {
        bench_.bus().setStrongPullup(false);
    }
    if (pulse_->reply) {
        out.push_back(*pulse_->reply);
    }
    pulse_.reset();
}

std::optional<uint64_t> Ds2480bChip::pulseEndsAtUs() const {
    return pulse_ ? pulse_->endsAtUs : std::nullopt;
}

std::vector<uint8_t> Ds2480bChip::tick() {
    std::vector<uint8_t> out;
    if (pulse_ && pulse_->endsAtUs && bench_.clock().nowUs() >= *pulse_->endsAtUs) {
        endPulse(out);
        if (!reachable()) {
            out.clear();
        }
    }
    return out;
}

}  // namespace velgrin::ds2480b
