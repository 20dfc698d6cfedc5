#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "wire/ds2490/ds2490_codes.h"
#include "wire/wire_error.h"

namespace velgrin::ds2490 {

// What travelled over USB, for the benchmark.
struct UsbStats {
    uint64_t controlTransfers = 0;
    uint64_t bulkTransfers = 0;
    uint64_t statusReads = 0;
    uint64_t transfers() const { return controlTransfers + bulkTransfers + statusReads; }
};

// The USB side of a DS2490: vendor requests on EP0, the bulk FIFOs and the status endpoint.
// The link above speaks the chip's protocol over it; tests replace it by a scripted fake.
class UsbTransport {
  public:
    virtual ~UsbTransport() = default;

    // Finds the adapter, takes it from the kernel driver, claims it and picks the alternate
    // setting. The errors say what a technician can do about a failure.
    virtual WireResult<void> open() = 0;
    // Releases the adapter; the kernel driver gets it back.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // For messages: "the DS2490 USB adapter at bus 1 device 4".
    virtual std::string name() const = 0;

    virtual WireResult<void> control(Request request, uint16_t value, uint16_t index) = 0;
    virtual WireResult<void> bulkWrite(std::span<const uint8_t> bytes) = 0;
    // Reads from the bus FIFO what the chip holds, at most bytes.size() bytes: fewer when it
    // held fewer (a short packet). Waits for the first bytes until the transport's timeout.
    virtual WireResult<size_t> bulkRead(std::span<uint8_t> bytes) = 0;
    // One status packet; its length (at least the 16 fixed bytes).
    virtual WireResult<size_t> readStatus(std::span<uint8_t, status::kPacketSize> packet) = 0;
    // Clears a stalled endpoint.
    virtual WireResult<void> clearHalt(uint8_t endpoint) = 0;

    const UsbStats& stats() const { return stats_; }

  protected:
    UsbStats stats_;
};

}  // namespace velgrin::ds2490
