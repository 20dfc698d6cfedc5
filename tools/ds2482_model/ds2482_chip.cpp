#include "ds2482_model/ds2482_chip.h"

#include <algorithm>

#include "wire/ds2482/ds2482_codes.h"

namespace velgrin::ds2482 {

Ds2482Chip::Ds2482Chip(Variant variant, std::array<std::shared_ptr<sim::SimBench>, 8> channels)
    : variant_(variant), channels_(std::move(channels)) {
    powerUp();
}

void Ds2482Chip::powerUp() {
    endPullup();
    hung_ = false;
    config_ = 0;
    channel_ = 0;
    pointer_ = pointer::kStatus;
    busyLeft_ = 0;
    busyUntil_ = 0;
    status_ = status::kDeviceReset | status::kLineLevel;
}

uint64_t Ds2482Chip::busTimeUs() const {
    uint64_t us = 0;
    for (const auto& bench : channels_) {
        if (bench) {
            us += bench->bus().busTimeUs();
        }
    }
    return us;
}

bool Ds2482Chip::busy() {
    if (hung_) {
        return true;
    }
    if (now_) {
        return now_() < busyUntil_;
    }
    return busyLeft_ > 0;
}

uint8_t Ds2482Chip::read() {
    switch (pointer_) {
        case pointer::kStatus: {
            const bool isBusy = busy();
            if (busyLeft_ > 0) {
                --busyLeft_;
            }
            uint8_t value = static_cast<uint8_t>(status_ & ~(status::kBusy | status::kLineLevel));
            if (isBusy) {
                value |= status::kBusy;
            }
            auto* line = bench();
            if (line == nullptr || !line->bus().shorted()) {
                value |= status::kLineLevel;
            }
            return value;
        }
        case pointer::kReadData:
            return data_;
        case pointer::kConfig:
            return config_;
        case pointer::kChannel:
            return kChannelReadBack[static_cast<size_t>(channel_)];
        default:
            return 0xFF;
    }
}

bool Ds2482Chip::write(std::span<const uint8_t> bytes) {
    if (bytes.empty()) {
        return true;  // an address-only write: acknowledged
    }
    const uint8_t code = bytes[0];
    const auto parameter = bytes.subspan(1);
    auto expects = [&](size_t count) { return parameter.size() == count; };
    switch (code) {
        case command::kDeviceReset:
            if (!expects(0)) {
                return false;
            }
            powerUp();
            return true;
        case command::kSetReadPointer: {
            const bool valid =
                expects(1) &&
                (parameter[0] == pointer::kStatus || parameter[0] == pointer::kReadData ||
                 parameter[0] == pointer::kConfig ||
                 (parameter[0] == pointer::kChannel && variant_ == Variant::Ds2482_800));
            if (!valid) {
                return false;
            }
            pointer_ = parameter[0];
            return true;
        }
        case command::kWriteConfig: {
            if (!expects(1) || busy()) {
                return false;
            }
            const uint8_t low = parameter[0] & 0x0F;
            if ((parameter[0] >> 4) != (~low & 0x0F)) {
                return false;
            }
            // The later -100 has no presence-pulse masking: its bit 1 stays 0.
            config_ = variant_ == Variant::Ds2482_100 ? static_cast<uint8_t>(low & ~0x02) : low;
            if ((config_ & config::kStrongPullup) == 0) {
                endPullup();
            }
            status_ &= static_cast<uint8_t>(~status::kDeviceReset);
            pointer_ = pointer::kConfig;
            return true;
        }
        case command::kChannelSelect: {
            if (variant_ != Variant::Ds2482_800 || !expects(1) || busy()) {
                return false;
            }
            const auto found = std::find(kChannelCodes.begin(), kChannelCodes.end(), parameter[0]);
            if (found == kChannelCodes.end()) {
                return false;
            }
            channel_ = static_cast<int>(found - kChannelCodes.begin());
            pointer_ = pointer::kChannel;
            return true;
        }
        default:
            return oneWire(code, parameter);
    }
}

void Ds2482Chip::endPullup() {
    if (pullupOn_) {
        if (auto* line = bench()) {
            line->bus().setStrongPullup(false);
        }
    }
    pullupOn_ = false;
}

void Ds2482Chip::pullupAfterSlot(bool applies) {
    if ((config_ & config::kStrongPullup) == 0) {
        return;
    }
    if (!applies) {
        config_ &= static_cast<uint8_t>(~config::kStrongPullup);
        return;
    }
    pullupOn_ = true;
    if (auto* line = bench()) {
        line->bus().setStrongPullup(true);
    }
}

bool Ds2482Chip::slot(bool bit) {
    auto* line = bench();
    return line == nullptr ? true : line->bus().slot(bit);
}

bool Ds2482Chip::oneWire(uint8_t code, std::span<const uint8_t> parameter) {
    const bool noParameter = code == command::kOneWireReset || code == command::kReadByte;
    const bool oneParameter =
        code == command::kSingleBit || code == command::kWriteByte || code == command::kTriplet;
    if ((!noParameter && !oneParameter) || parameter.size() != (oneParameter ? 1u : 0u) || busy()) {
        return false;
    }
    ++commands_;
    auto* line = bench();
    if (line != nullptr) {
        line->catchUp();
    }
    const uint64_t busBefore = busTimeUs();
    if (pullupOn_) {
        endPullup();
        config_ &= static_cast<uint8_t>(~config::kStrongPullup);
    }
    status_ &= static_cast<uint8_t>(status::kDeviceReset);
    const bool v = !parameter.empty() && (parameter[0] & kBitOne) != 0;
    switch (code) {
        case command::kOneWireReset: {
            pullupAfterSlot(false);
            const ResetOutcome outcome =
                line == nullptr ? ResetOutcome::NoPresence : line->bus().reset();
            if (outcome == ResetOutcome::Presence) {
                status_ |= status::kPresence;
            } else if (outcome == ResetOutcome::Short) {
                status_ |= status::kShort;
            }
            break;
        }
        case command::kSingleBit:
            if (slot(v)) {
                status_ |= status::kSingleBitResult;
            }
            pullupAfterSlot(true);
            break;
        case command::kWriteByte:
        case command::kReadByte: {
            const uint8_t out = code == command::kWriteByte ? parameter[0] : 0xFF;
            uint8_t in = 0;
            for (int bit = 0; bit < 8; ++bit) {
                if (slot(((out >> bit) & 1) != 0)) {
                    in |= static_cast<uint8_t>(1u << bit);
                }
            }
            // One shift register serves both: after a write it holds what the line carried,
            // which other drivers read back to check the byte went out.
            data_ = in;
            pullupAfterSlot(code == command::kWriteByte);
            break;
        }
        case command::kTriplet: {
            pullupAfterSlot(false);
            const bool id = slot(true);
            const bool complement = slot(true);
            const bool direction = id == complement ? (id ? true : v) : id;
            (void)slot(direction);
            status_ |= (id ? status::kSingleBitResult : 0) |
                       (complement ? status::kTripletSecondBit : 0) |
                       (direction ? status::kBranchDirection : 0);
            break;
        }
        default:
            break;
    }
    pointer_ = pointer::kStatus;
    busyLeft_ = busyReads_;
    hung_ = hangNext_;
    hangNext_ = false;
    if (now_) {
        busyUntil_ = now_() + (busTimeUs() - busBefore);
    }
    return true;
}

}  // namespace velgrin::ds2482
