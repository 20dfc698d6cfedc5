// Bringing a DS2480B into a known state: master reset, timing byte, configuration, rate.

#include <algorithm>

#include "wire/ds2480b/ds2480b_link.h"

namespace velgrin::ds2480b {

namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

// A break resets the adapter when it lasts well beyond a character at 9600 baud.
constexpr milliseconds kBreakLength{10};
constexpr microseconds kAfterBreak{2000};
// The adapter answers a timing byte only when it missed the reset; that stray reply must have
// arrived before the input is flushed.
constexpr microseconds kAfterTimingByte{4000};
// Room for the rate command to leave a USB bridge before the host changes rate, and for the
// adapter's reply (sent at the new rate) to arrive before it is flushed.
constexpr microseconds kAroundRateChange{5000};

constexpr uint8_t kTimingByte = Communication(kReset, kStandardSpeed);

// Slew rate, write-1 low time and sample offset for flexible speed, an infinite strong pull-up
// (it ends on request), the rate read back, and one bit at flexible speed to leave the adapter
// at that speed.
constexpr std::array<uint8_t, 6> kSetup{
    WriteParameter(Parameter::PullDownSlewRate, kSlew1_37VPerUs),
    WriteParameter(Parameter::Write1LowTime, kWrite1Low10Us),
    WriteParameter(Parameter::SampleOffset, kSampleOffset8Us),
    WriteParameter(Parameter::StrongPullupDuration, kDurationInfinite),
    ReadParameter(Parameter::BaudRate),
    Communication(kSingleBit, kFlexibleSpeed, true),
};

std::string Hex(std::span<const uint8_t> bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string text;
    for (uint8_t b : bytes) {
        if (!text.empty()) {
            text += ' ';
        }
        text += digits[b >> 4];
        text += digits[b & 0x0F];
    }
    return text;
}

bool SetupAnswered(std::span<const uint8_t> replies) {
    for (size_t i = 0; i < 4; ++i) {
        if (replies[i] != WriteReply(kSetup[i])) {
            return false;
        }
    }
    const uint8_t bit = replies[5];
    return replies[4] == ReadReply(kBaud9600) && (bit & kEchoMask) == (kSetup[5] & kEchoMask) &&
           ((bit & kBitReadMask) == 0 || (bit & kBitReadMask) == kBitReadMask);
}

}  // namespace

WireResult<void> Ds2480bLink::synchronizeAt9600() {
    forgetAdapterState();
    if (auto set = port_->setBaud(kPowerUpBaud); !set) {
        return set;
    }
    if (auto broke = port_->sendBreak(kBreakLength); !broke) {
        return broke;
    }
    port_->idle(kAfterBreak);
    if (auto flushed = port_->flushInput(); !flushed) {
        return flushed;
    }
    const uint8_t timing = kTimingByte;
    if (auto written = port_->write(std::span(&timing, 1)); !written) {
        return written;
    }
    ++stats_.bytesSent;
    port_->idle(kAfterTimingByte);
    if (auto flushed = port_->flushInput(); !flushed) {
        return flushed;
    }
    Frame frame(Mode::Command);
    for (uint8_t b : kSetup) {
        frame.command(b, true);
    }
    auto replies = run(frame);
    if (!replies) {
        return replies.error();
    }
    if (!SetupAnswered(*replies)) {
        return WireError{WireErrorCode::Protocol, "the DS2480B adapter on " + port_->name() +
                                                      " answered its set-up with " + Hex(*replies)};
    }
    return {};
}

WireResult<void> Ds2480bLink::moveToFasterRate() {
    const uint8_t code = *CodeOfBaud(options_.fasterBaud);
    const uint8_t command = WriteParameter(Parameter::BaudRate, code);
    if (auto written = port_->write(std::span(&command, 1)); !written) {
        return written;
    }
    ++stats_.bytesSent;
    if (auto drained = port_->drain(); !drained) {
        return drained;
    }
    port_->idle(kAroundRateChange);
    if (auto set = port_->setBaud(options_.fasterBaud); !set) {
        return set;
    }
    baud_ = options_.fasterBaud;
    port_->idle(kAroundRateChange);
    if (auto flushed = port_->flushInput(); !flushed) {
        return flushed;
    }
    Frame frame(Mode::Command);
    frame.command(ReadParameter(Parameter::BaudRate), true);
    auto replies = run(frame);
    if (!replies) {
        return replies.error();
    }
    uint8_t reply = replies->front();
    if (reply == WriteReply(command)) {
        // The reply to the rate command came later than the flush; the next one is ours.
        auto got = port_->read(std::span(&reply, 1), options_.replyMargin);
        if (!got) {
            return got.error();
        }
        if (*got == 0) {
            return WireError{WireErrorCode::Timeout, "the DS2480B adapter on " + port_->name() +
                                                         " did not confirm its new rate"};
        }
        ++stats_.bytesReceived;
    }
    if (reply != ReadReply(code)) {
        return WireError{WireErrorCode::Protocol,
                         "the DS2480B adapter on " + port_->name() + " did not take " +
                             std::to_string(options_.fasterBaud) + " baud (answered " +
                             Hex(std::span(&reply, 1)) + ")"};
    }
    return {};
}

WireResult<void> Ds2480bLink::resynchronize(bool afterSilence) {
    if (!freshlyOpened_) {
        ++stats_.resyncs;
        // The adapter's reset and set-up put slots on the live bus: the devices' sequence is
        // broken whatever they make of it.
        cutSequence();
    }
    // Silence on top of silence is a dead adapter, not a late reply.
    const bool silentBefore = afterSilence || lostToSilence_;
    WireError last{WireErrorCode::Timeout, "no attempt"};
    bool silent = false;
    int attempts = options_.syncAttempts;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        // A close and reopen is the break a pseudo-terminal can pass on; on a real line it
        // also clears whatever the driver still holds.
        if (!freshlyOpened_) {
            port_->close();
            if (auto opened = port_->open(); !opened) {
                forgetAdapterState();
                return opened;
            }
            countSelfReopening();
        }
        freshlyOpened_ = false;
        auto synced = synchronizeAt9600();
        silent = !synced && synced.error().code == WireErrorCode::Timeout;
        if (silent && silentBefore) {
            return lose(synced.error());
        }
        if (synced && options_.fasterBaud > kPowerUpBaud && !fasterRateRefused_) {
            synced = moveToFasterRate();
            if (!synced && synced.error().code != WireErrorCode::PortGone) {
                // The adapter (or the line) does not carry the faster rate: stay at 9600, and
                // allow one more attempt to reset the adapter there.
                fasterRateRefused_ = true;
                attempts = std::max(attempts, attempt + 2);
            }
        }
        if (synced) {
            synced_ = true;
            lostToSilence_ = false;
            return {};
        }
        forgetAdapterState();
        last = synced.error();
        if (last.code == WireErrorCode::PortGone) {
            return last;
        }
    }
    const WireError failed{last.code, "the DS2480B adapter on " + port_->name() +
                                          " cannot be synchronised: " + last.message};
    if (silent) {
        return lose(failed);
    }
    return failed;
}

}  // namespace velgrin::ds2480b
