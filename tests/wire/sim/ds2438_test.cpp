#include <gtest/gtest.h>

#include "common/crc.h"
#include "sim_test_bench.h"
#include "wire/sim/sim_ds2438.h"

namespace velgrin::sim {
namespace {

using Bytes = std::vector<uint8_t>;

const RomCode kRom = WithRomCrc({0x26, 0x81, 0xE9, 0xC4, 0x01, 0x00, 0x00});

class Ds2438Test : public ::testing::Test {
  protected:
    VirtualClock clock;
    testing::SimTestBench t{clock};
    Ds2438Device& hlt = t.add<Ds2438Device>(kRom);

    void command(Bytes bytes) {
        EXPECT_TRUE(t.select(kRom));
        t.touch(std::move(bytes));
    }
    // Recall, then Read Scratchpad: the page's 8 bytes and its CRC.
    Bytes readPage(uint8_t page) {
        command({0xB8, page});
        command({0xBE, page});
        return t.read(9);
    }
    void writePage(uint8_t page, Bytes bytes) {
        bytes.insert(bytes.begin(), {0x4E, page});
        command(bytes);
        command({0x48, page});
    }
};

TEST_F(Ds2438Test, PageReadEndsWithTheCrcOfItsEightBytes) {
    for (uint8_t page = 0; page < 8; ++page) {
        EXPECT_EQ(Crc8(readPage(page)), 0) << "page " << int(page);
    }
    EXPECT_EQ(readPage(1)[7], 0xFF);      // reserved byte
    EXPECT_EQ(t.read(1), (Bytes{0xFF}));  // nothing after the CRC
}

TEST_F(Ds2438Test, CopiedEepromPageIsReadBackAndSurvivesAnUncopiedWrite) {
    writePage(4, {1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_FALSE(t.readBit());  // NVB: EEPROM write in progress
    clock.advanceMs(10);
    EXPECT_TRUE(t.readBit());
    command({0x4E, 4, 9, 9, 9});  // scratchpad only
    const auto page = readPage(4);
    EXPECT_EQ(Bytes(page.begin(), page.begin() + 8), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(hlt.page(4), (Ds2438Device::Page{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(Ds2438Test, ReadScratchpadShowsWhatWasWrittenBeforeACopy) {
    command({0x4E, 5, 0xAA, 0xBB});
    command({0xBE, 5});
    const auto pad = t.read(9);
    EXPECT_EQ((Bytes{pad[0], pad[1], pad[2]}), (Bytes{0xAA, 0xBB, 0xFF}));
    EXPECT_EQ(Crc8(pad), 0);
}

TEST_F(Ds2438Test, ConvertTSetsTbUntilTheTemperatureIsReady) {
    hlt.setTemperature(SimValue::Constant(1.5625));
    command({0x44});
    EXPECT_FALSE(t.readBit());
    EXPECT_EQ(readPage(0)[0] & ds2438_status::kTb, ds2438_status::kTb);
    clock.advanceMs(10);
    const auto page = readPage(0);
    EXPECT_EQ(page[0] & ds2438_status::kTb, 0);
    EXPECT_EQ((Bytes{page[1], page[2]}), (Bytes{0x90, 0x01}));

    hlt.setTemperature(SimValue::Constant(-0.03125));
    command({0x44});
    clock.advanceMs(10);
    const auto cold = readPage(0);
    EXPECT_EQ((Bytes{cold[1], cold[2]}), (Bytes{0xF8, 0xFF}));
}

TEST_F(Ds2438Test, AdBitChoosesTheInputOfConvertV) {
    hlt.setVdd(SimValue::Constant(4.99));
    hlt.setVad(SimValue::Constant(2.5));
    command({0xB4});
    EXPECT_EQ(readPage(0)[0] & ds2438_status::kAdb, ds2438_status::kAdb);
    clock.advanceMs(10);
    auto page = readPage(0);
    EXPECT_EQ(page[0], 0x0F);  // IAD, CA, EE, AD; nothing busy
    EXPECT_EQ((Bytes{page[3], page[4]}), (Bytes{0xF3, 0x01}));

    writePage(0, {0x07});
    clock.advanceMs(10);
    command({0xB4});
    clock.advanceMs(10);
    page = readPage(0);
    EXPECT_EQ(page[0], 0x07);
    EXPECT_EQ((Bytes{page[3], page[4]}), (Bytes{0xFA, 0x00}));
}

TEST_F(Ds2438Test, CopyToPageZeroKeepsTheChipsOwnRegisters) {
    hlt.setTemperature(SimValue::Constant(20));
    command({0x44});
    clock.advanceMs(10);
    writePage(0, {0xFF, 0, 0, 0, 0, 0, 0, 0x33});
    clock.advanceMs(10);
    const auto page = readPage(0);
    EXPECT_EQ(page[0], 0x0F);
    EXPECT_EQ((Bytes{page[1], page[2], page[7]}), (Bytes{0x00, 0x14, 0x33}));
}

TEST_F(Ds2438Test, CurrentRegisterFollowsItsInputWhileIadIsOn) {
    hlt.setCurrentInput(SimValue::Constant(0.0625));
    auto page = readPage(0);
    EXPECT_EQ((Bytes{page[5], page[6]}), (Bytes{0x00, 0x01}));
    hlt.setCurrentInput(SimValue::Constant(-1 / 4096.0));
    page = readPage(0);
    EXPECT_EQ((Bytes{page[5], page[6]}), (Bytes{0xFF, 0xFF}));
    writePage(0, {0x0E});  // IAD off: the register holds
    clock.advanceMs(10);
    hlt.setCurrentInput(SimValue::Constant(0.1));
    page = readPage(0);
    EXPECT_EQ((Bytes{page[5], page[6]}), (Bytes{0xFF, 0xFF}));
}

TEST_F(Ds2438Test, StuckConversionKeepsItsBusyFlag) {
    hlt.setConversionStuck(true);
    command({0x44});
    command({0xB4});
    clock.advanceMs(5'000);
    EXPECT_FALSE(t.readBit());
    EXPECT_EQ(readPage(0)[0] & 0x50, 0x50);
}

TEST_F(Ds2438Test, ConfigurationBlockLiesInPagesThreeToSix) {
    Ds2438Device::ConfigBlock block{};
    for (size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<uint8_t>(i + 1);
    }
    hlt.setConfigBlock(block);
    Bytes read;
    for (uint8_t page = 3; page <= 6; ++page) {
        const auto bytes = readPage(page);
        EXPECT_EQ(Crc8(bytes), 0);
        read.insert(read.end(), bytes.begin(), bytes.begin() + 8);
    }
    EXPECT_EQ(read, Bytes(block.begin(), block.end()));
    EXPECT_EQ(readPage(7)[0], 0xFF);  // erased EEPROM
}

TEST_F(Ds2438Test, PageNumberAboveSevenIsIgnored) {
    command({0xBE, 8});
    EXPECT_EQ(t.read(2), (Bytes{0xFF, 0xFF}));
}

}  // namespace
}  // namespace velgrin::sim
