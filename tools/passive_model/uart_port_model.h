#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "common/clock.h"
#include "passive_model/passive_line.h"
#include "wire/ds2480b/serial_port.h"
#include "wire/sim/sim_bench.h"

namespace velgrin::passive {

// What sets a UART apart for a passive adapter: the smallest character it makes (a 16550 and
// most USB-UARTs take 6 data bits, FTDI's 7, a pseudo-terminal only 8) and how late its
// received bytes reach the program after the last one has left the line.
struct UartTraits {
    int smallestDataBits = 6;
    uint64_t roundTripLatencyUs = 0;
};

// A serial port in process in front of a passive adapter on a simulated bench, on virtual time:
// each character occupies the line for its start, data and stop bits at the current rate, its
// echo is the bus as the adapter hears it, and the echoes of a write are readable once the last
// of them has left the line and the latency has passed. A request for fewer data bits than the
// UART makes is rounded up to 8, as USB-UART drivers do; the bench's clock follows the line.
class UartPortModel final : public ds2480b::SerialPort {
  public:
    UartPortModel(sim::SimBench& bench, VirtualClock& clock, UartTraits traits);

    WireResult<void> open() override;
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    WireResult<int> setFormat(uint32_t baud, int dataBits) override;
    WireResult<void> write(std::span<const uint8_t> bytes) override;
    WireResult<size_t> read(std::span<uint8_t> into, std::chrono::milliseconds timeout) override;
    WireResult<void> drain() override;
    WireResult<void> flushInput() override;
    WireResult<void> sendBreak(std::chrono::milliseconds length) override;
    void idle(std::chrono::microseconds length) override;
    const std::string& name() const override { return name_; }

    // The program's time since the port was made, and the line's format now.
    uint64_t elapsedUs() const { return hostUs_ - startUs_; }
    const UartFormat& format() const { return format_; }

  private:
    struct Echo {
        uint64_t readableUs;
        uint8_t byte;
    };

    void advanceTo(uint64_t us);

    sim::SimBench& bench_;
    PassiveLine line_;
    VirtualClock& clock_;
    UartTraits traits_;
    UartFormat format_;
    bool open_ = false;
    uint64_t startUs_;
    uint64_t hostUs_;
    uint64_t lineFreeUs_;
    std::deque<Echo> echoes_;
    std::string name_ = "uart-model";
};

}  // namespace velgrin::passive
