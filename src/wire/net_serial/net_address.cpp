#include "wire/net_serial/net_address.h"

#include <charconv>

namespace velgrin::net_serial {

namespace {

constexpr std::string_view kRfc2217Scheme = "rfc2217://";
constexpr std::string_view kTcpScheme = "tcp://";
// The longest name DNS allows.
constexpr size_t kMaxHostLength = 253;

bool HostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == ':';
}

}  // namespace

std::string NetAddress::place() const {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

bool IsNetAddress(std::string_view argument) {
    return argument.starts_with(kRfc2217Scheme) || argument.starts_with(kTcpScheme);
}

WireResult<NetAddress> ParseNetAddress(std::string_view argument) {
    NetAddress address;
    std::string_view rest;
    if (argument.starts_with(kRfc2217Scheme)) {
        address.rfc2217 = true;
        rest = argument.substr(kRfc2217Scheme.size());
    } else if (argument.starts_with(kTcpScheme)) {
        rest = argument.substr(kTcpScheme.size());
    } else {
        return WireError{WireErrorCode::BadPortSpec,
                         "'" + std::string(argument) +
                             "' is no network address (rfc2217://HOST:PORT or tcp://HOST:PORT)"};
    }
    const auto bad = [&](const std::string& why) {
        return WireError{WireErrorCode::BadPortSpec,
                         "'" + std::string(argument) + "': " + why +
                             " (the form is rfc2217://HOST:PORT or tcp://HOST:PORT)"};
    };
    std::string_view host;
    std::string_view port;
    if (rest.starts_with('[')) {
        const auto close = rest.find(']');
        if (close == std::string_view::npos || rest.substr(close + 1, 1) != ":") {
            return bad("an IPv6 address in brackets must be followed by :PORT");
        }
        host = rest.substr(1, close - 1);
        port = rest.substr(close + 2);
    } else {
        const auto colon = rest.rfind(':');
        if (colon == std::string_view::npos) {
            return bad("the port number is missing");
        }
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (host.find(':') != std::string_view::npos) {
            return bad("an IPv6 address goes in brackets");
        }
    }
    if (host.empty() || host.size() > kMaxHostLength) {
        return bad("the host name is missing or too long");
    }
    for (const char c : host) {
        if (!HostCharacter(c)) {
            return bad("the host name has a character no host name has");
        }
    }
    unsigned number = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
    if (port.empty() || error != std::errc() || end != port.data() + port.size() || number == 0 ||
        number > 65535) {
        return bad("the port must be a number from 1 to 65535");
    }
    address.host = std::string(host);
    address.port = static_cast<uint16_t>(number);
    return address;
}

}  // namespace velgrin::net_serial
