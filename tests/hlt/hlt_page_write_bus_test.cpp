#include <gtest/gtest.h>

#include <algorithm>

#include "hlt/crc_hlt.h"
#include "hlt_rig.h"

namespace velgrin {
namespace {

using testing::HltRig;
using testing::Transactions;

const std::vector<uint32_t> kPageWaits{10, 10, 10, 10, 10, 10, 10, 10, 700};
const std::vector<uint32_t> kFiveRetries{300, 300, 300, 300, 300};

std::vector<uint32_t> Concat(std::initializer_list<std::vector<uint32_t>> parts) {
    std::vector<uint32_t> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

class HltPageWrite : public ::testing::Test, public HltRig {
  protected:
    HltPageWrite() : device(Attach(testing::HltRom(1))) {
        index = Scan(device.rom());
        state.curIndxHLT = index;
    }

    // Leaves the bus after `ms` more milliseconds of bench time.
    void LeaveAfter(sim::Ds2438Device& which, uint64_t ms) {
        const RomCode rom = which.rom();
        bench->schedule(bench->elapsedMs() + ms, "leave", [rom](sim::SimBench& b) { b.park(rom); });
    }

    sim::Ds2438Device& device;
    int16_t index = -1;
    const sim::Ds2438Device::Page kBytes{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
};

TEST_F(HltPageWrite, PageGoesThroughTheScratchpadWithItsWaits) {
    Record();
    hlt.Write_HLT_Page(4, kBytes, device.rom());
    const std::vector<std::string> expected{"S 4E 04 11 22 33 44 55 66 77 88", "S 48 04"};
    EXPECT_EQ(Transactions(bus().events()), expected);
    EXPECT_EQ(host.sleeps, kPageWaits);
    EXPECT_EQ(device.page(4), kBytes);
    EXPECT_EQ(poll.scans, 0);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(HltPageWrite, VanishedDeviceIsRetriedFiveTimesWithARescanEach) {
    for (bool enabled : {true, false}) {
        SCOPED_TRACE(enabled);
        host.sleeps.clear();
        host.messages.clear();
        poll.scans = 0;
        poll.enabled = enabled;
        ASSERT_TRUE(bench->park(device.rom()));
        hlt.Write_HLT_Page(4, kBytes, device.rom());
        EXPECT_EQ(host.sleeps, kFiveRetries);
        EXPECT_EQ(poll.scans, 5);
        EXPECT_EQ(host.messages, std::vector<std::string>{"Не удалось записать параметры"});
        EXPECT_EQ(poll.enabled, enabled);
        ASSERT_TRUE(bench->unpark(device.rom()));
    }
}

TEST_F(HltPageWrite, DeviceLeavingDuringTheScratchpadIsNotCopied) {
    const auto before = device.page(4);
    LeaveAfter(device, 35);
    hlt.Write_HLT_Page(4, kBytes, device.rom());
    EXPECT_EQ(host.sleeps, Concat({std::vector<uint32_t>(8, 10), kFiveRetries}));
    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(device.page(4), before);
}

TEST_F(HltPageWrite, AnotherMultisensorTakingThePlaceIsNeverWritten) {
    const RomCode otherRom = testing::HltRom(2);
    bench->schedule(bench->elapsedMs() + 35, "swap", [this, otherRom](sim::SimBench& b) {
        b.park(device.rom());
        b.bus().attach(std::make_unique<sim::Ds2438Device>(otherRom));
    });
    // The view refresh after each rescan reads the multisensor now at the dialog's index.
    poll.refresh = [this] { hlt.getValueHLT(state.curIndxHLT, dialog); };
    state.HLTS.set(hlt_field::S0min, 1234);

    const auto written = hlt.WriteCrcHLT();
    ASSERT_TRUE(written.has_value());

    auto* swappedIn = static_cast<sim::Ds2438Device*>(bus().find(otherRom));
    ASSERT_NE(swappedIn, nullptr);
    sim::Ds2438Device::ConfigBlock erased;
    erased.fill(0xFF);
    EXPECT_EQ(swappedIn->configBlock(), erased);
    EXPECT_EQ(device.configBlock(), erased);
    // Both pages ran out of retries.
    EXPECT_EQ(host.messages, (std::vector<std::string>{"Не удалось записать параметры",
                                                       "Не удалось записать параметры"}));
}

TEST_F(HltPageWrite, RescanRereadingTheBlockDoesNotChangeWhatIsWritten) {
    // The first access fails once (one ROM bit garbled); the rescan that follows finds the
    // device again and its view refresh reads the old block back into HLT_Buf.
    bool garble = true;
    device.corruptBit = [&] {
        if (garble && !device.outgoing().data) {
            garble = false;
            return true;
        }
        return false;
    };
    poll.refresh = [this] { hlt.getValueHLT(state.curIndxHLT, dialog); };
    state.HLTS.set(hlt_field::SensorTypes, 0x25);
    state.HLTS.set(hlt_field::TupLimit, 600);

    const auto written = hlt.WriteCrcHLT();
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(poll.scans, 1);
    EXPECT_TRUE(host.messages.empty());
    HltBlock block = written->block;
    HLTConfig sealed(block);
    EXPECT_EQ(sealed.get(hlt_field::SensorTypes), 0x25);
    EXPECT_TRUE(std::equal(sealed.page(3).begin(), sealed.page(3).end(), device.page(3).begin()));
    EXPECT_TRUE(std::equal(sealed.page(6).begin(), sealed.page(6).end(), device.page(6).begin()));
}

TEST_F(HltPageWrite, SealingZeroBlockWritesPagesThreeAndSix) {
    Record();
    const auto written = hlt.WriteCrcHLT();
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(written->device, device.rom());
    EXPECT_EQ(device.page(3), (sim::Ds2438Device::Page{0, 0, 0, 0, 0, 105, 0, 0}));
    EXPECT_EQ(device.page(6), (sim::Ds2438Device::Page{0, 0, 0, 0, 0, 0, 0, 0xA0}));
    EXPECT_EQ(device.page(4),
              (sim::Ds2438Device::Page{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    const auto lines = Transactions(bus().events());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].substr(0, 8), "S 4E 03 ");
    EXPECT_EQ(lines[1], "S 48 03");
    EXPECT_EQ(lines[2].substr(0, 8), "S 4E 06 ");
    EXPECT_EQ(lines[3], "S 48 06");
    EXPECT_EQ(host.sleeps, Concat({kPageWaits, kPageWaits}));
}

TEST_F(HltPageWrite, DialogEntryWithoutMultisensorWritesNothing) {
    state.curIndxHLT = 9;
    Record();
    EXPECT_FALSE(hlt.WriteCrcHLT().has_value());
    EXPECT_EQ(host.messages, std::vector<std::string>{"Не удалось записать параметры"});
    EXPECT_TRUE(bus().events().empty());
    EXPECT_EQ(state.HLT_Buf[5], 0);
}

}  // namespace
}  // namespace velgrin
