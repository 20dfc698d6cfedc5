#include "wire/tmex.h"

#include <algorithm>
#include <limits>

#include "common/crc.h"
#include "common/version.h"
#include "wire/device_table.h"

namespace velgrin {

namespace {

// A verdict of "another adapter" is given only when this many checks in a row agree, so that
// garbled replies cannot end a command: on a line that garbles one reply byte in fifty, about one
// ID chip check in four fails by itself.
constexpr int kIdentityChecks = 6;

}  // namespace

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
    text = "Velgrin 1-Wire driver " VELGRIN_SHORT_VERSION;
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
        forgetAdapter();
    }
    if (!link_->isOpen()) {
        auto opened = openLink();
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
        auto opened = openLink();
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
    if (adapterConfirmed() < 1) {
        return 0;
    }
    return *reset == ResetOutcome::Short ? 2 : 1;
}

WireResult<void> TmexDriver::openLink() {
    auto opened = link_->open();
    if (opened && identity_) {
        // Whatever now answers on the path may be another adapter.
        identityPending_ = true;
    }
    return opened;
}

void TmexDriver::forgetAdapter() {
    identity_.reset();
    identityPending_ = false;
    selfReopeningsSeen_ = link_ ? link_->selfReopenings() : 0;
    replaced_.clear();
}

int16_t TmexDriver::adapterConfirmed(Step step) {
    if (!replaced_.empty()) {
        lastError_ = replaced_;
        return tmex_error::kAdapterFailed;
    }
    int disagreed = 0;
    for (int check = 0; check < 2 * kIdentityChecks; ++check) {
        if (link_->selfReopenings() != selfReopeningsSeen_) {
            selfReopeningsSeen_ = link_->selfReopenings();
            identityPending_ = identity_.has_value();
            disagreed = 0;
        }
        if (!identityPending_) {
            return 1;
        }
        auto same = sameAdapter();
        if (!same) {
            return fail(same.error());
        }
        if (link_->selfReopenings() != selfReopeningsSeen_) {
            continue;  // reopened while it was checked: check again
        }
        if (*same) {
            identityPending_ = false;
            if (step == Step::Within) {
                return fail(WireError{WireErrorCode::Interrupted,
                                      "the bus sequence was cut by recognising the reopened "
                                      "adapter"});
            }
            return 1;
        }
        if (++disagreed == kIdentityChecks) {
            replaced_ =
                "the adapter on " + (openSpec_ ? openSpec_->text() : std::string("the port")) +
                " was replaced while in use (" +
                (identity_->idChip
                     ? "its ID chip " + RomText(*identity_->idChip) + " is not there any more"
                     : std::string("its bus holds other devices")) +
                "); nothing more is done on it";
            lastError_ = replaced_;
            return tmex_error::kAdapterFailed;
        }
    }
    return fail(WireError{WireErrorCode::Interrupted,
                          "the adapter kept reopening while it was being recognised"});
}

WireResult<bool> TmexDriver::sameAdapter() {
    if (identity_->idChip) {
        return network_->verify(*identity_->idChip);
    }
    // A search on a noisy line may miss devices, so fewer is no sign of another adapter; a
    // device this bus never showed is.
    SearchState scan;
    bool any = false;
    auto found = network_->first(scan);
    for (; found && *found; found = network_->next(scan)) {
        if (!std::binary_search(identity_->devices.begin(), identity_->devices.end(), scan.rom)) {
            return false;
        }
        any = true;
    }
    if (!found) {
        return found.error();
    }
    return any;
}

void TmexDriver::noteFound(const RomCode& rom) {
    if (rom[0] == family_code::kDs1420) {
        identity_ = AdapterIdentity{rom, {}};
    }
}

void TmexDriver::noteSearchEnded(std::vector<RomCode> devices) {
    const auto chip = std::find_if(devices.begin(), devices.end(), [](const RomCode& rom) {
        return rom[0] == family_code::kDs1420;
    });
    if (chip != devices.end()) {
        identity_ = AdapterIdentity{*chip, {}};
        return;
    }
    // A search on a noisy line may miss a device an earlier one showed: every device this
    // adapter's bus has shown since it was taken counts.
    if (identity_ && !identity_->idChip) {
        devices.insert(devices.end(), identity_->devices.begin(), identity_->devices.end());
    }
    std::sort(devices.begin(), devices.end());
    devices.erase(std::unique(devices.begin(), devices.end()), devices.end());
    identity_ = AdapterIdentity{std::nullopt, std::move(devices)};
}

int16_t TmexDriver::TMEndSession(int32_t handle) {
    if (!usable(handle)) {
        return tmex_error::kInvalidSession;
    }
    currentHandle_ = 0;
    return 1;
}

int16_t TmexDriver::TMValidSession(int32_t handle) {
    return usable(handle) && link_->isOpen() && replaced_.empty() ? 1 : 0;
}

int16_t TmexDriver::TMFirst(int32_t handle, TmexState& state) {
    if (!usable(handle)) {
        return tmex_error::kInvalidSession;
    }
    if (const int16_t confirmed = adapterConfirmed(); confirmed < 1) {
        return confirmed;
    }
    auto found = network_->first(state.search);
    if (!found) {
        return fail(found.error());
    }
    if (!*found) {
        noteSearchEnded({});
        return 0;
    }
    state.currentRom = state.search.rom;
    noteFound(state.currentRom);
    return 1;
}

int16_t TmexDriver::TMNext(int32_t handle, TmexState& state) {
    if (!usable(handle)) {
        return tmex_error::kInvalidSession;
    }
    if (const int16_t confirmed = adapterConfirmed(); confirmed < 1) {
        return confirmed;
    }
    std::vector<RomCode> enumerated;
    if (state.search.lastDevice) {
        enumerated = state.search.reported;
    }
    auto found = network_->next(state.search);
    if (!found) {
        return fail(found.error());
    }
    if (!*found) {
        noteSearchEnded(std::move(enumerated));
        return 0;
    }
    state.currentRom = state.search.rom;
    noteFound(state.currentRom);
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
    if (const int16_t confirmed = adapterConfirmed(); confirmed < 1) {
        return confirmed;
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
    if (const int16_t confirmed = adapterConfirmed(); confirmed < 1) {
        return confirmed;
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
    if (const int16_t confirmed = adapterConfirmed(Step::Within); confirmed < 1) {
        return confirmed;
    }
    auto read = link_->touchByte(static_cast<uint8_t>(byte));
    if (!read) {
        return fail(read.error());
    }
    return *read;
}

int16_t TmexDriver::TMBlockIO(int32_t handle, std::span<uint8_t> bytes) {
    if (!usable(handle)) {
        return tmex_error::kInvalidSession;
    }
    // The count goes back in the result; a longer block would not fit it.
    if (bytes.size() > static_cast<size_t>(std::numeric_limits<int16_t>::max())) {
        return tmex_error::kNoSuchPort;
    }
    if (const int16_t confirmed = adapterConfirmed(Step::Within); confirmed < 1) {
        return confirmed;
    }
    auto sent = link_->touchBlock(bytes);
    if (!sent) {
        return fail(sent.error());
    }
    return static_cast<int16_t>(bytes.size());
}

int16_t TmexDriver::TMTouchBit(int32_t handle, int16_t bit) {
    if (!usable(handle)) {
        return tmex_error::kInvalidSession;
    }
    if (const int16_t confirmed = adapterConfirmed(Step::Within); confirmed < 1) {
        return confirmed;
    }
    auto read = link_->touchBit(bit != 0);
    if (!read) {
        return fail(read.error());
    }
    return *read ? 1 : 0;
}

int16_t TmexDriver::TMOneWireLevel(int32_t handle, int16_t operation, int16_t level,
                                   int16_t prime) {
    if (!usable(handle)) {
        return tmex_error::kInvalidSession;
    }
    if (operation != 0) {
        return tmex_error::kNoSuchPort;
    }
    if (const int16_t confirmed = adapterConfirmed(Step::Within); confirmed < 1) {
        return confirmed;
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
