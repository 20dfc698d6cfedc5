#include <gtest/gtest.h>

#include <array>
#include <string_view>

#include "common/crc.h"
#include "common/rounding.h"

namespace velgrin {
namespace {

TEST(RoundHalfEven, SendsHalvesToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(-3.5), -4);
    EXPECT_EQ(RoundHalfEven(24812.5), 24812);
    EXPECT_EQ(RoundHalfEven(20187.5), 20188);
    EXPECT_EQ(RoundHalfEven(2.4999), 2);
    EXPECT_EQ(RoundHalfEven(-0.6), -1);
}

TEST(Crc8, MatchesTheOneWireCheckValues) {
    EXPECT_EQ(Crc8Table()[1], 0x5E);
    constexpr std::string_view check = "123456789";
    EXPECT_EQ(Crc8({reinterpret_cast<const uint8_t*>(check.data()), check.size()}), 0xA1);
    const std::array<uint8_t, 7> rom{0x02, 0x1C, 0xB8, 0x01, 0x00, 0x00, 0x00};
    EXPECT_EQ(Crc8(rom), 0xA2);
    const std::array<uint8_t, 9> scratchpad{0x50, 0x05, 0x4B, 0x46, 0x7F, 0xFF, 0x0C, 0x10, 0x1C};
    EXPECT_EQ(Crc8(scratchpad), 0) << "a block followed by its CRC checks to zero";
}

TEST(Crc16, MatchesTheMemoryDeviceCheckValue) {
    constexpr std::string_view check = "123456789";
    EXPECT_EQ(Crc16({reinterpret_cast<const uint8_t*>(check.data()), check.size()}), 0xBB3D);
}

}  // namespace
}  // namespace velgrin
