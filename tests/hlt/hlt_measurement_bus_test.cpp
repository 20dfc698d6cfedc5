#include <gtest/gtest.h>

#include <algorithm>

#include "hlt/crc_hlt.h"
#include "hlt_rig.h"
#include "wire/sim/sim_faults.h"

namespace velgrin {
namespace {

using testing::HltRig;
using testing::Transactions;

class HltMeasurement : public ::testing::Test, public HltRig {
  protected:
    HltMeasurement() : device(Attach(testing::HltRom(1))) {
        device.setTemperature(sim::SimValue::Constant(23.44));
        device.setVdd(sim::SimValue::Constant(4.99));
        device.setVad(sim::SimValue::Constant(2.5));
        device.setCurrentInput(sim::SimValue::Constant(0.0625));
        HltBlock block{};
        HLTConfig config(block);
        config.set(hlt_field::SensorTypes, 0x06);
        config.set(hlt_field::S0UpValue, 800);
        config.set(hlt_field::Tdis, -5);
        SealHltBlock(config);
        device.setConfigBlock(block);
        index = Scan(device.rom());
        state.curIndxHLT = index;
    }

    sim::Ds2438Device& device;
    int16_t index = -1;
};

TEST_F(HltMeasurement, CycleSequenceOnTheBus) {
    Record();
    hlt.getValueHLT(index, dialog);
    const std::vector<std::string> expected{
        "S",
        "S 44",
        "S B4",
        // Loop W: the conversions are still running at the first look.
        "S B8 00",
        "S BE 00 r r r r r r r r r",
        "S B8 00",
        "S BE 00 r r r r r r r r r",
        "S",
        "S 4E 00 07",
        "S BE 00 r r r r r r r r r",
        "S 48 00",
        "S B4",
        "S B8 00",
        "S BE 00 r r r r r r r r r",
        "S B8 00",
        "S BE 00 r r r r r r r r r",
        // The configuration read.
        "S",
        "S",
        "S B8 03",
        "S BE 03 r r r r r r r r r",
        "S B8 04",
        "S BE 04 r r r r r r r r r",
        "S B8 05",
        "S BE 05 r r r r r r r r r",
        "S B8 06",
        "S BE 06 r r r r r r r r r",
    };
    EXPECT_EQ(Transactions(bus().events()), expected);
    EXPECT_EQ(host.sleeps, (std::vector<uint32_t>{10, 10, 100, 10, 10}));
}

TEST_F(HltMeasurement, CycleFillsReadingsAndDialog) {
    hlt.getValueHLT(index, dialog);
    EXPECT_DOUBLE_EQ(state.Temperature, 23.44);
    EXPECT_DOUBLE_EQ(state.Vsens, 4.99);
    EXPECT_DOUBLE_EQ(state.ADC0_val, 2.5);
    EXPECT_DOUBLE_EQ(state.ADC1_val, 0.0624896);
    EXPECT_EQ(dialog.text("lblCurrentT"), "T = 23,44C");
    EXPECT_EQ(dialog.text("lblCurrentVDD"), "VDD = 4,99V");
    EXPECT_EQ(dialog.text("lblCurrentADC0"), "ADC0 = 2,5V");
    EXPECT_EQ(dialog.itemIndex("rg0"), 0);
    EXPECT_EQ(dialog.itemIndex("rg1"), 6);
    EXPECT_EQ(dialog.text("edtS0UpValue"), "80");
    EXPECT_EQ(dialog.text("lblS1CurrentValue"), "ОТКЛЮЧЕН");
    EXPECT_EQ(dialog.text("edtTdis"), "-0,05");
    EXPECT_EQ(dialog.text("lblTCurrentValue"), "23,39C");
    EXPECT_EQ(dialog.color("pnl2"), colors::kButtonFace);
    const auto stored = device.configBlock();
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), state.HLT_Buf.begin()));
}

TEST_F(HltMeasurement, EachCycleMeasuresTheOtherVoltageInputNext) {
    ASSERT_EQ(device.config(), 0x0F);
    hlt.getValueHLT(index, dialog);
    EXPECT_EQ(device.config(), 0x07);

    Record();
    device.setVdd(sim::SimValue::Constant(5.1));
    device.setVad(sim::SimValue::Constant(1.2));
    hlt.getValueHLT(index, dialog);
    EXPECT_EQ(device.config(), 0x0F);
    const auto lines = Transactions(bus().events());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "S 4E 00 0F"), lines.end());
    // Both inputs are fresh after every cycle, whichever came first.
    EXPECT_DOUBLE_EQ(state.Vsens, 5.1);
    EXPECT_DOUBLE_EQ(state.ADC0_val, 1.2);
}

TEST_F(HltMeasurement, ConversionThatNeverEndsIsGivenUpWithinTheBound) {
    sim::SetConversionStuck(device, true);
    state.Temperature = -99;
    const auto bufferBefore = state.HLT_Buf;
    Record();
    const uint64_t start = clock.nowMs();
    hlt.getValueHLT(index, dialog);
    const uint64_t took = clock.nowMs() - start;

    EXPECT_GE(took, kHltConversionTimeoutMs);
    EXPECT_LT(took, kHltConversionTimeoutMs + 20);
    EXPECT_DOUBLE_EQ(state.Temperature, -99);
    EXPECT_TRUE(dialog.log.empty());
    EXPECT_EQ(state.HLT_Buf, bufferBefore);
    for (const auto& line : Transactions(bus().events())) {
        EXPECT_NE(line, "S B8 03");
    }
    // The next poll tries again and succeeds once the device converts.
    sim::SetConversionStuck(device, false);
    hlt.getValueHLT(index, dialog);
    EXPECT_DOUBLE_EQ(state.Temperature, 23.44);
}

TEST_F(HltMeasurement, DeviceGoneBeforeTheCycleChangesNothing) {
    ASSERT_TRUE(bench->park(device.rom()));
    hlt.getValueHLT(index, dialog);
    EXPECT_TRUE(dialog.log.empty());
    EXPECT_TRUE(host.sleeps.empty());
    EXPECT_EQ(state.HLT_Buf, decltype(state.HLT_Buf){});
}

TEST_F(HltMeasurement, ConfigurationOfAnEntryThatHoldsNoMultisensorIsNotRead) {
    state.curIndxHLT = 7;  // an empty entry
    Record();
    hlt.getValueHLT(index, dialog);
    EXPECT_EQ(dialog.text("lblCurrentT"), "T = 23,44C");
    EXPECT_EQ(state.HLT_Buf, decltype(state.HLT_Buf){});
    EXPECT_EQ(dialog.itemIndex("rg0"), -1);
    EXPECT_EQ(Transactions(bus().events()).back(), "S BE 00 r r r r r r r r r");
}

TEST_F(HltMeasurement, PageWithCorruptedCrcIsUsedAndThePanelTurnsRed) {
    // Once the measurement is done (the second voltage shown), the first byte of every page
    // arrives with bit 0 flipped, read after read.
    dialog.onTextChanged["lblCurrentADC0"] = [&] { sim::CorruptReplyByte(device, 0, 0x01); };
    hlt.getValueHLT(index, dialog);
    EXPECT_EQ(state.HLT_Buf[0], 0x07);
    EXPECT_EQ(dialog.itemIndex("rg0"), 0);
    EXPECT_EQ(dialog.itemIndex("rg1"), -1);
    EXPECT_EQ(dialog.color("pnl2"), colors::kRed);
}

TEST_F(HltMeasurement, PageReadReportsItsCrcAndLeavesDestinationWhenNobodyAnswers) {
    ds2438::PageRead dest{};
    ASSERT_TRUE(hlt.Read_HLT_Page(3, dest));
    EXPECT_EQ(dest[0], 0x06);

    sim::CorruptReplyByte(device, 8, 0x80);
    ds2438::PageRead corrupted{};
    EXPECT_FALSE(hlt.Read_HLT_Page(3, corrupted));
    EXPECT_EQ(corrupted[0], 0x06);
    sim::ClearBitFaults(device);

    ASSERT_TRUE(bench->park(device.rom()));
    ds2438::PageRead untouched;
    untouched.fill(0xAA);
    EXPECT_FALSE(hlt.Read_HLT_Page(3, untouched));
    EXPECT_EQ(untouched[0], 0xAA);
}

// Ctrl+F1 handled in the conversion wait: the rescan leaves the session on the last device it
// found, another multisensor; the cycle's page-0 write must still reach only its own device.
TEST_F(HltMeasurement, ARescanDuringTheConversionWaitDoesNotMoveTheCycleToAnotherDevice) {
    auto& other = Attach(testing::HltRom(3));
    index = Scan(device.rom());
    ASSERT_EQ(index, 0);
    state.curIndxHLT = index;
    const uint8_t otherConfig = other.config();
    const auto otherScratchpad = other.scratchpad(0);
    const uint8_t before = device.config();
    bool rescanned = false;
    host.onProcessMessages = [&] {
        if (!rescanned) {
            rescanned = true;
            (void)core.ScanSessionAndSearch();
        }
    };
    ASSERT_TRUE(hlt.getValueHLT(index, dialog));
    ASSERT_TRUE(rescanned);
    EXPECT_EQ(other.config(), otherConfig);
    EXPECT_EQ(other.scratchpad(0), otherScratchpad);
    EXPECT_NE(device.config(), before);
}

}  // namespace
}  // namespace velgrin
