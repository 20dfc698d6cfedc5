// The emulator's DS2480B engine: host bytes in, reply bytes out, against a simulated bus.

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <vector>

#include "common/clock.h"
#include "ds2480b_emu/ds2480b_chip.h"
#include "wire/sim/sim_models.h"

namespace velgrin::ds2480b {
namespace {

using Bytes = std::vector<uint8_t>;

const RomCode kFirst{0x28, 0x5A, 0x3E, 0x1D, 0x07, 0x00, 0x00, 0x06};
const RomCode kSecond{0x28, 0xB7, 0x42, 0x1D, 0x07, 0x00, 0x00, 0x29};

class ChipTest : public ::testing::Test {
  protected:
    ChipTest() : bench_(clock_), chip_(bench_) {}

    void attach(const RomCode& rom) { bench_.bus().attach(sim::MakeDevice("DS18B20", rom)); }

    Bytes feed(std::initializer_list<uint8_t> bytes) { return feed(Bytes(bytes)); }
    Bytes feed(const Bytes& bytes) {
        Bytes replies;
        for (uint8_t b : bytes) {
            const auto step = chip_.receive(b);
            replies.insert(replies.end(), step.replies.begin(), step.replies.end());
        }
        return replies;
    }
    // Past the timing byte that follows every master reset.
    void calibrate() { ASSERT_EQ(feed({0xC1}), Bytes{}); }

    VirtualClock clock_;
    sim::SimBench bench_;
    Ds2480bChip chip_;
};

TEST_F(ChipTest, TimingByteIsSilentThenResetsReportTheBus) {
    EXPECT_EQ(feed({0xC1}), Bytes{});
    EXPECT_EQ(bench_.bus().resets(), 0u);
    EXPECT_EQ(feed({0xC5}), Bytes{0xCF});
    attach(kFirst);
    EXPECT_EQ(feed({0xC1}), Bytes{0xCD});
    bench_.bus().setShorted(true);
    EXPECT_EQ(feed({0xC5}), Bytes{0xCC});
}

TEST_F(ChipTest, ConfigurationIsAnsweredAndReadBack) {
    calibrate();
    EXPECT_EQ(feed({0x17, 0x45, 0x5B, 0x3F}), (Bytes{0x16, 0x44, 0x5A, 0x3E}));
    // Read slew rate, strong pull-up duration and rate.
    EXPECT_EQ(feed({0x03, 0x07, 0x0F}), (Bytes{0x06, 0x0E, 0x00}));
    EXPECT_EQ(feed({0x77}), Bytes{0x76});
    EXPECT_EQ(chip_.baud(), 115200u);
    EXPECT_EQ(feed({0x0F}), Bytes{0x06});
    // A master reset brings back the power-up values and waits for a timing byte.
    chip_.masterReset();
    EXPECT_EQ(feed({0xC1, 0x0F, 0x07}), (Bytes{0x00, 0x08}));
}

TEST_F(ChipTest, DataModeEchoesAndTakesE3TwiceAsData) {
    attach(kFirst);
    calibrate();
    EXPECT_EQ(feed({0xC5, 0xE1, 0x55}), (Bytes{0xCD, 0x55}));
    EXPECT_EQ(feed({0xE3, 0xE3}), Bytes{0xE3});
    // E3 followed by anything else is a switch to command mode and that command.
    EXPECT_EQ(feed({0xE3, 0xC5}), Bytes{0xCD});
    EXPECT_FALSE(chip_.dataMode());
    // Read ROM on a one-device bus: the device's code comes back for FF.
    EXPECT_EQ(feed({0xE1, 0x33, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),
              (Bytes{0x33, 0x28, 0x5A, 0x3E, 0x1D, 0x07, 0x00, 0x00, 0x06}));
}

TEST_F(ChipTest, SingleBitsEchoTheCommandWithTheBitRead) {
    attach(kFirst);
    calibrate();
    EXPECT_EQ(feed({0x95, 0x85, 0x91}), (Bytes{0x97, 0x84, 0x93}));
    // After Read ROM the device sends bit 0 of its family code (0x28): 0.
    EXPECT_EQ(feed({0xC5, 0xE1, 0x33, 0xE3, 0x95}), (Bytes{0xCD, 0x33, 0x94}));
}

TEST_F(ChipTest, SearchAcceleratorFollowsDirectionsAndFlagsConflicts) {
    attach(kFirst);
    attach(kSecond);
    calibrate();
    const Bytes start{0xC5, 0xE1, 0xF0, 0xE3, 0xB5, 0xE1};
    Bytes pass = start;
    pass.resize(start.size() + 16, 0x00);
    pass.insert(pass.end(), {0xE3, 0xA5});
    EXPECT_EQ(feed(pass), (Bytes{0xCD, 0xF0, 0x80, 0x08, 0x89, 0x22, 0xA8, 0x0A, 0xA2, 0x02, 0x2A,
                                 0x00, 0x00, 0x00, 0x00, 0x00, 0x28, 0x00}));
    // Take 1 at the conflict in ROM bit 8.
    pass[start.size()] = 0x80;
    pass[start.size() + 1] = 0x08;
    pass[start.size() + 2] = 0x02;
    EXPECT_EQ(feed(pass), (Bytes{0xCD, 0xF0, 0x80, 0x08, 0x2B, 0x8A, 0x08, 0x20, 0xA2, 0x02, 0x2A,
                                 0x00, 0x00, 0x00, 0x00, 0x00, 0x82, 0x08}));
    EXPECT_EQ(bench_.bus().slots(), 2u * (8 + 16 * 12));
}

TEST_F(ChipTest, SearchWithoutDevicesReadsAllOnes) {
    calibrate();
    Bytes pass{0xB5, 0xE1};
    pass.resize(pass.size() + 16, 0x00);
    EXPECT_EQ(feed(pass), Bytes(16, 0xFF));
}

TEST_F(ChipTest, PullupAfterABitRunsUntilTerminated) {
    calibrate();
    EXPECT_EQ(feed({0x3F, 0x97}), (Bytes{0x3E, 0x97}));
    EXPECT_TRUE(bench_.bus().strongPullup());
    clock_.advanceMs(5000);
    EXPECT_EQ(chip_.tick(), Bytes{});
    EXPECT_TRUE(bench_.bus().strongPullup());
    EXPECT_EQ(feed({0xF1}), Bytes{0xEC});
    EXPECT_FALSE(bench_.bus().strongPullup());
    // Nothing to end: no reply.
    EXPECT_EQ(feed({0xF1}), Bytes{});
}

TEST_F(ChipTest, FinitePulseEndsByItselfWithItsReply) {
    calibrate();
    // Power-up duration: 524 ms.
    EXPECT_EQ(feed({0xED}), Bytes{});
    EXPECT_TRUE(bench_.bus().strongPullup());
    ASSERT_TRUE(chip_.pulseEndsAtUs());
    clock_.advanceMs(500);
    EXPECT_EQ(chip_.tick(), Bytes{});
    clock_.advanceMs(30);
    EXPECT_EQ(chip_.tick(), Bytes{0xEC});
    EXPECT_FALSE(bench_.bus().strongPullup());
}

TEST_F(ChipTest, ArmedPulsePullsUpAfterEveryDataByte) {
    calibrate();
    // Pull-up 16.4 ms, a pulse that arms, then a data byte.
    EXPECT_EQ(feed({0x31, 0xEF}), Bytes{0x30});
    clock_.advanceMs(20);
    EXPECT_EQ(chip_.tick(), Bytes{0xEC});
    EXPECT_EQ(feed({0xE1, 0x44}), Bytes{0x44});
    EXPECT_TRUE(bench_.bus().strongPullup());
    clock_.advanceMs(20);
    EXPECT_EQ(chip_.tick(), Bytes{});
    EXPECT_FALSE(bench_.bus().strongPullup());
}

TEST_F(ChipTest, WithoutPowerNothingIsAnsweredAndPowerReturnsAsPowerUp) {
    attach(kFirst);
    calibrate();
    chip_.setPowered(false);
    EXPECT_EQ(feed({0xC5, 0x0F}), Bytes{});
    chip_.setPowered(true);
    EXPECT_EQ(feed({0xC1, 0xC5}), Bytes{0xCD});
    bench_.unplugged = true;
    EXPECT_EQ(feed({0xC5}), Bytes{});
    bench_.unplugged = false;
    EXPECT_EQ(feed({0xC1, 0xC5}), Bytes{0xCD});
}

TEST_F(ChipTest, LineThatCannotCarryTheFasterRateLosesEverything) {
    attach(kFirst);
    chip_.setLineLimit(9600);
    calibrate();
    EXPECT_EQ(feed({0x77, 0x0F, 0xC5}), Bytes{});
    chip_.masterReset();
    EXPECT_EQ(feed({0xC1, 0xC5}), Bytes{0xCD});
}

}  // namespace
}  // namespace velgrin::ds2480b
