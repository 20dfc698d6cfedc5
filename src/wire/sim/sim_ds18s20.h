#pragma once

#include "wire/sim/sim_ds18x20.h"

namespace velgrin::sim {

// DS18S20 / DS1820 (family 0x10): 0.5 °C register with COUNT_REMAIN and COUNT_PER_C for the
// extended resolution, 750 ms conversions, Write Scratchpad of TH and TL only.
class Ds18s20Device final : public Ds18x20Device {
  public:
    explicit Ds18s20Device(RomCode rom);

    std::string model() const override { return "DS18S20"; }
    uint64_t conversionUs() const override { return 750'000; }

  protected:
    void storeReading(double celsius) override;
    void loadPowerOnRegister() override;
    int alarmDegrees() const override;
};

}  // namespace velgrin::sim
