#pragma once

#include <cstdint>

#include "wire/sim/sim_device.h"

namespace velgrin::sim {

// DS1921 Thermochron (family 0x21). Its variant (G, H, Z, L-F5x) is coded in the top 12 bits of
// the serial number, so the program tells it from the ROM code alone; the logging memory is not
// simulated and function commands are ignored.
class Ds1921Device final : public SimDevice {
  public:
    using SimDevice::SimDevice;
    std::string model() const override { return "DS1921"; }

    // (ROM byte 6 << 4) | (ROM byte 5 >> 4).
    uint16_t variantCode() const;

  protected:
    void onFunctionByte(uint8_t, uint64_t) override { goIdle(); }
};

// A DS1921 ROM code carrying `variantCode` (0..4095) and the low 36 bits of `serial`, with its CRC.
RomCode MakeDs1921Rom(uint16_t variantCode, uint64_t serial);

}  // namespace velgrin::sim
