#include <gtest/gtest.h>

#include "common/crc.h"
#include "sim_test_bench.h"
#include "wire/sim/sim_ds1921.h"
#include "wire/sim/sim_ds1922.h"

namespace velgrin::sim {
namespace {

using Bytes = std::vector<uint8_t>;

const RomCode kRom = WithRomCrc({0x41, 0x11, 0x7C, 0x3A, 0x00, 0x00, 0x00});
const Bytes kNoPassword(8, 0xFF);

class Ds1922Test : public ::testing::Test {
  protected:
    VirtualClock clock;
    testing::SimTestBench t{clock};
    Ds1922Device& logger = t.add<Ds1922Device>(kRom, ds1922_config::kDs1922T);

    // Read Memory with CRC from `address` with a password; `count` bytes read back.
    Bytes readMemory(uint16_t address, const Bytes& password, size_t count) {
        EXPECT_TRUE(t.select(kRom));
        t.touch({0x69, static_cast<uint8_t>(address & 0xFF), static_cast<uint8_t>(address >> 8)});
        t.touch(password);
        return t.read(count);
    }
};

TEST_F(Ds1922Test, ConfigurationByteComesFirstAndTheCrcCoversCommandAddressAndData) {
    const auto bytes = readMemory(0x0226, kNoPassword, 35);
    EXPECT_EQ(bytes[0], 0x60);
    Bytes covered{0x69, 0x26, 0x02};
    covered.insert(covered.end(), bytes.begin(), bytes.begin() + 28);  // 26 data + inverted CRC
    EXPECT_EQ(Crc16(covered), 0xB001);
}

TEST_F(Ds1922Test, FollowingPagesCarryTheirOwnCrc) {
    logger.setMemory(0x0040, Bytes{0xDE, 0xAD});
    const auto bytes = readMemory(0x0020, kNoPassword, 2 * 34);
    const Bytes second(bytes.begin() + 34, bytes.end());
    EXPECT_EQ((Bytes{second[0], second[1]}), (Bytes{0xDE, 0xAD}));
    EXPECT_EQ(Crc16(second), 0xB001);
}

TEST_F(Ds1922Test, PasswordsReadAsZerosAndTheLastPageEndsInOnes) {
    logger.setPasswords({1, 2, 3, 4, 5, 6, 7, 8}, {9, 9, 9, 9, 9, 9, 9, 9}, false);
    const auto registers = readMemory(0x0228, kNoPassword, 16);
    EXPECT_EQ(registers, Bytes(16, 0x00));
    const auto tail = readMemory(0x1FFE, kNoPassword, 6);
    EXPECT_EQ((Bytes{tail[4], tail[5]}), (Bytes{0xFF, 0xFF}));
}

TEST_F(Ds1922Test, WrongPasswordGetsSilenceWhenPasswordsAreOn) {
    const Bytes read{1, 2, 3, 4, 5, 6, 7, 8};
    const Bytes full{8, 7, 6, 5, 4, 3, 2, 1};
    logger.setPasswords({1, 2, 3, 4, 5, 6, 7, 8}, {8, 7, 6, 5, 4, 3, 2, 1}, true);
    EXPECT_EQ(readMemory(0x0226, kNoPassword, 4), Bytes(4, 0xFF));
    EXPECT_EQ(readMemory(0x0226, read, 1), (Bytes{0x60}));
    EXPECT_EQ(readMemory(0x0226, full, 1), (Bytes{0x60}));
}

TEST_F(Ds1922Test, ConfigurationByteNamesThePart) {
    EXPECT_EQ(logger.model(), "DS1922T");
    logger.setConfigByte(ds1922_config::kDs1923);
    EXPECT_EQ(logger.model(), "DS1923");
    EXPECT_EQ(readMemory(0x0226, kNoPassword, 1), (Bytes{0x20}));
}

TEST(Ds1921, VariantCodeLivesInTheTopSerialBits) {
    for (uint16_t code : {0, 100, 0x3B2, 0x4F2, 0xFFF}) {
        const auto rom = MakeDs1921Rom(code, 0x9F1234);
        EXPECT_TRUE(RomCrcValid(rom));
        EXPECT_EQ(rom[0], 0x21);
        EXPECT_EQ(Ds1921Device(rom).variantCode(), code);
        EXPECT_EQ((rom[6] << 4) | (rom[5] >> 4), code);
    }
    EXPECT_EQ(RomText(MakeDs1921Rom(0x254, 0x09F1234)), "E02540009F123421");
}

TEST(Ds1921, IsFoundBySearch) {
    VirtualClock clock;
    testing::SimTestBench t{clock};
    const auto rom = MakeDs1921Rom(100, 42);
    t.add<Ds1921Device>(rom);
    EXPECT_EQ(t.search(), (std::vector<RomCode>{rom}));
}

}  // namespace
}  // namespace velgrin::sim
