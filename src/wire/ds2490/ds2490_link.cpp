#include "wire/ds2490/ds2490_link.h"

#include <algorithm>

namespace velgrin::ds2490 {

namespace {

// The chip's pull-up timer counts in steps of 16 ms, up to 254 of them.
constexpr int64_t kDurationStepMs = 16;
constexpr int64_t kLongestDurationCode = 0xFE;
// Status reads a timed pull-up may still show on after the caller's wait before it is halted:
// the chip's clock and the host's need not agree to the millisecond.
constexpr int kTimerGraceReads = 8;

// A slot written as 0 reads 0 whatever the devices do; a 1 there is not the bus.
bool PlausibleEcho(uint8_t sent, uint8_t read) {
    return (read & static_cast<uint8_t>(~sent)) == 0;
}

}  // namespace

Ds2490Link::Ds2490Link(std::unique_ptr<UsbTransport> usb, Ds2490Options options)
    : usb_(std::move(usb)), options_(options) {}

WireResult<void> Ds2490Link::openAdapter() {
    if (usb_->isOpen()) {
        return {};
    }
    if (auto opened = usb_->open(); !opened) {
        return opened;
    }
    // Commands or data of an earlier program may still be queued in the chip.
    if (auto initialised = initialise(); !initialised) {
        usb_->close();
        return initialised;
    }
    return {};
}

void Ds2490Link::closeAdapter() {
    usb_->close();
}

WireResult<void> Ds2490Link::initialise() {
    const std::pair<Request, std::pair<uint16_t, uint16_t>> steps[] = {
        {Request::Control, {control::kResetDevice, 0}},
        {Request::Mode, {mode::kOneWireSpeed, mode::kRegularSpeed}},
        {Request::Mode, {mode::kStrongPullupDuration, mode::kInfiniteDuration}},
        {Request::Mode, {mode::kPulseEnable, mode::kEnableStrongPullup}},
    };
    plannedDuration_.reset();
    pullupTimed_ = false;
    for (const auto& [request, command] : steps) {
        if (auto sent = usb_->control(request, command.first, command.second); !sent) {
            return sent;
        }
    }
    durationCode_ = mode::kInfiniteDuration;
    return {};
}

std::chrono::milliseconds Ds2490Link::planPullup(std::chrono::milliseconds hold) {
    const int64_t steps = (hold.count() + kDurationStepMs - 1) / kDurationStepMs;
    if (steps < 1 || steps > kLongestDurationCode) {
        plannedDuration_.reset();
        return hold;
    }
    plannedDuration_ = static_cast<uint8_t>(steps);
    return std::chrono::milliseconds(steps * kDurationStepMs);
}

WireResult<void> Ds2490Link::applyPullupDuration() {
    const uint8_t wanted = plannedDuration_.value_or(mode::kInfiniteDuration);
    plannedDuration_.reset();
    pullupTimed_ = false;
    if (wanted != durationCode_) {
        // Unknown until the chip took it: a failure here resets the chip and its modes.
        durationCode_ = mode::kInfiniteDuration;
        if (auto set = usb_->control(Request::Mode, mode::kStrongPullupDuration, wanted); !set) {
            return set;
        }
        durationCode_ = wanted;
    }
    pullupTimed_ = wanted != mode::kInfiniteDuration;
    return {};
}

WireResult<void> Ds2490Link::ready() {
    if (!usb_->isOpen()) {
        return WireError{WireErrorCode::Io, usb_->name() + " is not open"};
    }
    return {};
}

WireError Ds2490Link::garbled(const std::string& what) const {
    return WireError{WireErrorCode::Protocol, usb_->name() + " answered nonsense to " + what};
}

WireResult<Ds2490Link::AfterRecovery> Ds2490Link::recover(const WireError& failure) {
    if (failure.code == WireErrorCode::PortGone) {
        usb_->close();
        return failure;
    }
    if (failure.code == WireErrorCode::Unsupported) {
        return failure;  // refused before anything reached the chip
    }
    ++recoveries_;
    cutSequence();
    for (uint8_t endpoint : {kStatusEndpoint, kDataOutEndpoint, kDataInEndpoint}) {
        (void)usb_->clearHalt(endpoint);  // a stalled endpoint only; the chip reset decides
    }
    if (auto initialised = initialise(); !initialised) {
        // It does not take a reset either: gone until it answers again at the next open.
        usb_->close();
        if (initialised.error().code == WireErrorCode::PortGone) {
            return initialised.error();
        }
        return WireError{WireErrorCode::Timeout,
                         usb_->name() + " stopped answering (" + failure.message + ")"};
    }
    return AfterRecovery::Report;
}

WireResult<void> Ds2490Link::communicate(uint16_t value, uint16_t index) {
    return usb_->control(Request::Communication, value, index);
}

WireResult<uint8_t> Ds2490Link::readStatus(Completion& into) {
    std::array<uint8_t, status::kPacketSize> packet{};
    auto length = usb_->readStatus(packet);
    if (!length) {
        return length.error();
    }
    if (*length < status::kMinimumPacket) {
        return garbled("a status read (" + std::to_string(*length) + " bytes)");
    }
    for (size_t i = status::kResultsAt; i < *length; ++i) {
        if (packet[i] != result::kDeviceDetected) {
            into.results.push_back(packet[i]);
        }
    }
    const uint8_t flags = packet[status::kDeviceFlags];
    if ((flags & status::kEp0Overflow) != 0) {
        return WireError{WireErrorCode::Protocol,
                         usb_->name() + " lost a command (its EP0 buffer overflowed)"};
    }
    into.dataIn = packet[status::kDataInCount];
    into.dataOut = packet[status::kDataOutCount];
    return flags;
}

WireResult<Ds2490Link::Completion> Ds2490Link::waitFor(size_t expected, bool pulledUp) {
    Completion completion;
    for (int read = 0; read < options_.maxStatusReads; ++read) {
        auto status = readStatus(completion);
        if (!status) {
            return status.error();
        }
        const uint8_t flags = *status;
        // After a reset that found nobody or a short, an idle chip has nothing more to give.
        const bool enough =
            completion.dataIn >= expected ||
            std::any_of(completion.results.begin(), completion.results.end(), [](uint8_t r) {
                return (r & (result::kNoPresence | result::kShort)) != 0;
            });
        if (pulledUp ? enough && expected > 0 : enough && (flags & status::kIdle) != 0) {
            return completion;
        }
    }
    return WireError{WireErrorCode::Timeout, usb_->name() + " did not finish a command within " +
                                                 std::to_string(options_.maxStatusReads) +
                                                 " status reads"};
}

WireResult<size_t> Ds2490Link::readUpTo(std::span<uint8_t> bytes) {
    size_t got = 0;
    for (int read = 0; read < options_.maxStatusReads && got < bytes.size(); ++read) {
        auto count = usb_->bulkRead(bytes.subspan(got));
        if (!count) {
            if (count.error().code == WireErrorCode::Timeout) {
                break;
            }
            return count.error();
        }
        if (*count == 0) {
            break;
        }
        got += *count;
    }
    return got;
}

WireResult<std::vector<uint8_t>> Ds2490Link::receive(size_t count) {
    std::vector<uint8_t> bytes(count);
    auto got = readUpTo(bytes);
    if (!got) {
        return got.error();
    }
    if (*got != count) {
        return garbled("a read of " + std::to_string(count) + " bytes (" + std::to_string(*got) +
                       " came)");
    }
    return bytes;
}

WireResult<std::vector<uint8_t>> Ds2490Link::answerOf(size_t count, bool pulledUp) {
    std::vector<uint8_t> bytes(count);
    auto got = readUpTo(bytes);
    if (!got) {
        return got.error();
    }
    if (*got < count) {
        // Missing: the status tells a chip still at it from one that lost the command.
        auto done = waitFor(count - *got, pulledUp);
        if (!done) {
            return done.error();
        }
        auto rest = receive(count - *got);
        if (!rest) {
            return rest.error();
        }
        std::copy(rest->begin(), rest->end(), bytes.begin() + static_cast<long>(*got));
    }
    return bytes;
}

WireResult<void> Ds2490Link::endPullup() {
    if (pullupTimed_) {
        pullupTimed_ = false;
        for (int read = 0; read < kTimerGraceReads; ++read) {
            auto on = pullupActive();
            if (!on) {
                return on.error();
            }
            if (!*on) {
                return {};
            }
        }
    }
    for (uint16_t command : {control::kHaltWhenIdle, control::kResumeExecution}) {
        if (auto sent = usb_->control(Request::Control, command, 0); !sent) {
            return sent;
        }
    }
    auto on = pullupActive();
    if (!on) {
        return on.error();
    }
    if (*on) {
        // Halting did not end it; a chip reset does.
        if (auto initialised = initialise(); !initialised) {
            return initialised;
        }
        on = pullupActive();
        if (!on) {
            return on.error();
        }
        if (*on) {
            return WireError{WireErrorCode::Protocol,
                             usb_->name() + " keeps its strong pull-up on after a reset"};
        }
    }
    return {};
}

WireResult<bool> Ds2490Link::pullupActive() {
    Completion ignored;
    auto flags = readStatus(ignored);
    if (!flags) {
        return flags.error();
    }
    return (*flags & status::kPullupActive) != 0;
}

WireResult<void> Ds2490Link::sendReset() {
    const uint16_t value =
        comm::kOneWireReset | comm::kImmediate | comm::kBit3 | comm::kNotify | comm::kFlushOnError;
    return communicate(value, mode::kRegularSpeed);
}

WireResult<ResetOutcome> Ds2490Link::resetBus() {
    plannedDuration_.reset();  // a plan belongs to the sequence it was made in
    if (auto sent = sendReset(); !sent) {
        return sent.error();
    }
    auto done = waitFor(0, false);
    if (!done) {
        return done.error();
    }
    return resetFound(*done);
}

WireResult<ResetOutcome> Ds2490Link::resetFound(const Completion& done) {
    uint8_t outcome = 0;
    for (uint8_t r : done.results) {
        outcome |= r;
    }
    if ((outcome & result::kShort) != 0) {
        if (auto initialised = initialise(); !initialised) {
            return initialised.error();
        }
        return ResetOutcome::Short;
    }
    return (outcome & result::kNoPresence) != 0 ? ResetOutcome::NoPresence : ResetOutcome::Presence;
}

WireResult<bool> Ds2490Link::sendBit(bool bit, bool pullupAfter) {
    uint16_t value = comm::kBitIo | comm::kImmediate;
    if (bit) {
        value |= comm::kBit3;
    }
    if (pullupAfter) {
        if (auto applied = applyPullupDuration(); !applied) {
            return applied.error();
        }
        value |= comm::kStrongPullup;
    }
    if (auto sent = communicate(value, 0); !sent) {
        return sent.error();
    }
    auto read = answerOf(1, pullupAfter);
    if (!read) {
        return read.error();
    }
    // The bit read is the low bit of the byte returned.
    const bool got = (read->front() & 0x01) != 0;
    if (!bit && got) {
        return garbled("a bit");
    }
    return got;
}

WireResult<uint8_t> Ds2490Link::sendByte(uint8_t byte, bool pullupAfter) {
    uint16_t value = comm::kByteIo | comm::kImmediate;
    if (pullupAfter) {
        if (auto applied = applyPullupDuration(); !applied) {
            return applied.error();
        }
        value |= comm::kStrongPullup;
    }
    if (auto sent = communicate(value, byte); !sent) {
        return sent.error();
    }
    auto read = answerOf(1, pullupAfter);
    if (!read) {
        return read.error();
    }
    if (!PlausibleEcho(byte, read->front())) {
        return garbled("a data byte");
    }
    return read->front();
}

WireResult<void> Ds2490Link::startBlock(std::span<const uint8_t> bytes, uint16_t flags) {
    if (auto written = usb_->bulkWrite(bytes); !written) {
        return written;
    }
    return communicate(comm::kBlockIo | comm::kImmediate | flags,
                       static_cast<uint16_t>(bytes.size()));
}

WireResult<void> Ds2490Link::takeBlock(std::span<uint8_t> bytes, std::span<const uint8_t> read) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (!PlausibleEcho(bytes[i], read[i])) {
            return garbled("a data byte of a block");
        }
    }
    std::copy(read.begin(), read.end(), bytes.begin());
    return {};
}

WireResult<void> Ds2490Link::sendBlock(std::span<uint8_t> bytes) {
    for (size_t at = 0; at < bytes.size(); at += kBlockChunk) {
        const auto chunk = bytes.subspan(at, std::min(kBlockChunk, bytes.size() - at));
        if (auto started = startBlock(chunk, 0); !started) {
            return started;
        }
        auto read = answerOf(chunk.size(), false);
        if (!read) {
            return read.error();
        }
        if (auto taken = takeBlock(chunk, *read); !taken) {
            return taken;
        }
    }
    return {};
}

WireResult<ResetOutcome> Ds2490Link::sendResetAndBlock(std::span<uint8_t> bytes) {
    const auto first = bytes.first(std::min(kBlockChunk, bytes.size()));
    // A block's own reset reports nothing of what it found, so the reset goes as a command of
    // its own ahead of the block; one status read then covers both.
    if (auto sent = sendReset(); !sent) {
        return sent.error();
    }
    if (auto started = startBlock(first, 0); !started) {
        return started.error();
    }
    // Whether anybody answered the reset is in the status alone.
    auto done = waitFor(first.size(), false);
    if (!done) {
        return done.error();
    }
    const auto found = resetFound(*done);
    if (!found || *found == ResetOutcome::Short) {
        return found;
    }
    if (*found == ResetOutcome::NoPresence) {
        // Whatever of the block the chip still holds is nobody's answer, and must not pass for
        // the answer of the next command. Reading takes what came back; what never went out
        // is flushed, which the chip does only while halted.
        if (auto drained = receive(done->dataIn); !drained) {
            return drained.error();
        }
        if (done->dataOut > 0) {
            for (uint16_t command : {control::kHaltWhenIdle, control::kFlushTransmitBuffer,
                                     control::kResumeExecution}) {
                if (auto sent = usb_->control(Request::Control, command, 0); !sent) {
                    return sent.error();
                }
            }
        }
        return ResetOutcome::NoPresence;
    }
    if (done->dataIn != first.size()) {
        return garbled("a block");
    }
    auto read = receive(first.size());
    if (!read) {
        return read.error();
    }
    if (auto taken = takeBlock(first, *read); !taken) {
        return taken.error();
    }
    if (auto rest = sendBlock(bytes.subspan(first.size())); !rest) {
        return rest.error();
    }
    return ResetOutcome::Presence;
}

}  // namespace velgrin::ds2490
