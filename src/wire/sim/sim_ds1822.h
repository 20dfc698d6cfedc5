#pragma once

#include "wire/sim/sim_ds18b20.h"

namespace velgrin::sim {

// DS1822 (family 0x22): the DS18B20's command set and registers with a looser accuracy, which a
// simulation does not show.
class Ds1822Device final : public Ds18b20Device {
  public:
    using Ds18b20Device::Ds18b20Device;
    std::string model() const override { return "DS1822"; }
};

}  // namespace velgrin::sim
