#include "hlt/crc_hlt.h"

#include <algorithm>

#include "common/crc.h"

namespace velgrin {

namespace {
constexpr int16_t kCoveredBytes = kHltBlockSize - 1;
}

uint8_t CrcHLT(int16_t len, std::span<const uint8_t> data) {
    if (len <= 0) {
        return 0;
    }
    const auto count = std::min(static_cast<std::size_t>(len), data.size());
    return Crc8(data.first(count));
}

void SealHltBlock(HLTConfig& block) {
    block.set(hlt_field::ConfigMark, kHltConfigMark);
    block.set(hlt_field::Crc, CrcHLT(kCoveredBytes, block.bytes()));
}

bool HltBlockCrcMatches(const HLTConfig& block) {
    return CrcHLT(kCoveredBytes, block.bytes()) == block.get(hlt_field::Crc);
}

HltBlockState BlockState(const HLTConfig& block) {
    if (block.get(hlt_field::ConfigMark) == 0) {
        return HltBlockState::NeverConfigured;
    }
    return HltBlockCrcMatches(block) ? HltBlockState::Sealed : HltBlockState::CrcMismatch;
}

}  // namespace velgrin
