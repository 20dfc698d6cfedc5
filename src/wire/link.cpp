#include "wire/link.h"

#include "wire/link_trace.h"

namespace velgrin {

namespace {

WireError Lacks(const std::string& what) {
    return WireError{WireErrorCode::Unsupported, "this adapter has no " + what};
}

}  // namespace

WireResult<void> Link::open() {
    if (!isOpen()) {
        pullup_ = Pullup::Off;
    }
    TracedOperation trace("open");
    return trace.ended(openAdapter());
}

void Link::close() {
    closeAdapter();
    pullup_ = Pullup::Off;
}

WireResult<void> Link::ready() {
    if (!isOpen()) {
        return WireError{WireErrorCode::Io, "the adapter is not open"};
    }
    return {};
}

WireError Link::interrupted(const std::string& cause) const {
    return WireError{WireErrorCode::Interrupted, "the bus sequence was cut by " + sequenceCutter() +
                                                     " (" + cause +
                                                     "); it starts again with a bus reset"};
}

template <typename T>
WireResult<T> Link::guarded(Step step, const std::function<WireResult<T>()>& op) {
    if (auto r = ready(); !r) {
        return r.error();
    }
    if (auto prepared = prepare(); !prepared) {
        return prepared.error();
    }
    if (sequenceCut_ && step != Step::Starts) {
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
    auto recovered = recover(failure);
    if (!recovered) {
        return recovered.error();
    }
    if (*recovered == AfterRecovery::RunAgain && step != Step::Continues) {
        auto again = op();
        if (!again) {
            forgetAdapterState();
            return again;
        }
        sequenceCut_ = false;
        return again;
    }
    if (step == Step::Starts) {
        return failure;
    }
    return interrupted(failure.message);
}

void Link::pullupEndedByAdapter() {
    if (pullup_ == Pullup::On) {
        pullup_ = Pullup::Off;
    }
}

WireResult<void> Link::endRunningPullup() {
    if (pullup_ != Pullup::On) {
        return {};
    }
    pullup_ = Pullup::Off;
    if (pullupEndsWithNextCommand()) {
        return {};
    }
    return endPullup();
}

WireResult<ResetOutcome> Link::reset() {
    TracedOperation trace("reset");
    return trace.ended(guarded<ResetOutcome>(Step::Starts, [this]() -> WireResult<ResetOutcome> {
        if (auto ended = endRunningPullup(); !ended) {
            return ended.error();
        }
        pullup_ = Pullup::Off;  // a reset cancels an armed pull-up
        return resetBus();
    }));
}

WireResult<bool> Link::touchBit(bool bit) {
    if (!capabilities().bitAccess) {
        return Lacks("bit-level access");
    }
    const uint8_t sent = bit ? 1 : 0;
    TracedOperation trace("bit", std::span<const uint8_t>(&sent, 1));
    return trace.ended(guarded<bool>(Step::Continues, [this, bit]() -> WireResult<bool> {
        if (auto ended = endRunningPullup(); !ended) {
            return ended.error();
        }
        const bool pulled = pullup_ == Pullup::ArmedAfterBit;
        auto read = sendBit(bit, pulled);
        if (read && pulled) {
            pullup_ = Pullup::On;
        }
        return read;
    }));
}

WireResult<uint8_t> Link::touchByte(uint8_t byte) {
    TracedOperation trace("byte", std::span<const uint8_t>(&byte, 1));
    return trace.ended(guarded<uint8_t>(Step::Continues, [this, byte]() -> WireResult<uint8_t> {
        if (auto ended = endRunningPullup(); !ended) {
            return ended.error();
        }
        const bool pulled = pullupArmed();
        auto read = sendByte(byte, pulled);
        if (read && pulled) {
            pullup_ = Pullup::On;
        }
        return read;
    }));
}

WireResult<void> Link::touchBlock(std::span<uint8_t> bytes) {
    if (bytes.empty()) {
        return {};
    }
    TracedOperation trace("block", bytes);
    const std::span<uint8_t> whole = bytes;
    if (pullupArmed()) {
        auto rest = touchFirstByteAlone(bytes);
        if (!rest) {
            return trace.ended(WireResult<void>(rest.error()));
        }
        bytes = *rest;
        if (bytes.empty()) {
            return trace.ended({}, whole);  // the pull-up holds
        }
    }
    return trace.ended(guarded<void>(Step::Continues,
                                     [this, bytes]() -> WireResult<void> {
                                         if (auto ended = endRunningPullup(); !ended) {
                                             return ended;
                                         }
                                         return sendBlock(bytes);
                                     }),
                       whole);
}

WireResult<ResetOutcome> Link::resetAndTouchBlock(std::span<uint8_t> bytes) {
    if (!resetFoldsIntoBlock()) {
        auto presence = reset();
        if (!presence || *presence != ResetOutcome::Presence) {
            return presence;
        }
        if (auto sent = touchBlock(bytes); !sent) {
            return sent.error();
        }
        return ResetOutcome::Presence;
    }
    TracedOperation trace("reset and block", bytes);
    return trace.ended(
        guarded<ResetOutcome>(Step::Starts, [this, bytes]() -> WireResult<ResetOutcome> {
            if (auto ended = endRunningPullup(); !ended) {
                return ended.error();
            }
            pullup_ = Pullup::Off;  // a reset cancels an armed pull-up
            return sendResetAndBlock(bytes);
        }));
}

WireResult<std::span<uint8_t>> Link::touchFirstByteAlone(std::span<uint8_t> bytes) {
    auto first = touchByte(bytes[0]);
    if (!first) {
        return first.error();
    }
    bytes[0] = *first;
    return bytes.subspan(1);
}

WireResult<void> Link::armStrongPullup(PullupTrigger trigger) {
    if (const LinkCapabilities can = capabilities(); !can.strongPullup) {
        return WireError{WireErrorCode::Unsupported, can.pullupLimit};
    }
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

WireResult<void> Link::setNormalLevel() {
    if (pullup_ != Pullup::On) {
        pullup_ = Pullup::Off;
        if (sequenceCut_) {
            return interrupted("no bus reset since");
        }
        return {};
    }
    TracedOperation trace("normal level");
    return trace.ended(guarded<void>(Step::Continues, [this] {
        pullup_ = Pullup::Off;
        return endPullup();
    }));
}

WireResult<SearchPass> Link::searchPass(const RomCode& directions, bool alarmOnly) {
    if (!hasSearchAccelerator()) {
        return Lacks("search accelerator");
    }
    if (alarmOnly && !capabilities().alarmSearch) {
        return Lacks("alarm search");
    }
    // A pass with a reset of its own starts a sequence; else the caller reset the bus before it.
    const bool resets = searchPassResets();
    TracedOperation trace(alarmOnly ? "alarm pass" : "search pass", directions);
    return trace.ended(guarded<SearchPass>(
        resets ? Step::Starts : Step::Restartable, [&]() -> WireResult<SearchPass> {
            if (auto ended = endRunningPullup(); !ended) {
                return ended.error();
            }
            if (resets) {
                pullup_ = Pullup::Off;  // its reset cancels an armed pull-up
            }
            return acceleratedPass(directions, alarmOnly);
        }));
}

WireResult<std::vector<RomCode>> Link::listBus(bool alarmOnly) {
    if (!capabilities().wholeBusSearch) {
        return Lacks("search of the whole bus in one call");
    }
    if (alarmOnly && !capabilities().alarmSearch) {
        return Lacks("alarm search");
    }
    TracedOperation trace(alarmOnly ? "alarm list" : "list bus");
    return trace.ended(guarded<std::vector<RomCode>>(
        Step::Starts, [this, alarmOnly]() -> WireResult<std::vector<RomCode>> {
            if (auto ended = endRunningPullup(); !ended) {
                return ended.error();
            }
            pullup_ = Pullup::Off;  // its reset cancels an armed pull-up
            return listWholeBus(alarmOnly);
        }));
}

WireResult<bool> Link::sendBit(bool, bool) {
    return Lacks("bit-level access");
}

WireResult<uint8_t> Link::sendByte(uint8_t byte, bool pullupAfter) {
    uint8_t read = 0;
    for (int bit = 0; bit < 8; ++bit) {
        auto r = sendBit(((byte >> bit) & 1) != 0, pullupAfter && bit == 7);
        if (!r) {
            return r.error();
        }
        if (*r) {
            read |= static_cast<uint8_t>(1u << bit);
        }
    }
    return read;
}

WireResult<void> Link::sendBlock(std::span<uint8_t> bytes) {
    for (uint8_t& b : bytes) {
        auto r = sendByte(b, false);
        if (!r) {
            return r.error();
        }
        b = *r;
    }
    return {};
}

WireResult<ResetOutcome> Link::sendResetAndBlock(std::span<uint8_t>) {
    return Lacks("reset folded into a block");
}

WireResult<void> Link::endPullup() {
    return Lacks("strong pull-up");
}

WireResult<SearchPass> Link::acceleratedPass(const RomCode&, bool) {
    return Lacks("search accelerator");
}

WireResult<std::vector<RomCode>> Link::listWholeBus(bool) {
    return Lacks("search of the whole bus in one call");
}

}  // namespace velgrin
