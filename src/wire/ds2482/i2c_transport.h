#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "wire/wire_error.h"

namespace velgrin::ds2482 {

// What travelled over I2C, for the benchmark: transactions (START to STOP) and bytes.
struct I2cStats {
    uint64_t transactions = 0;
    uint64_t bytes = 0;
};

// One chip on an I2C bus. The link above speaks the DS2482's protocol over it. A chip that
// does not acknowledge fails the transfer with WireErrorCode::Io; a bus that has vanished
// with PortGone.
class I2cTransport {
  public:
    virtual ~I2cTransport() = default;

    // Opens the bus and takes the chip's address for this program alone. The errors say what
    // a technician can do about a failure.
    virtual WireResult<void> open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // For messages: "the DS2482 at 0x18 on /dev/i2c-1".
    virtual std::string name() const = 0;

    virtual WireResult<void> write(std::span<const uint8_t> bytes) = 0;
    virtual WireResult<void> read(std::span<uint8_t> bytes) = 0;
    // A write and a read joined by a repeated START, as one transaction.
    virtual WireResult<void> writeRead(std::span<const uint8_t> out, std::span<uint8_t> in) = 0;

    const I2cStats& stats() const { return stats_; }

  protected:
    I2cStats stats_;
};

}  // namespace velgrin::ds2482
