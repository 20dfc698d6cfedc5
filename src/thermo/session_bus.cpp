#include "thermo/session_bus.h"

namespace velgrin {

WireResult<uint8_t> SessionBus::touchByte(uint8_t byte) {
    const int16_t read = core_.driver().TMTouchByte(core_.SHandle, byte);
    if (read < 0) {
        return failure(read, false);
    }
    return static_cast<uint8_t>(read);
}

WireResult<bool> SessionBus::touchBit(bool bit) {
    const int16_t read = core_.driver().TMTouchBit(core_.SHandle, bit ? 1 : 0);
    if (read < 0) {
        return failure(read, false);
    }
    return read == 1;
}

bool SessionBus::singleSlots() const {
    const Link* link = core_.driver().link();
    return link == nullptr || link->capabilities().bitAccess;
}

WireResult<void> SessionBus::touchBlock(std::span<uint8_t> bytes) {
    const int16_t count = core_.driver().TMBlockIO(core_.SHandle, bytes);
    if (count < 0) {
        return failure(count, false);
    }
    if (static_cast<size_t>(count) != bytes.size()) {
        return WireError{WireErrorCode::Io, "the adapter took only part of a block"};
    }
    return {};
}

WireResult<void> SessionBus::armStrongPullup(PullupTrigger trigger) {
    return level(1, trigger == PullupTrigger::AfterNextByte ? 2 : 1);
}

WireResult<void> SessionBus::setNormalLevel() {
    return level(0, 0);
}

std::chrono::milliseconds SessionBus::planPullup(std::chrono::milliseconds hold) {
    Link* link = core_.driver().link();
    return link == nullptr ? hold : link->planPullup(hold);
}

WireResult<void> SessionBus::level(int16_t level, int16_t prime) {
    const int16_t result = core_.driver().TMOneWireLevel(core_.SHandle, 0, level, prime);
    if (result < 0) {
        return failure(result, level != 0);
    }
    return {};
}

WireError SessionBus::failure(int16_t result, bool pullupAsked) {
    TmexDriver& driver = core_.driver();
    if (result == tmex_error::kInvalidSession) {
        return WireError{WireErrorCode::Interrupted, "the session is no longer valid"};
    }
    if (pullupAsked && driver.link() != nullptr && !driver.link()->capabilities().strongPullup) {
        return WireError{WireErrorCode::Unsupported, driver.lastError()};
    }
    return WireError{
        result == tmex_error::kInterrupted ? WireErrorCode::Interrupted : WireErrorCode::Io,
        driver.lastError()};
}

}  // namespace velgrin
