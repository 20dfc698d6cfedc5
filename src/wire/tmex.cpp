#include "wire/tmex.h"

#include "common/crc.h"

namespace velgrin {

TmexDriver::TmexDriver(PortRegistry registry, std::optional<PortSpec> defaultPort)
    : registry_(std::move(registry)), defaultPort_(std::move(defaultPort)) {}

TmexDriver::~TmexDriver() {
    network_.reset();
    if (link_) {
        link_->close();
    }
}

int16_t TmexDriver::TMReadDefaultPort(int16_t& portNum, int16_t& portType) {
    if (!defaultPort_) {
        detectDefaultPort();
    }
    const auto& port = defaultPort_ ? defaultPort_ : detectedPort_;
    if (!port) {
        return 0;
    }
    const auto* backend = registry_.find(port->kind);
    if (backend == nullptr) {
        return 0;
    }
    portNum = 1;
    portType = backend->portType;
    return 1;
}

int16_t TmexDriver::Get_Version(std::string& text) {
    text = "Velgrin 1-Wire driver " + std::string("3.2");
    return 1;
}

int16_t TmexDriver::TMGetTypeVersion(int16_t portType, std::string& text) {
    const auto* backend = registry_.findByType(portType);
    if (backend == nullptr) {
        text.clear();
        return tmex_error::kNoSuchPort;
    }
    text = backend->description;
    return 1;
}

void TmexDriver::detectDefaultPort() {
    // Found once, the port stays the default for the run, also while its adapter is unplugged.
    if (detectedPort_) {
        return;
    }
    for (const auto& backend : registry_.backends()) {
        if (!backend.soleAttached) {
            continue;
        }
        if (auto port = backend.soleAttached()) {
            detectedPort_ = std::move(port);
            return;
        }
    }
}

std::optional<PortSpec> TmexDriver::specFor(int16_t portNum, int16_t portType) const {
    const auto& port = defaultPort_ ? defaultPort_ : detectedPort_;
    if (port) {
        const auto* backend = registry_.find(port->kind);
        if (backend != nullptr && portNum == 1 && portType == backend->portType) {
            return port;
        }
    }
    const auto* backend = registry_.findByType(portType);
    if (backend == nullptr || !backend->numberedPort || portNum < 1) {
        return std::nullopt;
    }
    return backend->numberedPort(portNum);
}

int16_t TmexDriver::fail(const WireError& error) {
    lastError_ = error.message;
    switch (error.code) {
        case WireErrorCode::PortBusy:
            return tmex_error::kPortBusy;
        case WireErrorCode::NoPermission:
            return tmex_error::kPortFailed;
        case WireErrorCode::NoSuchPort:
        case WireErrorCode::BadPortSpec:
            return tmex_error::kNoSuchPort;
        case WireErrorCode::Interrupted:
            return tmex_error::kInterrupted;
        default:
            return tmex_error::kAdapterFailed;
    }
}

int32_t TmexDriver::TMExtendedStartSession(int16_t portNum, int16_t portType) {
    lastError_.clear();
    auto spec = specFor(portNum, portType);
    if (!spec) {
        lastError_ = "port " + std::to_string(portNum) + " of type " + std::to_string(portType) +
                     " names no adapter";
        return tmex_error::kNoSuchPort;
    }
    if (!link_ || openSpec_ != spec) {
        network_.reset();
        if (link_) {
            link_->close();
        }
        link_.reset();
        openSpec_.reset();
        const auto* backend = registry_.find(spec->kind);
        auto made = backend->makeLink(*spec);
        if (!made) {
            return fail(made.error());
        }
        link_ = std::move(*made);
        network_ = std::make_unique<Network>(*link_);
        openSpec_ = spec;
    }
    if (!link_->isOpen()) {
        auto opened = link_->open();
        // A port that is gone gets a session all the same; its setup fails until it is back.
        if (!opened && opened.error().code != WireErrorCode::PortGone) {
            return fail(opened.error());
        }
    }
    if (!link_->grantsSession()) {
        return 0;
    }
    lastHandle_ = lastHandle_ >= 0x7FFFFFF0 ? 1 : lastHandle_ + 1;
    currentHandle_ = lastHandle_;
    return currentHandle_;
}

bool TmexDriver::usable(int32_t handle) {
    return handle > 0 && handle == currentHandle_ && link_ != nullptr;
}

int16_t TmexDriver::TMSetup(int32_t handle) {
    if (!usable(handle)) {
        return tmex_error::kInvalidSession;
    }
    if (!link_->isOpen()) {
        auto opened = link_->open();
        if (!opened) {
            lastError_ = opened.error().message;
            return 0;
        }
    }
    auto reset = link_->reset();
    if (!reset) {
        lastError_ = reset.error().message;
        if (reset.error().code == WireErrorCode::PortGone) {
            link_->close();
        }
        return 0;
    }
    return *reset == ResetOutcome::Short ? 2 : 1;
}

int16_t TmexDriver::TMEndSession(int32_t handle) {
    if (!usable(handle)) {
        return tmex_error::kInvalidSession;
    }
    currentHandle_ = 0;
    return 1;
}

int16_t TmexDriver::TMValidSession(int32_t handle) {
    return usable(handle) && link_->isOpen() ? 1 : 0;
}

int16_t TmexDriver::TMFirst(int32_t handle, TmexState& state) {
    if (!usable(handle)) {
        return tmex_error::kInvalidSession;
    }
    auto found = network_->first(state.search);
    if (!found) {
        return fail(found.error());
    }
    if (!*found) {
        return 0;
    }
    state.currentRom = state.search.rom;
    return 1;
}

int16_t TmexDriver::TMNext(int32_t handle, TmexState& state) {
    if (!usable(handle)) {
        return tmex_error::kInvalidSession;
    }
    auto found = network_->next(state.search);
    if (!found) {
        return fail(found.error());
    }
    if (!*found) {
        return 0;
    }
    state.currentRom = state.search.rom;
    return 1;
}

int16_t TmexDriver::TMRom(int32_t handle, TmexState& state, std::span<int16_t> rom) {
    if (!usable(handle)) {
        return tmex_error::kInvalidSession;
    }
    if (rom.size() < 8) {
        return tmex_error::kNoSuchPort;
    }
    if (rom[0] == 0) {
        for (size_t i = 0; i < 8; ++i) {
            rom[i] = state.currentRom[i];
        }
    } else {
        for (size_t i = 0; i < 8; ++i) {
            state.currentRom[i] = static_cast<uint8_t>(rom[i]);
        }
    }
    return 1;
}

int16_t TmexDriver::TMAccess(int32_t handle, TmexState& state) {
    if (!usable(handle)) {
        return tmex_error::kInvalidSession;
    }
    auto answered = network_->access(state.currentRom);
    if (!answered) {
        return fail(answered.error());
    }
    return *answered ? 1 : 0;
}

int16_t TmexDriver::TMStrongAccess(int32_t handle, TmexState& state) {
    if (!usable(handle)) {
        return tmex_error::kInvalidSession;
    }
    auto present = network_->verify(state.currentRom);
    if (!present) {
        return fail(present.error());
    }
    return *present ? 1 : 0;
}

int16_t TmexDriver::TMTouchByte(int32_t handle, int16_t byte) {
    if (!usable(handle)) {
        return tmex_error::kInvalidSession;
    }
    auto read = link_->touchByte(static_cast<uint8_t>(byte));
    if (!read) {
        return fail(read.error());
    }
    return *read;
}

int16_t TmexDriver::TMOneWireLevel(int32_t handle, int16_t operation, int16_t level,
                                   int16_t prime) {
    if (!usable(handle)) {
        return tmex_error::kInvalidSession;
    }
    if (operation != 0) {
        return tmex_error::kNoSuchPort;
    }
    WireResult<void> done;
    if (level == 0) {
        done = link_->setNormalLevel();
    } else if (prime == 2) {
        done = link_->armStrongPullup(PullupTrigger::AfterNextByte);
    } else if (prime == 1) {
        done = link_->armStrongPullup(PullupTrigger::AfterNextBit);
    } else {
        return tmex_error::kNoSuchPort;
    }
    if (!done) {
        return fail(done.error());
    }
    return level;
}

int16_t TmexDriver::TMCRC(std::span<const uint8_t> bytes, uint16_t seed, int16_t type) {
    if (type == 0) {
        return Crc8(bytes, static_cast<uint8_t>(seed));
    }
    return static_cast<int16_t>(Crc16(bytes, seed));
}

}  // namespace velgrin
