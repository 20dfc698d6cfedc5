#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "wire/wire_error.h"

namespace velgrin::net_serial {

// A serial port shared over the network: "rfc2217://HOST:PORT" (telnet with the COM-PORT-OPTION,
// which carries rate, character size and break) or "tcp://HOST:PORT" (the line's bytes alone, at
// the rate the server is set to). An IPv6 host goes in brackets: "tcp://[::1]:3001".
struct NetAddress {
    bool rfc2217 = false;
    std::string host;
    uint16_t port = 0;

    // "HOST:PORT", for messages.
    std::string place() const;
};

// Whether `argument` (what follows the kind's colon) names a network port at all.
bool IsNetAddress(std::string_view argument);

// Parses a network port; the message says what is wrong and shows the form.
WireResult<NetAddress> ParseNetAddress(std::string_view argument);

}  // namespace velgrin::net_serial
