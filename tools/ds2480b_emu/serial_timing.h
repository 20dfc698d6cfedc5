#pragma once

#include <cstdint>

namespace velgrin::ds2480b {

// Serial time of one character in microseconds (8N1: 10 bits with start and stop).
uint64_t CharacterUs(uint32_t baud, int bitsPerCharacter = 10);

// Time on the serial line and inside the chip, for the emulator's timing mode. All times are
// microseconds on one clock. The chip holds one received byte while it works on the previous
// one; a byte that arrives while that buffer is still full is lost, as on the real chip.
class SerialTiming {
  public:
    // A byte the host wrote at `writtenUs` has arrived one character after the line was free.
    uint64_t arrive(uint64_t writtenUs, uint32_t baud, int bitsPerCharacter = 10);
    // Whether the chip's input buffer had room for a byte that arrived at `arrivalUs`.
    bool accept(uint64_t arrivalUs) const { return arrivalUs >= lastStartUs_; }
    // The chip takes an accepted byte once it is done with the previous one and works on it for
    // `busUs`; returns when it is done.
    uint64_t execute(uint64_t arrivalUs, uint64_t busUs);
    // A reply ready at `readyUs` has reached the host one character after the line was free.
    uint64_t transmit(uint64_t readyUs, uint32_t baud);
    // A break: nothing is in flight any more.
    void reset() { *this = SerialTiming{}; }

  private:
    uint64_t inFreeUs_ = 0;
    uint64_t lastStartUs_ = 0;
    uint64_t busyUntilUs_ = 0;
    uint64_t outFreeUs_ = 0;
};

}  // namespace velgrin::ds2480b
