#include "wire/sim/sim_ds18b20.h"

#include <algorithm>

#include "common/rounding.h"

namespace velgrin::sim {

namespace {

// Configuration byte: 0 R1 R0 1 1 1 1 1.
constexpr uint8_t kResolutionBits = 0x60;
constexpr uint8_t kConfigFixedOnes = 0x1F;

int ResolutionCode(uint8_t config) {
    return (config & kResolutionBits) >> 5;
}

}  // namespace

Ds18b20Device::Ds18b20Device(RomCode rom) : Ds18x20Device(rom, 3) {
    powerCycle();
}

uint64_t Ds18b20Device::conversionUs() const {
    return 93'750ull << ResolutionCode(pad_[4]);
}

void Ds18b20Device::setResolution(int bits) {
    const int code = std::clamp(bits, 9, 12) - 9;
    eeprom_[2] = pad_[4] = static_cast<uint8_t>((code << 5) | kConfigFixedOnes);
}

int Ds18b20Device::resolution() const {
    return 9 + ResolutionCode(pad_[4]);
}

void Ds18b20Device::storeReading(double celsius) {
    auto raw =
        static_cast<int16_t>(std::clamp<int64_t>(RoundHalfEven(celsius * 16), -55 * 16, 125 * 16));
    // The bits below the resolution are left at 0.
    const int undefinedBits = 3 - ResolutionCode(pad_[4]);
    raw = static_cast<int16_t>(raw & ~((1 << undefinedBits) - 1));
    pad_[0] = static_cast<uint8_t>(raw & 0xFF);
    pad_[1] = static_cast<uint8_t>((raw >> 8) & 0xFF);
}

void Ds18b20Device::loadPowerOnRegister() {
    pad_[0] = 0x50;  // +85 °C
    pad_[1] = 0x05;
    pad_[5] = 0xFF;
    pad_[6] = 0x0C;
    pad_[7] = 0x10;
}

uint8_t Ds18b20Device::keepUserByte(size_t index, uint8_t byte) const {
    if (index == 2) {
        return static_cast<uint8_t>((byte & kResolutionBits) | kConfigFixedOnes);
    }
    return byte;
}

int Ds18b20Device::alarmDegrees() const {
    const auto raw = static_cast<int16_t>(pad_[0] | (pad_[1] << 8));
    return static_cast<int8_t>((raw >> 4) & 0xFF);
}

}  // namespace velgrin::sim
