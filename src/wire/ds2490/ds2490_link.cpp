#include "wire/ds2490/ds2490_link.h"

namespace velgrin::ds2490 {

namespace {

// A slot written as 0 reads 0 whatever the devices do; a 1 there is not the bus.
bool PlausibleEcho(uint8_t sent, uint8_t read) {
    return (read & static_cast<uint8_t>(~sent)) == 0;
}

}  // namespace

Ds2490Link::Ds2490Link(std::unique_ptr<UsbTransport> usb, Ds2490Options options)
    : usb_(std::move(usb)), options_(options) {}

WireResult<void> Ds2490Link::open() {
    if (usb_->isOpen()) {
        return {};
    }
    if (auto opened = usb_->open(); !opened) {
        return opened;
    }
    pullup_ = Pullup::Off;
    // Commands or data of an earlier program may still be queued in the chip.
    if (auto initialised = initialise(); !initialised) {
        usb_->close();
        return initialised;
    }
    return {};
}

void Ds2490Link::close() {
    usb_->close();
    pullup_ = Pullup::Off;
}

WireResult<void> Ds2490Link::initialise() {
    const std::pair<Request, std::pair<uint16_t, uint16_t>> steps[] = {
        {Request::Control, {control::kResetDevice, 0}},
        {Request::Mode, {mode::kOneWireSpeed, mode::kRegularSpeed}},
        {Request::Mode, {mode::kStrongPullupDuration, mode::kInfiniteDuration}},
        {Request::Mode, {mode::kPulseEnable, mode::kEnableStrongPullup}},
    };
    for (const auto& [request, command] : steps) {
        if (auto sent = usb_->control(request, command.first, command.second); !sent) {
            return sent;
        }
    }
    return {};
}

WireResult<void> Ds2490Link::ready() const {
    if (!usb_->isOpen()) {
        return WireError{WireErrorCode::Io, usb_->name() + " is not open"};
    }
    return {};
}

WireError Ds2490Link::garbled(const std::string& what) const {
    return WireError{WireErrorCode::Protocol, usb_->name() + " answered nonsense to " + what};
}

WireError Ds2490Link::interrupted(const std::string& cause) const {
    return WireError{WireErrorCode::Interrupted, "the bus sequence was cut by a reset of " +
                                                     usb_->name() + " (" + cause +
                                                     "); it starts again with a bus reset"};
}

template <typename T>
WireResult<T> Ds2490Link::guarded(const std::function<WireResult<T>()>& op, Step step) {
    if (auto r = ready(); !r) {
        return r.error();
    }
    if (sequenceCut_ && step == Step::Continues) {
        return interrupted("no bus reset since");
    }
    auto result = op();
    if (result) {
        if (step == Step::Starts) {
            sequenceCut_ = false;
        }
        return result;
    }
    const WireError failure = result.error();
    pullup_ = Pullup::Off;
    if (failure.code == WireErrorCode::PortGone) {
        usb_->close();
        return failure;
    }
    ++recoveries_;
    sequenceCut_ = true;
    for (uint8_t endpoint : {kStatusEndpoint, kDataOutEndpoint, kDataInEndpoint}) {
        (void)usb_->clearHalt(endpoint);
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
    if (step == Step::Starts) {
        return failure;
    }
    return interrupted(failure.message);
}

WireResult<void> Ds2490Link::communicate(uint16_t value, uint16_t index) {
    return usb_->control(Request::Communication, value, index);
}

WireResult<Ds2490Link::Completion> Ds2490Link::waitFor(size_t expected, bool pulledUp) {
    Completion completion;
    std::array<uint8_t, status::kPacketSize> packet{};
    for (int read = 0; read < options_.maxStatusReads; ++read) {
        auto length = usb_->readStatus(packet);
        if (!length) {
            return length.error();
        }
        if (*length < status::kMinimumPacket) {
            return garbled("a status read (" + std::to_string(*length) + " bytes)");
        }
        for (size_t i = status::kResultsAt; i < *length; ++i) {
            if (packet[i] != result::kDeviceDetected) {
                completion.results.push_back(packet[i]);
            }
        }
        const uint8_t flags = packet[status::kDeviceFlags];
        if ((flags & status::kEp0Overflow) != 0) {
            return WireError{WireErrorCode::Protocol,
                             usb_->name() + " lost a command (its EP0 buffer overflowed)"};
        }
        completion.dataIn = packet[status::kDataInCount];
        const bool enough = completion.dataIn >= expected;
        if (pulledUp ? enough && expected > 0 : enough && (flags & status::kIdle) != 0) {
            return completion;
        }
    }
    return WireError{WireErrorCode::Timeout, usb_->name() + " did not finish a command within " +
                                                 std::to_string(options_.maxStatusReads) +
                                                 " status reads"};
}

WireResult<std::vector<uint8_t>> Ds2490Link::receive(size_t count) {
    std::vector<uint8_t> bytes(count);
    if (count > 0) {
        if (auto read = usb_->bulkRead(bytes); !read) {
            return read.error();
        }
    }
    return bytes;
}

WireResult<void> Ds2490Link::endPullup() {
    if (pullup_ != Pullup::On) {
        return {};
    }
    pullup_ = Pullup::Off;
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
    std::array<uint8_t, status::kPacketSize> packet{};
    auto length = usb_->readStatus(packet);
    if (!length) {
        return length.error();
    }
    if (*length < status::kMinimumPacket) {
        return garbled("a status read");
    }
    return (packet[status::kDeviceFlags] & status::kPullupActive) != 0;
}

WireResult<ResetOutcome> Ds2490Link::reset() {
    return guarded<ResetOutcome>(
        [this]() -> WireResult<ResetOutcome> {
            if (auto ended = endPullup(); !ended) {
                return ended.error();
            }
            pullup_ = Pullup::Off;
            const uint16_t value = comm::kOneWireReset | comm::kImmediate | comm::kBit3 |
                                   comm::kNotify | comm::kFlushOnError;
            if (auto sent = communicate(value, mode::kRegularSpeed); !sent) {
                return sent.error();
            }
            auto done = waitFor(0, false);
            if (!done) {
                return done.error();
            }
            uint8_t outcome = 0;
            for (uint8_t r : done->results) {
                outcome |= r;
            }
            if ((outcome & result::kShort) != 0) {
                // Commands may stay queued behind a short; start the next one on a clean chip.
                if (auto initialised = initialise(); !initialised) {
                    return initialised.error();
                }
                return ResetOutcome::Short;
            }
            return (outcome & result::kNoPresence) != 0 ? ResetOutcome::NoPresence
                                                        : ResetOutcome::Presence;
        },
        Step::Starts);
}

WireResult<bool> Ds2490Link::touchBit(bool bit) {
    return guarded<bool>([this, bit]() -> WireResult<bool> {
        if (auto ended = endPullup(); !ended) {
            return ended.error();
        }
        const bool pullup = pullup_ == Pullup::ArmedAfterBit;
        uint16_t value = comm::kBitIo | comm::kImmediate;
        if (bit) {
            value |= comm::kBit3;
        }
        if (pullup) {
            value |= comm::kStrongPullup;
        }
        if (auto sent = communicate(value, 0); !sent) {
            return sent.error();
        }
        auto done = waitFor(1, pullup);
        if (!done) {
            return done.error();
        }
        auto read = receive(1);
        if (!read) {
            return read.error();
        }
        // The bit read is the low bit of the byte returned.
        const bool got = (read->front() & 0x01) != 0;
        if (!bit && got) {
            return garbled("a bit");
        }
        if (pullup) {
            pullup_ = Pullup::On;
        }
        return got;
    });
}

WireResult<uint8_t> Ds2490Link::byteIo(uint8_t byte, bool pullup) {
    uint16_t value = comm::kByteIo | comm::kImmediate;
    if (pullup) {
        value |= comm::kStrongPullup;
    }
    if (auto sent = communicate(value, byte); !sent) {
        return sent.error();
    }
    auto done = waitFor(1, pullup);
    if (!done) {
        return done.error();
    }
    auto read = receive(1);
    if (!read) {
        return read.error();
    }
    if (!PlausibleEcho(byte, read->front())) {
        return garbled("a data byte");
    }
    if (pullup) {
        pullup_ = Pullup::On;
    }
    return read->front();
}

WireResult<uint8_t> Ds2490Link::touchByte(uint8_t byte) {
    return guarded<uint8_t>([this, byte]() -> WireResult<uint8_t> {
        if (auto ended = endPullup(); !ended) {
            return ended.error();
        }
        const bool pullup = pullup_ == Pullup::ArmedAfterByte || pullup_ == Pullup::ArmedAfterBit;
        return byteIo(byte, pullup);
    });
}

WireResult<void> Ds2490Link::blockIo(std::span<uint8_t> bytes) {
    if (auto written = usb_->bulkWrite(bytes); !written) {
        return written;
    }
    if (auto sent =
            communicate(comm::kBlockIo | comm::kImmediate, static_cast<uint16_t>(bytes.size()));
        !sent) {
        return sent;
    }
    auto done = waitFor(bytes.size(), false);
    if (!done) {
        return done.error();
    }
    if (done->dataIn != bytes.size()) {
        return garbled("a block");
    }
    auto read = receive(bytes.size());
    if (!read) {
        return read.error();
    }
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (!PlausibleEcho(bytes[i], (*read)[i])) {
            return garbled("a data byte of a block");
        }
    }
    std::copy(read->begin(), read->end(), bytes.begin());
    return {};
}

WireResult<void> Ds2490Link::touchBlock(std::span<uint8_t> bytes) {
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
            return {};  // the pull-up holds
        }
    }
    return guarded<void>([this, bytes]() -> WireResult<void> {
        if (auto ended = endPullup(); !ended) {
            return ended;
        }
        for (size_t at = 0; at < bytes.size(); at += kBlockChunk) {
            const size_t length = std::min(kBlockChunk, bytes.size() - at);
            if (auto done = blockIo(bytes.subspan(at, length)); !done) {
                return done;
            }
        }
        return {};
    });
}

WireResult<void> Ds2490Link::armStrongPullup(PullupTrigger trigger) {
    if (auto r = ready(); !r) {
        return r;
    }
    if (sequenceCut_) {
        return interrupted("no bus reset since");
    }
    if (pullup_ == Pullup::On) {
        return {};  // already on: it stays on
    }
    pullup_ =
        trigger == PullupTrigger::AfterNextByte ? Pullup::ArmedAfterByte : Pullup::ArmedAfterBit;
    return {};
}

WireResult<void> Ds2490Link::setNormalLevel() {
    if (pullup_ != Pullup::On) {
        pullup_ = Pullup::Off;
        if (sequenceCut_) {
            return interrupted("no bus reset since");
        }
        return {};
    }
    return guarded<void>([this] { return endPullup(); });
}

// The search pass (ds2490_search.cpp) runs guarded as well.
template WireResult<SearchPass> Ds2490Link::guarded<SearchPass>(
    const std::function<WireResult<SearchPass>()>& op, Step step);

}  // namespace velgrin::ds2490
