#include "wire/sim/sim_link.h"

namespace velgrin::sim {

namespace {

WireError Unplugged() {
    return WireError{WireErrorCode::PortGone, "the simulated adapter is unplugged"};
}

}  // namespace

WireResult<void> SimLink::open() {
    bench_->catchUp();
    if (bench_->unplugged) {
        return Unplugged();
    }
    if (bench_->heldBy != nullptr && bench_->heldBy != this) {
        return WireError{WireErrorCode::PortBusy,
                         "the simulated adapter is in use by another program"};
    }
    bench_->heldBy = this;
    open_ = true;
    return {};
}

void SimLink::close() {
    if (bench_->heldBy == this) {
        bench_->heldBy = nullptr;
    }
    open_ = false;
}

bool SimLink::grantsSession() {
    bench_->catchUp();
    return !bench_->sessionRefused;
}

WireResult<void> SimLink::ready() {
    bench_->catchUp();
    if (!open_) {
        return WireError{WireErrorCode::Io, "the simulated adapter is not open"};
    }
    if (bench_->unplugged) {
        close();  // as a vanished port ends its open file
        return Unplugged();
    }
    return {};
}

bool SimLink::slot(bool bit) {
    return bench_->bus().slot(bit);
}

WireResult<ResetOutcome> SimLink::reset() {
    if (auto r = ready(); !r) {
        return r.error();
    }
    armedAfterBit_ = armedAfterByte_ = false;
    return bench_->bus().reset();
}

WireResult<bool> SimLink::touchBit(bool bit) {
    if (auto r = ready(); !r) {
        return r.error();
    }
    const bool read = slot(bit);
    if (armedAfterBit_) {
        armedAfterBit_ = armedAfterByte_ = false;
        bench_->bus().setStrongPullup(true);
    }
    return read;
}

WireResult<uint8_t> SimLink::touchByte(uint8_t byte) {
    if (auto r = ready(); !r) {
        return r.error();
    }
    uint8_t read = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if (slot(((byte >> bit) & 1) != 0)) {
            read |= static_cast<uint8_t>(1u << bit);
        }
    }
    if (armedAfterByte_ || armedAfterBit_) {
        armedAfterBit_ = armedAfterByte_ = false;
        bench_->bus().setStrongPullup(true);
    }
    return read;
}

WireResult<void> SimLink::armStrongPullup(PullupTrigger trigger) {
    if (auto r = ready(); !r) {
        return r.error();
    }
    if (bench_->bus().strongPullup()) {
        return {};  // already on: it stays on
    }
    (trigger == PullupTrigger::AfterNextByte ? armedAfterByte_ : armedAfterBit_) = true;
    return {};
}

WireResult<void> SimLink::setNormalLevel() {
    if (auto r = ready(); !r) {
        return r.error();
    }
    armedAfterBit_ = armedAfterByte_ = false;
    bench_->bus().setStrongPullup(false);
    return {};
}

}  // namespace velgrin::sim
