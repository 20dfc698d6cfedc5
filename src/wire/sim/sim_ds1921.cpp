#include "wire/sim/sim_ds1921.h"

#include "wire/device_families.h"

namespace velgrin::sim {

uint16_t Ds1921Device::variantCode() const {
    return static_cast<uint16_t>((rom()[6] << 4) | (rom()[5] >> 4));
}

RomCode MakeDs1921Rom(uint16_t variantCode, uint64_t serial) {
    RomCode rom{family_code::kDs1921};
    for (size_t i = 1; i <= 4; ++i) {
        rom[i] = static_cast<uint8_t>(serial >> (8 * (i - 1)));
    }
    rom[5] = static_cast<uint8_t>(((variantCode & 0x0F) << 4) | ((serial >> 32) & 0x0F));
    rom[6] = static_cast<uint8_t>((variantCode >> 4) & 0xFF);
    return WithRomCrc(rom);
}

}  // namespace velgrin::sim
