#include "wire/ds2482/i2c_port.h"

#include <array>
#include <charconv>

#include "wire/ds2482/ds2482_codes.h"

namespace velgrin::ds2482 {

namespace {

std::string Hex(unsigned value, int digits) {
    std::array<char, 8> text{};
    const auto [end, ec] = std::to_chars(text.data(), text.data() + text.size(), value, 16);
    std::string digitsText(text.data(), end);
    if (static_cast<int>(digitsText.size()) < digits) {
        digitsText.insert(0, static_cast<size_t>(digits) - digitsText.size(), '0');
    }
    return digitsText;
}

bool AllDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

std::string I2cPort::busNumber() const {
    const auto slash = device.rfind('/');
    const std::string base = device.substr(slash == std::string::npos ? 0 : slash + 1);
    constexpr std::string_view kPrefix = "i2c-";
    if (base.size() > kPrefix.size() && base.compare(0, kPrefix.size(), kPrefix) == 0 &&
        AllDigits(base.substr(kPrefix.size()))) {
        return base.substr(kPrefix.size());
    }
    return "";
}

std::string I2cPort::sysfsName() const {
    const std::string bus = busNumber();
    return (bus.empty() ? "N" : bus) + "-" + Hex(address, 4);
}

std::string I2cPort::addressText() const {
    std::string text = Hex(address, 2);
    for (char& c : text) {
        if (c >= 'a' && c <= 'f') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return "0x" + text;
}

WireResult<I2cPort> ParseI2cPort(const PortSpec& spec) {
    auto bad = [&](const std::string& why) {
        return WireError{WireErrorCode::BadPortSpec, "port '" + spec.text() + "': " + why};
    };
    I2cPort port;
    std::string rest = spec.argument;
    // A channel is the digits after the last colon; a device name may hold colons itself.
    if (const auto colon = rest.rfind(':'); colon != std::string::npos) {
        const std::string channel = rest.substr(colon + 1);
        if (channel.size() != 1 || channel[0] < '0' || channel[0] >= '0' + kChannels) {
            return bad("the channel after the last colon is 0 to 7 (a DS2482-800's IO0 to IO7)");
        }
        port.channel = channel[0] - '0';
        rest.resize(colon);
    }
    if (const auto at = rest.rfind('@'); at != std::string::npos) {
        const std::string address = rest.substr(at + 1);
        unsigned value = 0;
        const bool hex =
            address.size() > 2 && address[0] == '0' && (address[1] == 'x' || address[1] == 'X');
        const char* first = address.data() + (hex ? 2 : 0);
        const char* last = address.data() + address.size();
        const auto [end, ec] = std::from_chars(first, last, value, 16);
        if (!hex || ec != std::errc{} || end != last || value < kFirstAddress ||
            value > kLastAddress) {
            return bad("the address after @ is 0x18 to 0x1F, as the chip's AD pins set it");
        }
        port.address = static_cast<uint8_t>(value);
        rest.resize(at);
    }
    if (rest.empty()) {
        return bad("the I2C bus's device is missing, e.g. ds2482:/dev/i2c-1");
    }
    port.device = rest;
    return port;
}

}  // namespace velgrin::ds2482
