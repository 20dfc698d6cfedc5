#include "wire/sim/sim_hlt_block.h"

#include <span>

#include "common/crc.h"
#include "common/rounding.h"

namespace velgrin::sim {

namespace {

void Put16(std::array<uint8_t, 32>& block, size_t at, int64_t value) {
    const auto bits = static_cast<uint16_t>(value);
    block[at] = static_cast<uint8_t>(bits & 0xFF);
    block[at + 1] = static_cast<uint8_t>(bits >> 8);
}

int64_t Tenths(double value) {
    return RoundHalfEven(value * 10);
}

int64_t TenThousandths(double volts) {
    return RoundHalfEven(volts * 10000);
}

}  // namespace

std::array<uint8_t, 32> EncodeHltBlock(const HltBlockFields& f) {
    std::array<uint8_t, 32> block{};
    block[0] = static_cast<uint8_t>(((f.sensor0Type & 0x0F) << 4) | (f.sensor1Type & 0x0F));
    Put16(block, 1, Tenths(f.s0Min));
    Put16(block, 3, Tenths(f.s0Max));
    block[5] = kHltConfigMark;
    Put16(block, 6, TenThousandths(f.s0MinVoltage));
    Put16(block, 8, TenThousandths(f.s0MaxVoltage));
    Put16(block, 10, Tenths(f.s1Min));
    Put16(block, 12, Tenths(f.s1Max));
    Put16(block, 14, TenThousandths(f.s1MinVoltage));
    Put16(block, 16, TenThousandths(f.s1MaxVoltage));
    Put16(block, 18, Tenths(f.s0UpValue));
    Put16(block, 20, Tenths(f.s0DownValue));
    Put16(block, 22, Tenths(f.s1UpValue));
    Put16(block, 24, Tenths(f.s1DownValue));
    block[26] =
        f.showTemperature
            ? static_cast<uint8_t>(static_cast<int8_t>(RoundHalfEven(f.temperatureOffset * 100)))
            : kHltTemperatureHidden;
    Put16(block, 27, Tenths(f.tUpLimit));
    Put16(block, 29, Tenths(f.tDownLimit));
    block[31] = Crc8(std::span<const uint8_t>(block.data(), 31));
    return block;
}

}  // namespace velgrin::sim
