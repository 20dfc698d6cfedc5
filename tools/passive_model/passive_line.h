#pragma once

#include <cstdint>

#include "wire/sim/sim_bench.h"

namespace velgrin::passive {

// A UART character's shape on the line: its rate and its data bits (5 to 8), 1 start and 1
// stop bit.
struct UartFormat {
    uint32_t baud = 9600;
    int dataBits = 8;
};

// Line time of one character, in microseconds.
double CharacterUs(const UartFormat& format);

// A passive serial adapter in front of a simulated bench. TX drives the bus low for each low run
// of a UART character (its start bit and the zero bits after it); RX hears the bus. A run of
// 480 us or more is a reset, one shorter than 15 us a read slot (write 1), anything between a
// write-0 slot. The echo is the bus sampled in the middle of each data bit: a device answering 0
// holds the line low for 30 us after the slot's edge, a presence pulse from 30 to 150 us after
// the reset's end, and a shorted bus never rises.
class PassiveLine {
  public:
    explicit PassiveLine(sim::SimBench& bench) : bench_(bench) {}

    // The echo of one character from the host.
    uint8_t receive(uint8_t byte, const UartFormat& format);

  private:
    sim::SimBench& bench_;
};

}  // namespace velgrin::passive
