// Many thermometers measured within one conversion time, on the simulated bench: what goes over
// the bus, what the devices end up with and what is reported.
#include "thermo/thermometer_set.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "bus_commands.h"
#include "forwarding_link.h"
#include "sim_thermometers.h"
#include "thermo/scratchpad.h"
#include "wire/sim/sim_faults.h"

namespace velgrin {
namespace {

using testing::BusCommand;
using testing::ThermometerRom;
using State = ThermometerOutcome::State;

constexpr uint8_t kConvertT = 0x44;
constexpr uint8_t kReadScratchpad = 0xBE;
constexpr uint8_t kSkipRom = 0xCC;

// Hears every function byte the master sends it once selected; a multisensor's or a logger's
// family code makes it stand for one of them.
class ListeningDevice final : public sim::SimDevice {
  public:
    using SimDevice::SimDevice;
    std::string model() const override { return "listener"; }
    std::vector<uint8_t> heard;

  protected:
    void onFunctionByte(uint8_t byte, uint64_t) override { heard.push_back(byte); }
};

struct ThermometerSetTest : ::testing::Test, testing::ThermometerBench {
    sim::Ds18b20Device& Ds18b20(uint8_t serial, double celsius, int bits = 12) {
        auto& device = Attach<sim::Ds18b20Device>(ThermometerRom(0x28, serial));
        device.setTemperature(sim::SimValue::Constant(celsius));
        device.setResolution(bits);
        return device;
    }
    ListeningDevice& Listener(uint8_t family, uint8_t serial) {
        listeners.push_back(&Attach<ListeningDevice>(ThermometerRom(family, serial)));
        return *listeners.back();
    }

    // Scans, then measures these thermometers; the log and the clock start with the measurement.
    std::vector<ThermometerOutcome> Measure(const std::vector<RomCode>& roms,
                                            bool busHoldsOnlyThese) {
        Scan();
        // The scan's subtype probes talk to the loggers; only the measurement counts here.
        for (ListeningDevice* listener : listeners) {
            listener->heard.clear();
        }
        startUs = rig.clock.nowUs();
        Network network(*rig.driver.link());
        ThermometerSet set(network, rig.host, rig.core.retries);
        return set.measure(roms, busHoldsOnlyThese);
    }

    std::vector<BusCommand> Commands() { return testing::BusCommands(rig.bus().events()); }
    std::vector<BusCommand> CommandsWith(uint8_t function) {
        std::vector<BusCommand> found;
        for (const BusCommand& command : Commands()) {
            if (command.function == function) {
                found.push_back(command);
            }
        }
        return found;
    }
    // From the first Convert T to the first Read Scratchpad: the conversion period.
    uint64_t ConversionPeriodUs() {
        const auto converts = CommandsWith(kConvertT);
        const auto reads = CommandsWith(kReadScratchpad);
        return reads.front().resetUs - converts.front().resetUs;
    }

    static double Celsius(const ThermometerOutcome& outcome) {
        return static_cast<int16_t>(outcome.scratchpad[1] << 8 | outcome.scratchpad[0]) / 16.0;
    }

    uint64_t startUs = 0;
    std::vector<ListeningDevice*> listeners;
};

TEST_F(ThermometerSetTest, OnlyThermometersOnTheBusConvertTogetherBySkipRom) {
    std::vector<RomCode> roms;
    for (uint8_t serial = 1; serial <= 5; ++serial) {
        roms.push_back(Ds18b20(serial, 20 + serial / 4.0).rom());
    }
    const auto outcomes = Measure(roms, true);

    ASSERT_EQ(outcomes.size(), 5u);
    for (size_t i = 0; i < outcomes.size(); ++i) {
        EXPECT_EQ(outcomes[i].rom, roms[i]);
        EXPECT_EQ(outcomes[i].state, State::Measured);
        EXPECT_EQ(Celsius(outcomes[i]), 20 + static_cast<double>(i + 1) / 4.0);
    }
    const auto converts = CommandsWith(kConvertT);
    ASSERT_EQ(converts.size(), 1u);
    EXPECT_EQ(converts[0].romCommand, kSkipRom);
    // Read slots until every device was done: 0 while any converts, then 1, no pull-up.
    const auto& polled = converts[0].linesAfterFunction;
    ASSERT_FALSE(polled.empty());
    EXPECT_FALSE(polled.front());
    EXPECT_TRUE(polled.back());
    EXPECT_EQ(std::count(polled.begin(), polled.end(), true), 1);
    EXPECT_FALSE(converts[0].pulledUp);
    // One conversion time for the set: never shorter than 750 ms, and not a second one more.
    EXPECT_GE(ConversionPeriodUs(), 750'000u);
    EXPECT_LT(rig.clock.nowUs() - startUs, 800'000u);
    // Each is read by Match ROM, in the order asked.
    const auto reads = CommandsWith(kReadScratchpad);
    ASSERT_EQ(reads.size(), 5u);
    for (size_t i = 0; i < reads.size(); ++i) {
        EXPECT_EQ(reads[i].romCommand, 0x55);
        EXPECT_EQ(reads[i].matched, roms[i]);
    }
}

TEST_F(ThermometerSetTest, MixedResolutionsWaitForTheSlowestAndReadEachAtItsOwn) {
    const RomCode coarse = Ds18b20(1, 21.5625, 9).rom();
    const RomCode medium = Ds18b20(2, 21.5625, 10).rom();
    const RomCode fine = Ds18b20(3, 21.5625, 12).rom();
    const auto outcomes = Measure({coarse, medium, fine}, true);

    ASSERT_EQ(outcomes.size(), 3u);
    EXPECT_EQ(Celsius(outcomes[0]), 21.5);
    EXPECT_EQ(Celsius(outcomes[1]), 21.5);
    EXPECT_EQ(Celsius(outcomes[2]), 21.5625);
    EXPECT_GE(ConversionPeriodUs(), 750'000u);
    EXPECT_EQ(CommandsWith(kConvertT).size(), 1u);
}

TEST_F(ThermometerSetTest, NineBitThermometersAreDoneInTheirOwnConversionTime) {
    const RomCode first = Ds18b20(1, -3.5, 9).rom();
    const RomCode second = Ds18b20(2, 4.0, 9).rom();
    const auto outcomes = Measure({first, second}, true);

    EXPECT_EQ(Celsius(outcomes[0]), -3.5);
    EXPECT_EQ(Celsius(outcomes[1]), 4.0);
    EXPECT_GE(ConversionPeriodUs(), 93'750u);
    EXPECT_LT(rig.clock.nowUs() - startUs, 150'000u);
}

TEST_F(ThermometerSetTest, MultisensorAndLoggerNeverReceiveConvertT) {
    auto& multisensor = Listener(0x26, 0x10);
    auto& logger = Listener(0x41, 0x11);
    const RomCode first = Ds18b20(1, 18.0).rom();
    const RomCode second = Ds18b20(2, 19.0, 10).rom();
    const auto outcomes = Measure({first, second}, false);

    EXPECT_EQ(outcomes[0].state, State::Measured);
    EXPECT_EQ(Celsius(outcomes[0]), 18.0);
    EXPECT_EQ(Celsius(outcomes[1]), 19.0);
    EXPECT_TRUE(multisensor.heard.empty());
    EXPECT_TRUE(logger.heard.empty());
    for (const BusCommand& command : Commands()) {
        EXPECT_NE(command.romCommand, kSkipRom);
    }
    // Started back to back, each by its own Match ROM: one conversion period for both.
    const auto converts = CommandsWith(kConvertT);
    ASSERT_EQ(converts.size(), 2u);
    EXPECT_EQ(converts[0].matched, first);
    EXPECT_EQ(converts[1].matched, second);
    EXPECT_LT(converts[1].resetUs - converts[0].resetUs, 10'000u);
    // Each is read no sooner than the longest conversion after its own start.
    const auto reads = CommandsWith(kReadScratchpad);
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_GE(reads[0].resetUs - converts[0].resetUs, 750'000u);
    EXPECT_GE(reads[1].resetUs - converts[1].resetUs, 750'000u);
    EXPECT_LT(rig.clock.nowUs() - startUs, 800'000u);
}

TEST_F(ThermometerSetTest, AThermometerNotAskedForIsNotConverted) {
    auto& asked = Ds18b20(1, 18.0);
    auto& other = Ds18b20(2, 30.0);
    Measure({asked.rom()}, false);
    // Never converted since it was made: its register still holds the power-on value.
    EXPECT_TRUE(HoldsPowerOnValue(0x28, other.scratchpad()));
    EXPECT_FALSE(HoldsPowerOnValue(0x28, asked.scratchpad()));
}

TEST_F(ThermometerSetTest, ParasiteAmongThemConvertsAllUnderOnePullup) {
    const RomCode powered = Ds18b20(1, 22.0).rom();
    auto& parasite = Ds18b20(2, -7.5, 11);
    parasite.setParasite(true);
    const auto outcomes = Measure({powered, parasite.rom()}, true);

    EXPECT_EQ(Celsius(outcomes[0]), 22.0);
    EXPECT_EQ(outcomes[1].state, State::Measured);
    EXPECT_EQ(Celsius(outcomes[1]), -7.5);
    const auto converts = CommandsWith(kConvertT);
    ASSERT_EQ(converts.size(), 1u);
    EXPECT_EQ(converts[0].romCommand, kSkipRom);
    EXPECT_TRUE(converts[0].pullupRightAfterFunction) << Log();
    EXPECT_GE(converts[0].pullupOffUs - converts[0].pullupOnUs, 750'000u);
    EXPECT_EQ(converts[0].slotsUnderPullup, 0);
    EXPECT_FALSE(rig.bus().strongPullup());
}

TEST_F(ThermometerSetTest, ParasiteOnABusWithOthersGetsItsOwnPullupAfterThePoweredOnes) {
    auto& multisensor = Listener(0x26, 0x10);
    auto& parasite = Ds18b20(1, 31.25);
    parasite.setParasite(true);
    const RomCode powered = Ds18b20(2, 22.0).rom();
    const auto outcomes = Measure({parasite.rom(), powered}, false);

    EXPECT_EQ(Celsius(outcomes[0]), 31.25);
    EXPECT_EQ(Celsius(outcomes[1]), 22.0);
    EXPECT_TRUE(multisensor.heard.empty());
    const auto converts = CommandsWith(kConvertT);
    ASSERT_EQ(converts.size(), 2u);
    EXPECT_EQ(converts[0].matched, powered);
    EXPECT_FALSE(converts[0].pulledUp);
    EXPECT_EQ(converts[1].matched, parasite.rom());
    EXPECT_TRUE(converts[1].pullupRightAfterFunction);
    EXPECT_GE(converts[1].pullupOffUs - converts[1].pullupOnUs, 750'000u);
    EXPECT_EQ(converts[1].slotsUnderPullup, 0);
    // The powered one converted while the parasite one held the pull-up.
    EXPECT_LT(rig.clock.nowUs() - startUs, 800'000u);
}

TEST_F(ThermometerSetTest, ThermometerLeavingBetweenConversionAndReadIsNotAnswering) {
    auto& multisensor = Listener(0x26, 0x10);
    (void)multisensor;
    const RomCode staying = Ds18b20(1, 18.0).rom();
    const RomCode leaving = Ds18b20(2, 19.0).rom();
    rig.host.onSleep = [&](uint32_t) { (void)rig.bus().detach(leaving); };
    const auto outcomes = Measure({leaving, staying}, false);

    EXPECT_EQ(outcomes[0].state, State::NoIntactReply);
    EXPECT_EQ(outcomes[1].state, State::Measured);
    EXPECT_EQ(Celsius(outcomes[1]), 18.0);
}

TEST_F(ThermometerSetTest, GarbledScratchpadIsNotAnsweringAndNeverAnotherDevicesBytes) {
    auto& garbled = Ds18b20(1, 18.0);
    const RomCode fine = Ds18b20(2, 19.0).rom();
    sim::CorruptReplyByte(garbled, 3, 0x04);
    const auto outcomes = Measure({fine, garbled.rom()}, true);

    EXPECT_EQ(outcomes[0].state, State::Measured);
    EXPECT_EQ(outcomes[1].state, State::NoIntactReply);
}

TEST_F(ThermometerSetTest, RealEightyFiveDegreesIsATemperature) {
    const RomCode hot = Ds18b20(1, 85.0).rom();
    const RomCode warm = Ds18b20(2, 25.0).rom();
    const auto outcomes = Measure({hot, warm}, true);

    EXPECT_EQ(outcomes[0].state, State::Measured);
    EXPECT_EQ(Celsius(outcomes[0]), 85.0);
    // The reading that looks like the power-on value is settled by a conversion of that device
    // alone, watched to its end and read at once.
    const auto converts = CommandsWith(kConvertT);
    ASSERT_EQ(converts.size(), 2u);
    EXPECT_EQ(converts[1].romCommand, 0x55);
    EXPECT_EQ(converts[1].matched, hot);
    EXPECT_FALSE(converts[1].linesAfterFunction.front());
    EXPECT_TRUE(converts[1].linesAfterFunction.back());
}

TEST_F(ThermometerSetTest, NeverConvertedSinceItsPowerOnIsThePowerOnValue) {
    auto& stuck = Ds18b20(1, 30.0);
    stuck.setConversionStuck(true);
    const RomCode fine = Ds18b20(2, 25.0).rom();
    const auto outcomes = Measure({stuck.rom(), fine}, true);

    EXPECT_EQ(outcomes[0].state, State::PowerOnValue);
    EXPECT_EQ(outcomes[0].scratchpad[0], 0x50);
    EXPECT_EQ(outcomes[0].scratchpad[1], 0x05);
    EXPECT_EQ(outcomes[1].state, State::Measured);
    EXPECT_EQ(Celsius(outcomes[1]), 25.0);
}

TEST_F(ThermometerSetTest, StuckConversionAfterAnEarlierOneIsNoConversionNotAStaleValue) {
    auto& stuck = Ds18b20(1, 30.0);
    const RomCode fine = Ds18b20(2, 25.0).rom();
    Measure({stuck.rom(), fine}, true);
    stuck.setTemperature(sim::SimValue::Constant(40.0));
    stuck.setConversionStuck(true);
    rig.bus().clearEvents();
    Network network(*rig.driver.link());
    ThermometerSet set(network, rig.host, rig.core.retries);
    const auto outcomes = set.measure({stuck.rom(), fine}, true);

    EXPECT_EQ(outcomes[0].state, State::NotConverted);
    EXPECT_EQ(outcomes[1].state, State::Measured);
}

TEST_F(ThermometerSetTest, DS18S20PowerOnValueIsRecognised) {
    auto& device = Attach<sim::Ds18s20Device>(ThermometerRom(0x10, 1));
    device.setConversionStuck(true);
    const auto outcomes = Measure({device.rom()}, true);

    EXPECT_EQ(outcomes[0].state, State::PowerOnValue);
    EXPECT_EQ(outcomes[0].scratchpad[0], 0xAA);
    EXPECT_EQ(outcomes[0].scratchpad[1], 0x00);
}

// A brown-out between the conversion and the read: a timeline event due as the wait ends, so
// that it takes effect before the first read.
struct BrownOut : ThermometerSetTest {
    void BrownOutAfterTheWait(const RomCode& rom, bool stuckAfterwards) {
        rig.host.onSleep = [this, rom, stuckAfterwards](uint32_t) {
            rig.bench->schedule(
                rig.bench->elapsedMs(), "brown-out", [rom, stuckAfterwards](sim::SimBench& bench) {
                    auto* device = dynamic_cast<sim::Ds18x20Device*>(bench.find(rom));
                    device->powerCycle();
                    device->setConversionStuck(stuckAfterwards);
                });
            rig.host.onSleep = nullptr;
        };
    }
};

TEST_F(BrownOut, AfterTheConversionTheDeviceIsMeasuredAgainNotShownAt85) {
    Listener(0x26, 0x10);
    const RomCode victim = Ds18b20(1, 23.5).rom();
    const RomCode other = Ds18b20(2, 24.0).rom();
    BrownOutAfterTheWait(victim, false);
    const auto outcomes = Measure({victim, other}, false);

    EXPECT_EQ(outcomes[0].state, State::Measured);
    EXPECT_EQ(Celsius(outcomes[0]), 23.5);
    EXPECT_EQ(Celsius(outcomes[1]), 24.0);
    // Its first read gave the power-on value; the second conversion was its own.
    const auto reads = CommandsWith(kReadScratchpad);
    ASSERT_EQ(reads.size(), 3u);
    EXPECT_EQ(CommandsWith(kConvertT).back().matched, victim);
}

TEST_F(BrownOut, AndNoConversionSinceIsThePowerOnValue) {
    Listener(0x26, 0x10);
    const RomCode victim = Ds18b20(1, 23.5).rom();
    BrownOutAfterTheWait(victim, true);
    const auto outcomes = Measure({victim}, false);

    EXPECT_EQ(outcomes[0].state, State::PowerOnValue);
}

TEST_F(BrownOut, OfAParasiteThermometerAsItsPullupEnds) {
    auto& parasite = Ds18b20(1, -12.0);
    parasite.setParasite(true);
    BrownOutAfterTheWait(parasite.rom(), false);
    const auto outcomes = Measure({parasite.rom()}, true);

    EXPECT_EQ(outcomes[0].state, State::Measured);
    EXPECT_EQ(Celsius(outcomes[0]), -12.0);
    EXPECT_EQ(CommandsWith(kConvertT).size(), 2u);
}

// A loaded machine: each read slot is on the bus at once, but its reply reaches the program
// `lateMs` later.
class LateSlotReplies final : public testing::ForwardingLink {
  public:
    LateSlotReplies(Link& inner, VirtualClock& clock, uint32_t lateMs)
        : inner_(inner), clock_(clock), lateMs_(lateMs) {}

  private:
    Link* inner() const override { return &inner_; }
    WireResult<bool> sendBit(bool bit, bool pullupAfter) override {
        auto read = ForwardingLink::sendBit(bit, pullupAfter);
        clock_.advanceMs(lateMs_);
        return read;
    }

    Link& inner_;
    VirtualClock& clock_;
    uint32_t lateMs_;
};

TEST_F(ThermometerSetTest, LateSlotRepliesStillSeeOneConversionComplete) {
    std::vector<RomCode> roms;
    for (uint8_t serial = 1; serial <= 3; ++serial) {
        roms.push_back(Ds18b20(serial, 20 + serial).rom());
    }
    Scan();
    for (const uint32_t lateMs : {25u, 120u}) {
        SCOPED_TRACE(std::to_string(lateMs) + " ms late");
        LateSlotReplies late(*rig.driver.link(), rig.clock, lateMs);
        ASSERT_TRUE(late.open());
        Network network(late);
        ThermometerSet set(network, rig.host, rig.core.retries);
        rig.bus().clearEvents();
        const auto outcomes = set.measure(roms, true);
        for (size_t i = 0; i < outcomes.size(); ++i) {
            EXPECT_EQ(outcomes[i].state, State::Measured);
            EXPECT_EQ(Celsius(outcomes[i]), 21.0 + static_cast<double>(i));
        }
        // Not one of them measured alone again.
        EXPECT_EQ(CommandsWith(kConvertT).size(), 1u);

        // A device that really does not convert holds the others' slots busy too: each is then
        // measured alone, and only that one is found out.
        auto* stuck = dynamic_cast<sim::Ds18b20Device*>(rig.bench->find(roms[2]));
        stuck->setConversionStuck(true);
        const auto withStuck = set.measure(roms, true);
        stuck->setConversionStuck(false);
        EXPECT_EQ(withStuck[0].state, State::Measured);
        EXPECT_EQ(withStuck[1].state, State::Measured);
        EXPECT_EQ(withStuck[2].state, State::NotConverted);
    }
}

TEST_F(ThermometerSetTest, EmptyBusAnswersNothing) {
    const RomCode gone = ThermometerRom(0x28, 9);
    const auto outcomes = Measure({gone}, true);
    EXPECT_EQ(outcomes[0].state, State::NoIntactReply);
}

}  // namespace
}  // namespace velgrin
