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

WireResult<void> Ds2480bLink::openAdapter() {
    if (port_->isOpen()) {
        return {};
    }
    auto opened = port_->open();
    if (!opened) {
        return opened;
    }
    forgetAdapterState();
    freshlyOpened_ = true;
    fasterRateRefused_ = false;
    lostReason_.clear();
    return {};
}

void Ds2480bLink::closeAdapter() {
    port_->close();
    forgetAdapterState();
}

void Ds2480bLink::forgetAdapterState() {
    synced_ = false;
    mode_ = Mode::Command;
    pullupEndedByAdapter();
    baud_ = kPowerUpBaud;
}

WireError Ds2480bLink::garbled(const std::string& what, uint8_t reply) const {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", reply);
    return WireError{WireErrorCode::Protocol, "the DS2480B adapter on " + port_->name() +
                                                  " answered " + text + " to " + what};
}

std::string Ds2480bLink::sequenceCutter() const {
    return "a re-synchronisation of the DS2480B adapter on " + port_->name();
}

WireError Ds2480bLink::lose(const WireError& why) {
    port_->close();
    forgetAdapterState();
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

WireResult<void> Ds2480bLink::ready() {
    if (!port_->isOpen()) {
        return notOpen();
    }
    return {};
}

WireResult<void> Ds2480bLink::prepare() {
    if (synced_) {
        return {};
    }
    return resynchronize();
}

WireResult<Ds2480bLink::AfterRecovery> Ds2480bLink::recover(const WireError& failure) {
    forgetAdapterState();
    if (!LosesAdapter(failure)) {
        return failure;
    }
    if (auto synced = resynchronize(failure.code == WireErrorCode::Timeout); !synced) {
        return synced.error();
    }
    return AfterRecovery::RunAgain;
}

WireResult<std::vector<uint8_t>> Ds2480bLink::run(const Frame& frame) {
    auto replies = Exchange(*port_, frame, baud_, options_.replyMargin, stats_);
    if (replies) {
        mode_ = frame.mode();
    }
    return replies;
}

WireResult<void> Ds2480bLink::endPullup() {
    Frame frame(mode_);
    frame.command(kPulseTermination, true);
    auto replies = run(frame);
    if (!replies) {
        return replies.error();
    }
    if ((replies->front() & kPulseReplyMask) != kPulseReplyMarker) {
        return garbled("the end of the strong pull-up", replies->front());
    }
    return {};
}

WireResult<ResetOutcome> Ds2480bLink::resetBus() {
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
}

WireResult<bool> Ds2480bLink::sendBit(bool bit, bool pullupAfter) {
    const uint8_t command = BitCommand(bit, pullupAfter);
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
    return *read;
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
    return read;
}

WireResult<uint8_t> Ds2480bLink::sendByte(uint8_t byte, bool pullupAfter) {
    if (pullupAfter) {
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
}

WireResult<void> Ds2480bLink::sendBlock(std::span<uint8_t> bytes) {
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
}

}  // namespace velgrin::ds2480b
