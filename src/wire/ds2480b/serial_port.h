#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "wire/wire_error.h"

namespace velgrin::ds2480b {

// A serial line as the DS2480B link needs it: 8N1, no flow control, a few rates. The system port
// and the scripted port of the tests implement it.
class SerialPort {
  public:
    virtual ~SerialPort() = default;

    // Opens the port for this program alone (PortBusy while another holds it, PortGone when the
    // device does not exist) at the DS2480B's power-up rate.
    virtual WireResult<void> open() = 0;
    // Discards whatever is still queued either way and closes; the other end sees a hang-up.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // The rate alone, with characters of 8 data bits.
    WireResult<void> setBaud(uint32_t baud) {
        auto set = setFormat(baud, 8);
        if (!set) {
            return set.error();
        }
        return {};
    }
    // Sets the rate and the data bits of a character (5 to 8) together; gives the data bits the
    // driver took, which some USB bridges round up to 8.
    virtual WireResult<int> setFormat(uint32_t baud, int dataBits) = 0;
    virtual WireResult<void> write(std::span<const uint8_t> bytes) = 0;
    // Reads until `into` is full or `timeout` has passed; returns how many bytes arrived.
    virtual WireResult<size_t> read(std::span<uint8_t> into, std::chrono::milliseconds timeout) = 0;
    // Waits until everything written has left the port.
    virtual WireResult<void> drain() = 0;
    virtual WireResult<void> flushInput() = 0;
    // Holds the line at the start-bit level for `length`, then releases it.
    virtual WireResult<void> sendBreak(std::chrono::milliseconds length) = 0;
    // Leaves the line idle for `length` (the adapter needs quiet moments while it calibrates).
    virtual void idle(std::chrono::microseconds length) = 0;

    // The device path, for messages.
    virtual const std::string& name() const = 0;
};

}  // namespace velgrin::ds2480b
