#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ds2482_model/ds2482_chip.h"
#include "wire/sim/sim_bench.h"

namespace velgrin::ds2482 {

// How long the mocked bus takes, for the benchmark: every transfer its bits at the I2C clock
// (START, address, data bytes with their acknowledge bits, STOP) on a timeline of the bus's
// own, and a 1-Wire command keeps the chip busy for its 1-Wire time on that timeline. In real
// time the mock also waits until the timeline's time has passed. Tests leave the clock at 0:
// no timeline, the chip busy for a fixed number of status reads.
struct I2cTiming {
    uint32_t clockHz = 0;
    bool realTime = false;
};

// One I2C bus that exists only for this process: umockdev's testbed holds its i2c-dev node
// and sysfs entry, and DS2482 models at their addresses answer the calls a program makes on
// the node (I2C_SLAVE, I2C_FUNCS, I2C_RDWR, read and write), so the real backend runs
// unchanged. Needs umockdev's preload active from the start of the process.
class MockI2cBus {
  public:
    explicit MockI2cBus(int busNumber = 1);
    ~MockI2cBus();
    MockI2cBus(const MockI2cBus&) = delete;
    MockI2cBus& operator=(const MockI2cBus&) = delete;

    // "/dev/i2c-1".
    std::string device() const;
    // A chip at `address` with `bench` on `channel` (IO0 for the -100).
    void plug(uint8_t address, Variant variant, std::shared_ptr<sim::SimBench> bench,
              int channel = 0);
    // The chip stops acknowledging anything (power lost, a loose wire), or answers again
    // powered up afresh.
    void setAnswering(uint8_t address, bool answering);
    // The kernel's ds2482 driver has the address: I2C_SLAVE fails with EBUSY.
    void setKernelDriverBound(uint8_t address, bool bound);

    void withChip(uint8_t address, const std::function<void(Ds2482Chip&)>& look);
    void withBench(uint8_t address, const std::function<void(sim::SimBench&)>& look);

    // What programs did to the chip, one line per transfer: "W <hex>" a write, "R <hex>" a
    // read, "W <hex> R <hex>" a write and read joined by a repeated START, with " nack" when
    // the chip refused it.
    std::vector<std::string> transcript(uint8_t address) const;
    void clearTranscript(uint8_t address);

    // Starts the timeline afresh.
    void setTiming(I2cTiming timing);
    // What the transfers since setTiming took on the I2C bus, polling included.
    uint64_t timelineUs() const;
    // Where the node really lives (for permission tests).
    std::string nodeFile() const;
    std::string rootDir() const;

    struct State;

  private:
    std::unique_ptr<State> state_;
};

}  // namespace velgrin::ds2482
