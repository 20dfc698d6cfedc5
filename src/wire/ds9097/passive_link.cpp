#include "wire/ds9097/passive_link.h"

#include <array>
#include <bit>
#include <cstdio>
#include <optional>

namespace velgrin::ds9097 {

namespace {

// An exchange this long on the line is waited out before its echoes are read.
constexpr std::chrono::microseconds kLongExchange{2000};

// The reset byte's start bit and four low data bits hold the line low whatever the bus does.
constexpr uint8_t kResetLowBits = 0x0F;

constexpr uint8_t SlotByte(bool bit) {
    return bit ? kWriteOne : kWriteZero;
}

}  // namespace

std::optional<bool> SlotEcho(uint8_t sent, uint8_t echo, uint8_t mask) {
    echo &= mask;
    if (sent == kWriteZero) {
        return echo == 0 ? std::optional(false) : std::nullopt;
    }
    // A device answering 0 holds the line from the start bit on, so the low bits come first.
    const auto low = static_cast<uint8_t>(~echo & mask);
    if ((low & static_cast<uint8_t>(low + 1)) != 0) {
        return std::nullopt;
    }
    return echo == mask;
}

PassiveSerialLink::PassiveSerialLink(std::unique_ptr<ds2480b::SerialPort> port,
                                     PassiveOptions options)
    : port_(std::move(port)), options_(options) {}

LinkCapabilities PassiveSerialLink::capabilities() const {
    LinkCapabilities can;
    can.strongPullup = false;
    can.pullupLimit = "the passive serial adapter has no strong pull-up";
    return can;
}

WireResult<void> PassiveSerialLink::openAdapter() {
    if (port_->isOpen()) {
        return {};
    }
    auto opened = port_->open();
    if (!opened) {
        return opened;
    }
    // The port opens at 9600 baud with 8 data bits.
    baud_ = kResetBaud;
    dataBits_ = kResetDataBits;
    echoMask_ = 0xFF;
    stale_ = false;
    return {};
}

void PassiveSerialLink::closeAdapter() {
    port_->close();
}

WireResult<void> PassiveSerialLink::ready() {
    if (!port_->isOpen()) {
        return WireError{WireErrorCode::Io,
                         "the passive serial adapter port " + port_->name() + " is not open"};
    }
    return {};
}

WireError PassiveSerialLink::garbled(const std::string& what, uint8_t echo) const {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", echo);
    return WireError{WireErrorCode::Protocol, "the passive serial adapter on " + port_->name() +
                                                  " echoed " + text + " to " + what +
                                                  " (a noisy line?)"};
}

WireResult<void> PassiveSerialLink::useFormat(uint32_t baud, int dataBits) {
    if (baud_ == baud && dataBits_ == dataBits) {
        return {};
    }
    // Every echo has come back, so nothing of the old format is still on its way out.
    auto taken = port_->setFormat(baud, dataBits);
    if (taken && dataBits == kSlotDataBits && *taken > kSlotDataBits + 1) {
        // A driver that can change nothing of the request refuses it (a pseudo-terminal, which
        // keeps 8 bits): the format just taken stays.
        if (auto shorter = port_->setFormat(baud, kSlotDataBits + 1); shorter) {
            taken = shorter;
        }
    }
    if (!taken) {
        return taken.error();
    }
    baud_ = baud;
    dataBits_ = dataBits;
    // A driver that rounded the data bits up sends and echoes them all.
    echoMask_ = static_cast<uint8_t>((1u << *taken) - 1);
    return {};
}

WireResult<void> PassiveSerialLink::exchange(std::span<uint8_t> bytes) {
    if (stale_) {
        if (auto flushed = port_->flushInput(); !flushed) {
            return flushed;
        }
        stale_ = false;
    }
    if (auto written = port_->write(bytes); !written) {
        return written;
    }
    stats_.bytesSent += bytes.size();
    ++stats_.roundTrips;
    const auto timeout = options_.replyMargin + std::chrono::ceil<std::chrono::milliseconds>(
                                                    ds2480b::CharacterTime(baud_) * bytes.size());
    // No echo set is complete before the line has carried its characters: waiting that long
    // first spares a wake-up per echo on a long block.
    const auto lineTime = std::chrono::microseconds(
        static_cast<int64_t>(bytes.size()) * (std::popcount(echoMask_) + 2) * 1'000'000 / baud_);
    if (lineTime >= kLongExchange) {
        port_->idle(lineTime - kLongExchange / 2);
    }
    auto got = port_->read(bytes, timeout);
    if (!got) {
        stale_ = true;
        return got.error();
    }
    stats_.bytesReceived += *got;
    if (*got < bytes.size()) {
        stale_ = true;
        return WireError{WireErrorCode::Timeout, "the passive serial adapter on " + port_->name() +
                                                     " echoed " + std::to_string(*got) + " of " +
                                                     std::to_string(bytes.size()) +
                                                     " bytes (is the adapter connected?)"};
    }
    return {};
}

WireResult<ResetOutcome> PassiveSerialLink::resetBus() {
    if (auto rate = useFormat(kResetBaud, kResetDataBits); !rate) {
        return rate.error();
    }
    std::array<uint8_t, 1> line{kResetByte};
    if (auto done = exchange(line); !done) {
        return done.error();
    }
    const uint8_t echo = line[0];
    if ((echo & kResetLowBits) != 0) {
        return garbled("a reset", echo);
    }
    if (echo == kResetByte) {
        return ResetOutcome::NoPresence;
    }
    // The line never came back high after the pulse.
    return echo == 0 ? ResetOutcome::Short : ResetOutcome::Presence;
}

WireResult<void> PassiveSerialLink::slots(std::span<uint8_t> bytes) {
    if (auto rate = useFormat(kSlotBaud, kSlotDataBits); !rate) {
        return rate;
    }
    std::array<uint8_t, kMaxBlockBytes * 8> line{};
    const std::span<uint8_t> used(line.data(), bytes.size() * 8);
    for (size_t i = 0; i < used.size(); ++i) {
        used[i] = SlotByte(((bytes[i / 8] >> (i % 8)) & 1) != 0);
    }
    if (auto done = exchange(used); !done) {
        return done;
    }
    for (size_t i = 0; i < bytes.size(); ++i) {
        uint8_t read = 0;
        for (size_t bit = 0; bit < 8; ++bit) {
            const uint8_t sent = SlotByte(((bytes[i] >> bit) & 1) != 0);
            const auto value = SlotEcho(sent, used[i * 8 + bit], echoMask_);
            if (!value) {
                return garbled("a time slot", used[i * 8 + bit]);
            }
            read |= static_cast<uint8_t>((*value ? 1u : 0u) << bit);
        }
        bytes[i] = read;
    }
    return {};
}

// Without a strong pull-up the base never asks for one after a slot.
WireResult<bool> PassiveSerialLink::sendBit(bool bit, bool /*pullupAfter*/) {
    if (auto rate = useFormat(kSlotBaud, kSlotDataBits); !rate) {
        return rate.error();
    }
    std::array<uint8_t, 1> line{SlotByte(bit)};
    if (auto done = exchange(line); !done) {
        return done.error();
    }
    const auto value = SlotEcho(SlotByte(bit), line[0], echoMask_);
    if (!value) {
        return garbled("a time slot", line[0]);
    }
    return *value;
}

WireResult<uint8_t> PassiveSerialLink::sendByte(uint8_t byte, bool /*pullupAfter*/) {
    std::array<uint8_t, 1> bytes{byte};
    if (auto done = slots(bytes); !done) {
        return done.error();
    }
    return bytes[0];
}

WireResult<void> PassiveSerialLink::sendBlock(std::span<uint8_t> bytes) {
    while (!bytes.empty()) {
        const size_t piece = std::min(bytes.size(), kMaxBlockBytes);
        if (auto done = slots(bytes.first(piece)); !done) {
            return done;
        }
        bytes = bytes.subspan(piece);
    }
    return {};
}

}  // namespace velgrin::ds9097
