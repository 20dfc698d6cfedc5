#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "wire/ds2480b/frame.h"
#include "wire/ds2480b/serial_port.h"

namespace velgrin::ds2480b {

// What the link has cost on the serial line.
struct LinkStats {
    uint64_t roundTrips = 0;  // waits for replies after writing
    uint64_t bytesSent = 0;
    uint64_t bytesReceived = 0;
    uint64_t resyncs = 0;
};

// Serial time of one 8N1 character.
std::chrono::microseconds CharacterTime(uint32_t baud);

// Whether the adapter's one-byte input buffer can overflow at this rate: above 9600 baud a
// character arrives faster than the adapter turns a byte into time slots.
bool NeedsPacing(uint32_t baud);

// Sends the frame and returns its replies in order. With pacing, at most one byte goes out
// beyond the one the adapter is working on; otherwise the whole frame goes in one write.
// `margin` is how long a reply may be late before it counts as missing.
WireResult<std::vector<uint8_t>> Exchange(SerialPort& port, const Frame& frame, uint32_t baud,
                                          std::chrono::milliseconds margin, LinkStats& stats);

}  // namespace velgrin::ds2480b
