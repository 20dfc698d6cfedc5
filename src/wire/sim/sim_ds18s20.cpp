#include "wire/sim/sim_ds18s20.h"

#include <algorithm>

#include "common/rounding.h"

namespace velgrin::sim {

namespace {

constexpr uint8_t kCountPerC = 16;

}  // namespace

Ds18s20Device::Ds18s20Device(RomCode rom) : Ds18x20Device(rom, 2) {
    powerCycle();
}

void Ds18s20Device::storeReading(double celsius) {
    const double t = std::clamp(celsius, -55.0, 125.0);
    const auto raw = static_cast<int16_t>(RoundHalfEven(2 * t));
    // Chosen so that TEMP_READ - 0.25 + (COUNT_PER_C - COUNT_REMAIN) / COUNT_PER_C gives t back
    // to the nearest 1/16 °C.
    const int tempRead = raw >> 1;
    const auto remain =
        std::clamp<int64_t>(RoundHalfEven(kCountPerC * (tempRead + 0.75 - t)), 0, kCountPerC);
    pad_[0] = static_cast<uint8_t>(raw & 0xFF);
    pad_[1] = static_cast<uint8_t>((raw >> 8) & 0xFF);
    pad_[6] = static_cast<uint8_t>(remain);
}

void Ds18s20Device::loadPowerOnRegister() {
    pad_[0] = 0xAA;  // +85 °C
    pad_[1] = 0x00;
    pad_[4] = 0xFF;
    pad_[5] = 0xFF;
    pad_[6] = 0x0C;
    pad_[7] = kCountPerC;
}

int Ds18s20Device::alarmDegrees() const {
    const auto raw = static_cast<int16_t>(pad_[0] | (pad_[1] << 8));
    return static_cast<int8_t>((raw >> 1) & 0xFF);
}

}  // namespace velgrin::sim
