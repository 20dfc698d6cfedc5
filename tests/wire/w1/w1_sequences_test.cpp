// The window's bus sequences on a kernel master that searches the bus between any two of our
// messages: what a sequence reads comes from the device it addressed only when its reset, Match
// ROM, command and data went to the kernel as one message.

#include <gtest/gtest.h>

#include <functional>

#include "hlt/hlt_core.h"
#include "scripted_host.h"
#include "thermo/thermometers.h"
#include "w1_rig.h"
#include "wire/sim/sim_ds18b20.h"
#include "wire/sim/sim_ds2438.h"

namespace velgrin {
namespace {

const RomCode kThermometer = WithRomCrc({0x28, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x00});
const RomCode kMultisensor = WithRomCrc({0x26, 0x07, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00});
const sim::Ds2438Device::Page kPage4{0x10, 0x27, 0xE8, 0x03, 0x64, 0x00, 0xC8, 0x00};

class NoPoll final : public PollControl {
  public:
    bool pollTimerEnabled() const override { return enabled; }
    void setPollTimerEnabled(bool on) override { enabled = on; }
    int16_t ScanNetwork() override { return 0; }
    bool enabled = false;
};

struct W1Sequences : ::testing::Test {
    W1Sequences() {
        auto& thermometer = static_cast<sim::Ds18b20Device&>(
            bench->bus().attach(std::make_unique<sim::Ds18b20Device>(kThermometer)));
        thermometer.setTemperature(sim::SimValue::Constant(23.5));
        auto& multisensor = static_cast<sim::Ds2438Device&>(
            bench->bus().attach(std::make_unique<sim::Ds2438Device>(kMultisensor)));
        multisensor.setPage(4, kPage4);
        rig.kernel->addMaster(1, bench);
    }

    int16_t IndexOf(const RomCode& rom) const {
        for (int16_t i = 0; i < core.FoundDev; ++i) {
            if (core.Asens[static_cast<size_t>(i)].ROMS == RomText(rom)) {
                return i;
            }
        }
        return -1;
    }

    VirtualClock clock;
    testing::ScriptedHost host{clock};
    std::shared_ptr<sim::SimBench> bench = std::make_shared<sim::SimBench>(clock);
    w1::testing::W1Rig rig;
    TmexDriver driver{rig.registry(), *rig.registry().resolve("w1:1")};
    BusCore core{driver, host};
    Thermometers thermometers{core};
    NoPoll poll;
    HltState hltState;
    HltCore hlt{core, poll, hltState};
};

TEST_F(W1Sequences, ReadsComeFromTheAddressedDeviceWhileTheKernelSearchesBetweenMessages) {
    ASSERT_EQ(core.ScanSessionAndSearch().result, 1);
    const int16_t thermometer = IndexOf(kThermometer);
    const int16_t multisensor = IndexOf(kMultisensor);
    ASSERT_GE(thermometer, 0);
    ASSERT_GE(multisensor, 0);
    rig.kernel->searchBetweenMessages(1);

    struct Case {
        const char* what;
        std::function<bool()> run;
    };
    const Case cases[] = {
        {"Measure1820",
         [&] {
             return thermometers.Measure1820(thermometer) == kMeasured &&
                    core.Asens[static_cast<size_t>(thermometer)].Temperature == 23.5;
         }},
        {"a multisensor page read",
         [&] {
             const auto rom = core.Asens[static_cast<size_t>(multisensor)].ROM;
             auto words = rom;
             ds2438::PageRead read{};
             return driver.TMRom(core.SHandle, core.StateBuf, words) > 0 &&
                    hlt.Read_HLT_Page(4, read) &&
                    std::equal(kPage4.begin(), kPage4.end(), read.begin());
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const uint64_t searchesBefore = rig.kernel->kernelSearches();
        EXPECT_TRUE(c.run());
        EXPECT_GT(rig.kernel->kernelSearches(), searchesBefore + 3);
    }
}

}  // namespace
}  // namespace velgrin
