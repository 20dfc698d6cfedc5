#pragma once

#include <chrono>

#include "wire/net_serial/net_address.h"
#include "wire/wire_error.h"

namespace velgrin::net_serial {

// Resolves and connects within `limit` each, never longer: a name server that does not answer
// and a host that drops the connection request are both reported in time. Gives a non-blocking
// socket with Nagle's delay off, since every exchange with an adapter is a few bytes waiting for
// their answer.
WireResult<int> ConnectTcp(const NetAddress& address, std::chrono::milliseconds limit);

}  // namespace velgrin::net_serial
