#include "wire/sim/sim_link.h"

namespace velgrin::sim {

namespace {

WireError Unplugged() {
    return WireError{WireErrorCode::PortGone, "the simulated adapter is unplugged"};
}

}  // namespace

WireResult<void> SimLink::openAdapter() {
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

void SimLink::closeAdapter() {
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

WireResult<ResetOutcome> SimLink::resetBus() {
    return bench_->bus().reset();
}

WireResult<bool> SimLink::sendBit(bool bit, bool pullupAfter) {
    const bool read = bench_->bus().slot(bit);
    if (pullupAfter) {
        bench_->bus().setStrongPullup(true);
    }
    return read;
}

WireResult<void> SimLink::endPullup() {
    bench_->bus().setStrongPullup(false);
    return {};
}

}  // namespace velgrin::sim
