#include "passive_model/uart_port_model.h"

#include <algorithm>
#include <cmath>

namespace velgrin::passive {

UartPortModel::UartPortModel(sim::SimBench& bench, VirtualClock& clock, UartTraits traits)
    : bench_(bench),
      line_(bench),
      clock_(clock),
      traits_(traits),
      startUs_(clock.nowUs()),
      hostUs_(startUs_),
      lineFreeUs_(startUs_) {}

void UartPortModel::advanceTo(uint64_t us) {
    hostUs_ = std::max(hostUs_, us);
    if (clock_.nowUs() < hostUs_) {
        clock_.advanceUs(hostUs_ - clock_.nowUs());
    }
}

WireResult<void> UartPortModel::open() {
    open_ = true;
    format_ = UartFormat{};
    echoes_.clear();
    return {};
}

WireResult<int> UartPortModel::setFormat(uint32_t baud, int dataBits) {
    if (!open_ || baud == 0 || dataBits < 5 || dataBits > 8) {
        return WireError{WireErrorCode::Unsupported, "uart model: no such format"};
    }
    // The new format applies once what was written has left.
    advanceTo(lineFreeUs_);
    format_.baud = baud;
    format_.dataBits = dataBits < traits_.smallestDataBits ? 8 : dataBits;
    return format_.dataBits;
}

WireResult<void> UartPortModel::write(std::span<const uint8_t> bytes) {
    if (!open_) {
        return WireError{WireErrorCode::Io, "uart model: not open"};
    }
    const double characterUs = CharacterUs(format_);
    double startUs = static_cast<double>(std::max(hostUs_, lineFreeUs_));
    for (uint8_t byte : bytes) {
        // The devices see each character when it is on the line.
        const auto at = static_cast<uint64_t>(std::llround(startUs));
        if (clock_.nowUs() < at) {
            clock_.advanceUs(at - clock_.nowUs());
        }
        bench_.catchUp();
        const uint8_t echo = line_.receive(byte, format_);
        startUs += characterUs;
        const auto endUs = static_cast<uint64_t>(std::llround(startUs));
        echoes_.push_back(Echo{endUs + traits_.roundTripLatencyUs, echo});
        lineFreeUs_ = endUs;
    }
    return {};
}

WireResult<size_t> UartPortModel::read(std::span<uint8_t> into, std::chrono::milliseconds timeout) {
    if (!open_) {
        return WireError{WireErrorCode::Io, "uart model: not open"};
    }
    const uint64_t deadline = hostUs_ + static_cast<uint64_t>(timeout.count()) * 1000;
    size_t got = 0;
    while (got < into.size() && !echoes_.empty() && echoes_.front().readableUs <= deadline) {
        advanceTo(echoes_.front().readableUs);
        into[got++] = echoes_.front().byte;
        echoes_.pop_front();
    }
    if (got < into.size()) {
        advanceTo(deadline);
    }
    return got;
}

WireResult<void> UartPortModel::drain() {
    advanceTo(lineFreeUs_);
    return {};
}

WireResult<void> UartPortModel::flushInput() {
    echoes_.clear();
    return {};
}

WireResult<void> UartPortModel::sendBreak(std::chrono::milliseconds length) {
    advanceTo(std::max(hostUs_, lineFreeUs_) + static_cast<uint64_t>(length.count()) * 1000);
    lineFreeUs_ = hostUs_;
    return {};
}

void UartPortModel::idle(std::chrono::microseconds length) {
    advanceTo(hostUs_ + static_cast<uint64_t>(length.count()));
}

}  // namespace velgrin::passive
