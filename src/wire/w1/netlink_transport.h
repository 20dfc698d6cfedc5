#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

#include "wire/wire_error.h"

namespace velgrin::w1 {

// Where w1 packets go and come from: the kernel's connector socket, or a model of the kernel in
// tests. One call moves one datagram.
class NetlinkTransport {
  public:
    virtual ~NetlinkTransport() = default;

    virtual WireResult<void> open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // The address the kernel answers to, written into each request.
    virtual uint32_t portId() const = 0;

    virtual WireResult<void> send(std::span<const uint8_t> packet) = 0;
    // The next datagram from the kernel; Timeout when none came within `within`.
    virtual WireResult<std::vector<uint8_t>> receive(std::chrono::milliseconds within) = 0;
};

}  // namespace velgrin::w1
