#pragma once

#include "wire/sim/sim_ds18x20.h"

namespace velgrin::sim {

// DS18B20 (family 0x28): 0.0625 °C register, resolution 9 to 12 bits from the configuration byte,
// conversion time by resolution, Write Scratchpad of TH, TL and configuration.
class Ds18b20Device : public Ds18x20Device {
  public:
    explicit Ds18b20Device(RomCode rom);

    std::string model() const override { return "DS18B20"; }
    uint64_t conversionUs() const override;

    // 9 to 12 bits, in the scratchpad and in EEPROM.
    void setResolution(int bits);
    int resolution() const;

  protected:
    void storeReading(double celsius) override;
    void loadPowerOnRegister() override;
    uint8_t keepUserByte(size_t index, uint8_t byte) const override;
    int alarmDegrees() const override;
};

}  // namespace velgrin::sim
