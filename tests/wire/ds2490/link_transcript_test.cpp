// The DS2490 link's requests for each 1-Wire operation, and how it recovers, against a
// scripted chip.

#include <gtest/gtest.h>

#include "scripted_usb.h"
#include "wire/ds2490/ds2490_link.h"

namespace velgrin::ds2490 {
namespace {

using testing::ScriptedUsb;
using testing::Status;
using Lines = std::vector<std::string>;

constexpr uint8_t kIdle = status::kIdle;
constexpr uint8_t kBusy = 0x00;
constexpr uint8_t kPullupOn = status::kPullupActive;

// Chip reset, regular speed, infinite pull-up duration, pull-up enabled.
const Lines kInitialise{"C0 0000 0000", "C2 0002 0000", "C2 0003 0000", "C2 0000 0002"};

Lines Join(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Ds2490LinkTest : ::testing::Test {
    void SetUp() override {
        auto script = std::make_unique<ScriptedUsb>();
        usb = script.get();
        Ds2490Options options;
        options.maxStatusReads = 4;
        link = std::make_unique<Ds2490Link>(std::move(script), options);
        ASSERT_TRUE(link->open());
        usb->log.clear();
    }
    Lines Take() {
        Lines lines = usb->log;
        usb->log.clear();
        return lines;
    }

    ScriptedUsb* usb = nullptr;
    std::unique_ptr<Ds2490Link> link;
};

TEST(Ds2490LinkOpen, OpeningResetsTheChipAndAppliesItsModes) {
    auto script = std::make_unique<ScriptedUsb>();
    auto* usb = script.get();
    Ds2490Link link(std::move(script));
    ASSERT_TRUE(link.open());
    EXPECT_EQ(usb->log, Join({"open"}, kInitialise));
}

TEST_F(Ds2490LinkTest, ResetReadsTheResultByteAndSkipsNewDeviceNotices) {
    usb->statuses = {Status(kBusy, 0), Status(kIdle, 0, {0xA5, 0x00})};
    EXPECT_EQ(*link->reset(), ResetOutcome::Presence);
    EXPECT_EQ(Take(), (Lines{"C1 0C4B 0000", "S", "S A500"}));

    usb->statuses = {Status(kIdle, 0, {0x01})};
    EXPECT_EQ(*link->reset(), ResetOutcome::NoPresence);
    EXPECT_EQ(Take(), (Lines{"C1 0C4B 0000", "S 01"}));
}

TEST_F(Ds2490LinkTest, ShortResetsTheChipSoThatNothingStaysQueued) {
    usb->statuses = {Status(kIdle, 0, {0x02})};
    EXPECT_EQ(*link->reset(), ResetOutcome::Short);
    EXPECT_EQ(Take(), Join({"C1 0C4B 0000", "S 02"}, kInitialise));
}

TEST_F(Ds2490LinkTest, BitsAndBytesAreOneCommandEach) {
    usb->receive = {0x01};
    EXPECT_TRUE(*link->touchBit(true));
    usb->receive = {0x00};
    EXPECT_FALSE(*link->touchBit(false));
    usb->receive = {0x5A};
    EXPECT_EQ(*link->touchByte(0xFF), 0x5A);
    EXPECT_EQ(Take(), (Lines{"C1 0029 0000", "S", "R 01", "C1 0021 0000", "S", "R 00",
                             "C1 0053 00FF", "S", "R 5A"}));
}

TEST_F(Ds2490LinkTest, ChipResetAfterAFailureCutsTheSequenceUntilTheNextBusReset) {
    // A 1 where 0 was written is not the bus: the chip is reset, which leaves the devices
    // mid-command.
    usb->receive = {0x01};
    auto read = link->touchByte(0x00);
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error().code, WireErrorCode::Interrupted);
    EXPECT_EQ(link->recoveries(), 1u);
    EXPECT_EQ(Take(),
              Join({"C1 0053 0000", "S", "R 01", "clear 81", "clear 02", "clear 83"}, kInitialise));

    std::array<uint8_t, 3> rest{0x0F, 0x00, 0xE8};
    EXPECT_EQ(link->touchBlock(rest).error().code, WireErrorCode::Interrupted);
    EXPECT_EQ(link->touchByte(0x48).error().code, WireErrorCode::Interrupted);
    EXPECT_EQ(link->touchBit(true).error().code, WireErrorCode::Interrupted);
    EXPECT_EQ(link->armStrongPullup(PullupTrigger::AfterNextByte).error().code,
              WireErrorCode::Interrupted);
    EXPECT_TRUE(Take().empty()) << "nothing of the cut sequence reaches the bus";

    usb->statuses = {Status(kIdle, 0, {0x00})};
    EXPECT_EQ(*link->reset(), ResetOutcome::Presence);
    usb->receive = {0xCC};
    EXPECT_EQ(*link->touchByte(0xCC), 0xCC);
}

TEST_F(Ds2490LinkTest, ChipThatDoesNotTakeItsResetAfterAFailureIsGivenUp) {
    usb->failControls = WireError{WireErrorCode::Timeout, "the scripted DS2490 timed out"};
    auto read = link->touchByte(0xFF);
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error().code, WireErrorCode::Timeout);
    EXPECT_FALSE(link->isOpen()) << "every further step fails at once";
    (void)Take();
    EXPECT_FALSE(link->touchByte(0xFF));
    EXPECT_TRUE(Take().empty());
}

TEST_F(Ds2490LinkTest, BlocksGoOverInPiecesOfOnePacket) {
    std::vector<uint8_t> block(100, 0xFF);
    usb->receive.assign(100, 0xAB);
    usb->statuses = {Status(kIdle, 64), Status(kIdle, 36)};
    ASSERT_TRUE(link->touchBlock(block));
    EXPECT_EQ(block, std::vector<uint8_t>(100, 0xAB));
    const Lines lines = Take();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "W " + std::string(128, 'F'));
    EXPECT_EQ(lines[1], "C1 0075 0040");
    EXPECT_EQ(lines[4], "W " + std::string(72, 'F'));
    EXPECT_EQ(lines[5], "C1 0075 0024");
}

TEST_F(Ds2490LinkTest, PullupAfterAByteHoldsUntilHaltAndResumeEndIt) {
    ASSERT_TRUE(link->armStrongPullup(PullupTrigger::AfterNextByte));
    // The chip is busy with the pull-up: the byte in its FIFO is enough.
    usb->statuses = {Status(kPullupOn, 0), Status(kPullupOn, 1)};
    usb->receive = {0x44};
    EXPECT_EQ(*link->touchByte(0x44), 0x44);
    EXPECT_EQ(Take(), (Lines{"C1 1053 0044", "S", "S", "R 44"}));

    ASSERT_TRUE(link->setNormalLevel());
    EXPECT_EQ(Take(), (Lines{"C0 0003 0000", "C0 0002 0000", "S"}));
    ASSERT_TRUE(link->setNormalLevel());
    EXPECT_TRUE(Take().empty());
}

TEST_F(Ds2490LinkTest, PullupAfterAOneByteBlockHoldsAfterTheBlock) {
    ASSERT_TRUE(link->armStrongPullup(PullupTrigger::AfterNextByte));
    usb->statuses = {Status(kPullupOn, 1)};
    usb->receive = {0x48};
    std::array<uint8_t, 1> block{0x48};
    ASSERT_TRUE(link->touchBlock(block));
    EXPECT_EQ(Take(), (Lines{"C1 1053 0048", "S", "R 48"}));
}

TEST_F(Ds2490LinkTest, PullupAfterABitIsTheBitCommandsOwn) {
    ASSERT_TRUE(link->armStrongPullup(PullupTrigger::AfterNextBit));
    usb->statuses = {Status(kPullupOn, 1)};
    usb->receive = {0x01};
    EXPECT_TRUE(*link->touchBit(true));
    EXPECT_EQ(Take(), (Lines{"C1 1029 0000", "S", "R 01"}));
}

TEST_F(Ds2490LinkTest, PullupThatOutlivesTheHaltIsEndedByAChipReset) {
    ASSERT_TRUE(link->armStrongPullup(PullupTrigger::AfterNextByte));
    usb->statuses = {Status(kPullupOn, 1)};
    usb->receive = {0x48};
    ASSERT_TRUE(link->touchByte(0x48));
    (void)Take();
    usb->statuses = {Status(kPullupOn, 0), Status(kIdle, 0)};
    ASSERT_TRUE(link->setNormalLevel());
    EXPECT_EQ(Take(), Join(Join({"C0 0003 0000", "C0 0002 0000", "S"}, kInitialise), {"S"}));
}

TEST_F(Ds2490LinkTest, ACommandThatNeverEndsTimesOutAndResetsTheChip) {
    usb->statuses.assign(4, Status(kBusy, 0));
    auto reset = link->reset();
    ASSERT_FALSE(reset);
    EXPECT_EQ(reset.error().code, WireErrorCode::Timeout);
    EXPECT_EQ(link->recoveries(), 1u);
    EXPECT_TRUE(link->isOpen());
}

TEST_F(Ds2490LinkTest, LostCommandResetsTheChip) {
    usb->statuses = {Status(status::kEp0Overflow | kIdle, 0)};
    ASSERT_FALSE(link->reset());
    EXPECT_EQ(link->recoveries(), 1u);
}

TEST_F(Ds2490LinkTest, UnpluggedAdapterClosesTheLinkWithoutRecovery) {
    usb->failNext = WireError{WireErrorCode::PortGone, "the scripted DS2490 was unplugged"};
    auto read = link->touchByte(0xFF);
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error().code, WireErrorCode::PortGone);
    EXPECT_FALSE(link->isOpen());
    EXPECT_EQ(link->recoveries(), 0u);
}

// The pass resets the bus itself; a pass the chip reports as silent is told from a broken path
// by a reset of its own.
TEST_F(Ds2490LinkTest, SearchPassIsOneSearchAccessCommandWithItsReset) {
    const RomCode directions{0x01, 0, 0, 0, 0, 0, 0, 0};
    const RomCode found{0x28, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0xE4};
    const RomCode map{0x0F, 0, 0, 0, 0, 0, 0, 0};
    const RomCode broken{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const std::vector<uint8_t> withMap = [&] {
        std::vector<uint8_t> bytes(found.begin(), found.end());
        bytes.insert(bytes.end(), map.begin(), map.end());
        return bytes;
    }();
    struct Case {
        const char* what;
        bool alarmOnly;
        std::vector<uint8_t> receive;
        std::vector<uint8_t> passResults;
        std::vector<uint8_t> resetResults;  // of the reset that follows a silent pass
        ResetOutcome presence;
        RomCode path;
        RomCode discrepancies;
        Lines transfers;
    };
    const Case cases[] = {
        {"devices disagree",
         false,
         withMap,
         {},
         {},
         ResetOutcome::Presence,
         found,
         map,
         {"W 0100000000000000", "C1 49FD 01F0", "S", "R 28010100000000E40F00000000000000"}},
        {"the last device",
         true,
         {found.begin(), found.end()},
         {},
         {},
         ResetOutcome::Presence,
         found,
         {},
         {"W 0100000000000000", "C1 49FD 01EC", "S", "R 28010100000000E4"}},
        {"an empty bus",
         false,
         {},
         {0x01},
         {0x01},
         ResetOutcome::NoPresence,
         broken,
         {},
         {"W 0100000000000000", "C1 49FD 01F0", "S 01", "C1 0C4B 0000", "S 01"}},
        {"a path broken off",
         false,
         {},
         {0x01},
         {0x00},
         ResetOutcome::Presence,
         broken,
         {},
         {"W 0100000000000000", "C1 49FD 01F0", "S 01", "C1 0C4B 0000", "S 00"}},
        {"a short",
         false,
         {},
         {0x02},
         {0x02},
         ResetOutcome::Short,
         broken,
         {},
         Join({"W 0100000000000000", "C1 49FD 01F0", "S 02", "C1 0C4B 0000", "S 02"}, kInitialise)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        usb->receive.assign(c.receive.begin(), c.receive.end());
        usb->statuses = {Status(kIdle, static_cast<uint8_t>(c.receive.size()), c.passResults),
                         Status(kIdle, 0, c.resetResults)};
        auto pass = link->searchPass(directions, c.alarmOnly);
        ASSERT_TRUE(pass);
        EXPECT_EQ(pass->presence, c.presence);
        EXPECT_EQ(pass->path, c.path);
        EXPECT_EQ(pass->discrepancies, c.discrepancies);
        EXPECT_EQ(Take(), c.transfers);
        usb->statuses.clear();
    }
}

// Reset and Match ROM: one block command that resets first; after a silent reset or a short
// nothing of the block is kept.
TEST_F(Ds2490LinkTest, MatchRomIsOneBlockCommandWithItsReset) {
    const std::vector<uint8_t> match{0x55, 0x28, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0xE4};
    const std::string written = "W 5528010100000000E4";
    struct Case {
        const char* what;
        std::vector<uint8_t> results;
        ResetOutcome presence;
        Lines transfers;
    };
    const Case cases[] = {
        {"a device answered",
         {},
         ResetOutcome::Presence,
         {written, "C1 0175 0009", "S", "R 5528010100000000E4"}},
        {"nobody answered",
         {0x01},
         ResetOutcome::NoPresence,
         {written, "C1 0175 0009", "S 01", "C0 0009 0000", "C0 0008 0000"}},
        {"a short",
         {0x02},
         ResetOutcome::Short,
         Join({written, "C1 0175 0009", "S 02"}, kInitialise)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = match;
        const uint8_t dataIn = c.results.empty() ? 9 : 0;
        if (dataIn > 0) {
            usb->receive.assign(match.begin(), match.end());
        }
        usb->statuses = {Status(kIdle, dataIn, c.results)};
        auto presence = link->resetAndTouchBlock(bytes);
        ASSERT_TRUE(presence);
        EXPECT_EQ(*presence, c.presence);
        EXPECT_EQ(Take(), c.transfers);
    }
}

}  // namespace
}  // namespace velgrin::ds2490
