#include "wire/ds2480b/ds2480b_link.h"

#include <array>
#include <cstdio>
#include <optional>

namespace velgrin::ds2480b {

namespace {

constexpr uint8_t kResetCommand = Communication(kReset, kFlexibleSpeed);

uint8_t BitCommand(bool bit, bool pullup) {
    return Communication(kSingleBit, kFlexibleSpeed, bit, pullup);
}

// A bit reply echoes the command's upper six bits and repeats the bit read in both low bits.
std::optional<bool> BitOfReply(uint8_t command, uint8_t reply) {
    if ((reply & kEchoMask) != (command & kEchoMask)) {
        return std::nullopt;
    }
    switch (reply & kBitReadMask) {
        case 0x00:
            return false;
        case kBitReadMask:
            return true;
        default:
            return std::nullopt;
    }
}

bool LosesAdapter(const WireError& error) {
    return error.code == WireErrorCode::Timeout || error.code == WireErrorCode::Protocol ||
           error.code == WireErrorCode::Io;
}

}  // namespace

Ds2480bLink::Ds2480bLink(std::unique_ptr<SerialPort> port, Ds2480bOptions options)
    : port_(std::move(port)), options_(options) {
    if (!CodeOfBaud(options_.fasterBaud)) {
        options_.fasterBaud = kPowerUpBaud;
    }
}

WireResult<void> Ds2480bLink::open() {
    if (port_->isOpen()) {
        return {};
    }
    auto opened = port_->open();
    if (!opened) {
        return opened;
    }
    forgetAdapterState();
    pullup_ = Pullup::Off;
    freshlyOpened_ = true;
    fasterRateRefused_ = false;
    lostReason_.clear();
    return {};
}

void Ds2480bLink::close() {
    port_->close();
    forgetAdapterState();
    pullup_ = Pullup::Off;
}

void Ds2480bLink::forgetAdapterState() {
    synced_ = false;
    mode_ = Mode::Command;
    // A running pull-up ends with the adapter's reset; one only armed is the caller's request
    // for the next operation and survives.
    if (pullup_ == Pullup::On) {
        pullup_ = Pullup::Off;
    }
    baud_ = kPowerUpBaud;
}

WireError Ds2480bLink::garbled(const std::string& what, uint8_t reply) const {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", reply);
    return WireError{WireErrorCode::Protocol, "the DS2480B adapter on " + port_->name() +
                                                  " answered " + text + " to " + what};
}

WireError Ds2480bLink::interrupted(const std::string& cause) const {
    return WireError{WireErrorCode::Interrupted,
                     "the bus sequence was cut by a re-synchronisation of the DS2480B adapter on " +
                         port_->name() + " (" + cause + "); it starts again with a reset"};
}

WireError Ds2480bLink::lose(const WireError& why) {
    port_->close();
    forgetAdapterState();
    pullup_ = Pullup::Off;
    lostToSilence_ = true;
    lostReason_ = "the DS2480B adapter on " + port_->name() + " stopped answering (" + why.message +
                  "); it is tried again when the port is opened anew";
    return WireError{WireErrorCode::Timeout, lostReason_};
}

WireError Ds2480bLink::notOpen() const {
    if (!lostReason_.empty()) {
        return WireError{WireErrorCode::Timeout, lostReason_};
    }
    return WireError{WireErrorCode::Io,
                     "the DS2480B adapter port " + port_->name() + " is not open"};
}

template <typename T>
WireResult<T> Ds2480bLink::guarded(Step step, const std::function<WireResult<T>()>& op,
                                   const std::function<WireResult<T>()>& restart) {
    if (!port_->isOpen()) {
        return notOpen();
    }
    if (!synced_) {
        if (auto synced = resynchronize(); !synced) {
            return synced.error();
        }
    }
    if (sequenceCut_ && step == Step::Continues) {
        return interrupted("no reset since");
    }
    auto result = op();
    if (result) {
        if (step == Step::Starts) {
            sequenceCut_ = false;
        }
        return result;
    }
    const WireError failure = result.error();
    forgetAdapterState();
    pullup_ = Pullup::Off;
    if (!LosesAdapter(failure)) {
        return failure;
    }
    if (auto synced = resynchronize(failure.code == WireErrorCode::Timeout); !synced) {
        return synced.error();
    }
    if (!restart) {
        return interrupted(failure.message);
    }
    auto again = restart();
    if (!again) {
        forgetAdapterState();
        return again;
    }
    sequenceCut_ = false;
    return again;
}

WireResult<std::vector<uint8_t>> Ds2480bLink::run(const Frame& frame) {
    auto replies = Exchange(*port_, frame, baud_, options_.replyMargin, stats_);
    if (replies) {
        mode_ = frame.mode();
    }
    return replies;
}

WireResult<void> Ds2480bLink::endPullup() {
    if (pullup_ != Pullup::On) {
        return {};
    }
    Frame frame(mode_);
    frame.command(kPulseTermination, true);
    auto replies = run(frame);
    pullup_ = Pullup::Off;
    if (!replies) {
        return replies.error();
    }
    if ((replies->front() & kPulseReplyMask) != kPulseReplyMarker) {
        return garbled("the end of the strong pull-up", replies->front());
    }
    return {};
}

WireResult<ResetOutcome> Ds2480bLink::reset() {
    const std::function<WireResult<ResetOutcome>()> op = [this]() -> WireResult<ResetOutcome> {
        if (auto ended = endPullup(); !ended) {
            return ended.error();
        }
        pullup_ = Pullup::Off;
        Frame frame(mode_);
        frame.command(kResetCommand, true);
        auto replies = run(frame);
        if (!replies) {
            return replies.error();
        }
        const uint8_t reply = replies->front();
        if ((reply & kResetReplyMask) != kResetReplyMarker) {
            return garbled("a reset", reply);
        }
        switch (reply & kPresenceMask) {
            case kBusShorted:
                return ResetOutcome::Short;
            case kNoPresence:
                return ResetOutcome::NoPresence;
            default:
                return ResetOutcome::Presence;
        }
    };
    return guarded(Step::Starts, op, op);
}

WireResult<bool> Ds2480bLink::touchBit(bool bit) {
    return guarded<bool>(
        Step::Continues,
        [this, bit]() -> WireResult<bool> {
            if (auto ended = endPullup(); !ended) {
                return ended.error();
            }
            const bool armed = pullup_ == Pullup::ArmedAfterBit;
            const uint8_t command = BitCommand(bit, armed);
            Frame frame(mode_);
            frame.command(command, true);
            auto replies = run(frame);
            if (!replies) {
                return replies.error();
            }
            const auto read = BitOfReply(command, replies->front());
            if (!read) {
                return garbled("a bit", replies->front());
            }
            if (armed) {
                pullup_ = Pullup::On;
            }
            return *read;
        },
        nullptr);
}

WireResult<uint8_t> Ds2480bLink::pulledUpByte(uint8_t byte) {
    // Eight single-bit commands, the last one arming the pull-up, which then runs until the
    // pulse termination (its duration is programmed as infinite).
    Frame frame(mode_);
    std::array<uint8_t, 8> commands{};
    for (int bit = 0; bit < 8; ++bit) {
        commands[static_cast<size_t>(bit)] = BitCommand(((byte >> bit) & 1) != 0, bit == 7);
        frame.command(commands[static_cast<size_t>(bit)], true);
    }
    auto replies = run(frame);
    if (!replies) {
        return replies.error();
    }
    uint8_t read = 0;
    for (size_t bit = 0; bit < 8; ++bit) {
        const auto value = BitOfReply(commands[bit], (*replies)[bit]);
        if (!value) {
            return garbled("a bit", (*replies)[bit]);
        }
        if (*value) {
            read |= static_cast<uint8_t>(1u << bit);
        }
    }
    pullup_ = Pullup::On;
    return read;
}

WireResult<uint8_t> Ds2480bLink::touchByte(uint8_t byte) {
    return guarded<uint8_t>(
        Step::Continues,
        [this, byte]() -> WireResult<uint8_t> {
            if (auto ended = endPullup(); !ended) {
                return ended.error();
            }
            if (pullup_ == Pullup::ArmedAfterByte || pullup_ == Pullup::ArmedAfterBit) {
                return pulledUpByte(byte);
            }
            Frame frame(mode_);
            frame.data(byte);
            auto replies = run(frame);
            if (!replies) {
                return replies.error();
            }
            if (!PlausibleEcho(byte, replies->front())) {
                return garbled("a data byte", replies->front());
            }
            return replies->front();
        },
        nullptr);
}

WireResult<void> Ds2480bLink::touchBlock(std::span<uint8_t> bytes) {
    if (bytes.empty()) {
        return {};
    }
    if (pullup_ == Pullup::ArmedAfterByte || pullup_ == Pullup::ArmedAfterBit) {
        auto rest = touchFirstByteAlone(bytes);
        if (!rest) {
            return rest.error();
        }
        bytes = *rest;
        if (bytes.empty()) {
            return {};
        }
    }
    return guarded<void>(
        Step::Continues,
        [this, bytes]() -> WireResult<void> {
            if (auto ended = endPullup(); !ended) {
                return ended;
            }
            Frame frame(mode_);
            for (uint8_t b : bytes) {
                frame.data(b);
            }
            auto replies = run(frame);
            if (!replies) {
                return replies.error();
            }
            for (size_t i = 0; i < bytes.size(); ++i) {
                if (!PlausibleEcho(bytes[i], (*replies)[i])) {
                    return garbled("a data byte", (*replies)[i]);
                }
            }
            std::copy(replies->begin(), replies->end(), bytes.begin());
            return {};
        },
        nullptr);
}

WireResult<void> Ds2480bLink::armStrongPullup(PullupTrigger trigger) {
    if (!port_->isOpen()) {
        return notOpen();
    }
    if (sequenceCut_) {
        return interrupted("no reset since");
    }
    if (pullup_ == Pullup::On) {
        return {};  // already on: it stays on
    }
    pullup_ =
        trigger == PullupTrigger::AfterNextByte ? Pullup::ArmedAfterByte : Pullup::ArmedAfterBit;
    return {};
}

WireResult<void> Ds2480bLink::setNormalLevel() {
    if (pullup_ != Pullup::On) {
        pullup_ = Pullup::Off;
        if (sequenceCut_) {
            return interrupted("no reset since");
        }
        return {};
    }
    const std::function<WireResult<void>()> op = [this] { return endPullup(); };
    return guarded<void>(Step::Continues, op, nullptr);
}

WireResult<SearchPass> Ds2480bLink::searchPass(const RomCode& directions, bool alarmOnly) {
    // The caller reset the bus before the pass; a repeat after resynchronising resets it again.
    return guarded<SearchPass>(
        Step::Continues, [&] { return runSearchPass(directions, alarmOnly, false); },
        [&] { return runSearchPass(directions, alarmOnly, true); });
}

}  // namespace velgrin::ds2480b
