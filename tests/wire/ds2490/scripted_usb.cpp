#include "scripted_usb.h"

#include <algorithm>
#include <cstdio>

namespace velgrin::ds2490::testing {

namespace {

std::string Hex(std::span<const uint8_t> bytes) {
    std::string text;
    char two[4];
    for (uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02X", b);
        text += two;
    }
    return text;
}

}  // namespace

std::vector<uint8_t> Status(uint8_t flags, uint8_t dataIn, std::vector<uint8_t> results) {
    std::vector<uint8_t> packet(status::kResultsAt + results.size(), 0);
    packet[status::kDeviceFlags] = flags;
    packet[status::kDataInCount] = dataIn;
    std::copy(results.begin(), results.end(), packet.begin() + status::kResultsAt);
    return packet;
}

std::optional<WireError> ScriptedUsb::takeFailure() {
    auto failure = failNext;
    failNext.reset();
    return failure;
}

WireResult<void> ScriptedUsb::open() {
    log.push_back("open");
    open_ = true;
    return {};
}

void ScriptedUsb::close() {
    if (open_) {
        log.push_back("close");
    }
    open_ = false;
}

WireResult<void> ScriptedUsb::control(Request request, uint16_t value, uint16_t index) {
    char text[32];
    std::snprintf(text, sizeof text, "C%u %04X %04X", static_cast<unsigned>(request), value, index);
    log.push_back(text);
    if (auto failure = takeFailure()) {
        return *failure;
    }
    if (failControls) {
        return *failControls;
    }
    return {};
}

WireResult<void> ScriptedUsb::bulkWrite(std::span<const uint8_t> bytes) {
    log.push_back("W " + Hex(bytes));
    if (auto failure = takeFailure()) {
        return *failure;
    }
    return {};
}

WireResult<size_t> ScriptedUsb::bulkRead(std::span<uint8_t> bytes) {
    if (auto failure = takeFailure()) {
        return *failure;
    }
    size_t count = std::min(bytes.size(), receive.size());
    if (!pieces.empty()) {
        count = std::min(count, pieces.front());
        pieces.pop_front();
    }
    for (size_t i = 0; i < count; ++i) {
        bytes[i] = receive.front();
        receive.pop_front();
    }
    log.push_back("R " + Hex(bytes.first(count)));
    return count;
}

WireResult<size_t> ScriptedUsb::readStatus(std::span<uint8_t, status::kPacketSize> packet) {
    if (auto failure = takeFailure()) {
        return *failure;
    }
    std::vector<uint8_t> next;
    if (statuses.empty()) {
        next = Status(status::kIdle, static_cast<uint8_t>(receive.size()));
    } else {
        next = statuses.front();
        statuses.pop_front();
    }
    std::copy(next.begin(), next.end(), packet.begin());
    std::string line = "S";
    if (next.size() > status::kResultsAt) {
        line += " " + Hex(std::span(next).subspan(status::kResultsAt));
    }
    log.push_back(line);
    return next.size();
}

WireResult<void> ScriptedUsb::clearHalt(uint8_t endpoint) {
    char text[16];
    std::snprintf(text, sizeof text, "clear %02X", endpoint);
    log.push_back(text);
    return {};
}

}  // namespace velgrin::ds2490::testing
