#include <gtest/gtest.h>

#include <algorithm>

#include "hlt/crc_hlt.h"
#include "hlt_rig.h"
#include "wire/sim/sim_faults.h"

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

TEST_F(HltPageWrite, PageGoesThroughTheScratchpadWithItsWaitsAndIsReadBack) {
    Record();
    EXPECT_TRUE(hlt.Write_HLT_Page(4, kBytes, device.rom()));
    // The scratchpad is read and found as sent before it is copied.
    const std::vector<std::string> expected{"S 4E 04 11 22 33 44 55 66 77 88",
                                            "S BE 04 r r r r r r r r r", "S 48 04", "S B8 04",
                                            "S BE 04 r r r r r r r r r"};
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
        EXPECT_FALSE(hlt.Write_HLT_Page(4, kBytes, device.rom()));
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
    hlt.getValueHLT(index, dialog);
    const RomCode otherRom = testing::HltRom(2);
    bench->schedule(bench->elapsedMs() + 35, "swap", [this, otherRom](sim::SimBench& b) {
        b.park(device.rom());
        b.bus().attach(std::make_unique<sim::Ds2438Device>(otherRom));
    });
    // The view refresh after each rescan reads the multisensor now at the dialog's index.
    poll.refresh = [this] { hlt.getValueHLT(state.curIndxHLT, dialog); };
    state.HLTS.set(hlt_field::S0min, 1234);

    EXPECT_FALSE(hlt.WriteCrcHLT().has_value());

    auto* swappedIn = static_cast<sim::Ds2438Device*>(bus().find(otherRom));
    ASSERT_NE(swappedIn, nullptr);
    sim::Ds2438Device::ConfigBlock erased;
    erased.fill(0xFF);
    EXPECT_EQ(swappedIn->configBlock(), erased);
    EXPECT_EQ(device.configBlock(), erased);
    // Page 3 ran out of retries; page 6 was not tried.
    EXPECT_EQ(host.messages, std::vector<std::string>{"Не удалось записать параметры"});
    EXPECT_EQ(hlt.lastWriteFault(), HltWriteFault::NotVerified);
}

// The number of ROM bits the device sends while the block is read again before a seal: nine
// selections (one, then two per page) of 64 bits and their complements.
constexpr int kConfirmingReadRomBits = 9 * 128;

TEST_F(HltPageWrite, RescanRereadingTheBlockDoesNotChangeWhatIsWritten) {
    hlt.getValueHLT(index, dialog);
    // The first access of the page write fails (one ROM bit garbled); the rescan that follows
    // finds the device again and its view refresh reads the old block back into HLT_Buf.
    int romBits = 0;
    device.corruptBit = [&] {
        return !device.outgoing().data && romBits++ == kConfirmingReadRomBits;
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

TEST_F(HltPageWrite, SealingZeroBlockReadsItAgainThenWritesPagesThreeAndSix) {
    device.setConfigBlock({});
    hlt.getValueHLT(index, dialog);
    host.sleeps.clear();
    Record();
    const auto written = hlt.WriteCrcHLT();
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(written->device, device.rom());
    EXPECT_EQ(device.page(3), (sim::Ds2438Device::Page{0, 0, 0, 0, 0, 105, 0, 0}));
    EXPECT_EQ(device.page(6), (sim::Ds2438Device::Page{0, 0, 0, 0, 0, 0, 0, 0xA0}));
    EXPECT_EQ(device.page(4), (sim::Ds2438Device::Page{}));
    const auto lines = Transactions(bus().events());
    std::vector<std::string> expected;
    for (const char* page : {"03", "04", "05", "06"}) {
        expected.push_back(std::string("S B8 ") + page);
        expected.push_back(std::string("S BE ") + page + " r r r r r r r r r");
    }
    for (const char* page : {"03", "06"}) {
        expected.push_back(std::string("S 4E ") + page);
        expected.push_back(std::string("S BE ") + page + " r r r r r r r r r");
        expected.push_back(std::string("S 48 ") + page);
        expected.push_back(std::string("S B8 ") + page);
        expected.push_back(std::string("S BE ") + page + " r r r r r r r r r");
    }
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].substr(0, expected[i].size()), expected[i]) << i;
    }
    EXPECT_EQ(host.sleeps, Concat({kPageWaits, kPageWaits}));
}

sim::Ds2438Device::ConfigBlock Erased() {
    sim::Ds2438Device::ConfigBlock erased;
    erased.fill(0xFF);
    return erased;
}

TEST_F(HltPageWrite, ABlockWithAPageFailingItsCrcIsNeverSealed) {
    // The measurement's last conversion wait ends with the fourth message pump; the configuration
    // read comes right after it, with bit 0 of every CRC byte flipped.
    int pumps = 0;
    host.onProcessMessages = [&] {
        if (++pumps == 4) {
            sim::CorruptReplyByte(device, 8, 0x01);
        }
    };
    ASSERT_TRUE(hlt.getValueHLT(index, dialog)) << pumps;
    host.onProcessMessages = nullptr;
    sim::ClearBitFaults(device);
    EXPECT_FALSE(state.blockIntact) << pumps;

    Record();
    EXPECT_FALSE(hlt.WriteCrcHLT().has_value());
    EXPECT_EQ(hlt.lastWriteFault(), HltWriteFault::BlockNotIntact);
    EXPECT_EQ(host.messages, std::vector<std::string>{"Не удалось записать параметры"});
    EXPECT_TRUE(bus().events().empty());
    EXPECT_EQ(device.configBlock(), Erased());
}

TEST_F(HltPageWrite, ABlockThatReadsDifferentlyTheSecondTimeIsNeverSealed) {
    ASSERT_TRUE(hlt.getValueHLT(index, dialog));
    ASSERT_TRUE(state.blockIntact);
    // What the first read took for page 5 is not what the device holds.
    const sim::Ds2438Device::Page other{1, 2, 3, 4, 5, 6, 7, 8};
    device.setPage(5, other);
    EXPECT_FALSE(hlt.WriteCrcHLT().has_value());
    EXPECT_EQ(hlt.lastWriteFault(), HltWriteFault::BlockNotConfirmed);
    EXPECT_EQ(host.messages, std::vector<std::string>{"Не удалось записать параметры"});
    EXPECT_EQ(device.page(5), other);
    sim::Ds2438Device::Page erasedPage;
    erasedPage.fill(0xFF);
    EXPECT_EQ(device.page(3), erasedPage);
    EXPECT_EQ(device.page(6), erasedPage);
}

// Two multisensors: the dialog read the first at its index; a rescan since then gave that index
// to the second one.
TEST_F(HltPageWrite, ABlockIsNeverWrittenIntoTheMultisensorThatTookItsIndex) {
    ASSERT_TRUE(hlt.getValueHLT(index, dialog));
    auto& other = Attach(testing::HltRom(2));
    ASSERT_EQ(Scan(other.rom()), index);
    state.HLTS.set(hlt_field::S0min, 1234);

    EXPECT_FALSE(hlt.WriteCrcHLT().has_value());
    EXPECT_EQ(hlt.lastWriteFault(), HltWriteFault::DeviceMoved);
    EXPECT_EQ(host.messages, std::vector<std::string>{"Не удалось записать параметры"});
    EXPECT_EQ(other.configBlock(), Erased());
    EXPECT_EQ(device.configBlock(), Erased());
}

// Ctrl+F1 during the page write: a rescan re-indexes the table; the pages still go to the device
// the block was read from, and only there.
TEST_F(HltPageWrite, ARescanDuringThePageWriteDoesNotMoveItToAnotherDevice) {
    ASSERT_TRUE(hlt.getValueHLT(index, dialog));
    const RomCode otherRom = testing::HltRom(2);
    bool rescanned = false;
    host.onSleep = [&](uint32_t) {
        if (!rescanned) {
            rescanned = true;
            bus().attach(std::make_unique<sim::Ds2438Device>(otherRom));
            (void)core.ScanSessionAndSearch();
        }
    };
    state.HLTS.set(hlt_field::S0min, 1234);

    const auto written = hlt.WriteCrcHLT();
    ASSERT_TRUE(written.has_value());
    ASSERT_TRUE(rescanned);
    EXPECT_EQ(written->device, device.rom());
    EXPECT_EQ(core.Asens[static_cast<size_t>(index)].ROMS, RomText(otherRom));
    EXPECT_TRUE(host.messages.empty());
    HltBlock block = written->block;
    HLTConfig sealed(block);
    EXPECT_TRUE(std::equal(sealed.page(3).begin(), sealed.page(3).end(), device.page(3).begin()));
    EXPECT_TRUE(std::equal(sealed.page(6).begin(), sealed.page(6).end(), device.page(6).begin()));
    auto* newcomer = static_cast<sim::Ds2438Device*>(bus().find(otherRom));
    ASSERT_NE(newcomer, nullptr);
    EXPECT_EQ(newcomer->configBlock(), Erased());
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
