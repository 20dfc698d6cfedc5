// The DS2490 link's requests for each 1-Wire operation, and how it recovers, against a
// scripted chip.

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <optional>

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
    EXPECT_EQ(Take(),
              (Lines{"C1 0029 0000", "R 01", "C1 0021 0000", "R 00", "C1 0053 00FF", "R 5A"}));
}

// Blocks and bytes without a reset take their answer from the receive FIFO, reading on while
// it comes in pieces; only what does not come sends the link to the status.
TEST_F(Ds2490LinkTest, AnswersComeFromTheReceiveFifoAndTheStatusOnlyWhenMissing) {
    struct Case {
        std::deque<uint8_t> answer;
        std::deque<size_t> pieces;
        Lines reads;
    };
    const Case cases[] = {
        {{0xBE, 0x50, 0x05}, {1, 2}, {"R BE", "R 5005"}},
        {{0xBE, 0x50, 0x05}, {0}, {"R ", "S", "R BE5005"}},
        {{0xBF, 0x50, 0x05}, {}, {"R BF5005", "clear 81"}},  // a 1 where 0 went out
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reads.front());
        usb->receive = c.answer;
        usb->pieces = c.pieces;
        std::vector<uint8_t> block{0xBE, 0xFF, 0xFF};
        const bool fails = c.answer[0] != 0xBE;
        EXPECT_EQ(!link->touchBlock(block), fails);
        const Lines lines = Take();
        const Lines expected = Join({"W BEFFFF", "C1 0075 0003"}, c.reads);
        ASSERT_GE(lines.size(), expected.size());
        EXPECT_EQ(Lines(lines.begin(), lines.begin() + static_cast<long>(expected.size())),
                  expected);
        EXPECT_EQ(block == std::vector<uint8_t>(c.answer.begin(), c.answer.end()), !fails);
        usb->statuses = {Status(kIdle, 0, {0x00})};
        ASSERT_TRUE(link->reset());  // after a failure only a reset goes on
        (void)Take();
    }
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
              Join({"C1 0053 0000", "R 01", "clear 81", "clear 02", "clear 83"}, kInitialise));

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
    ASSERT_TRUE(link->touchBlock(block));
    EXPECT_EQ(block, std::vector<uint8_t>(100, 0xAB));
    const Lines lines = Take();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "W " + std::string(128, 'F'));
    EXPECT_EQ(lines[1], "C1 0075 0040");
    EXPECT_EQ(lines[3], "W " + std::string(72, 'F'));
    EXPECT_EQ(lines[4], "C1 0075 0024");
}

TEST_F(Ds2490LinkTest, PullupAfterAByteHoldsUntilHaltAndResumeEndIt) {
    ASSERT_TRUE(link->armStrongPullup(PullupTrigger::AfterNextByte));
    usb->receive = {0x44};
    EXPECT_EQ(*link->touchByte(0x44), 0x44);
    EXPECT_EQ(Take(), (Lines{"C1 1053 0044", "R 44"}));

    ASSERT_TRUE(link->setNormalLevel());
    EXPECT_EQ(Take(), (Lines{"C0 0003 0000", "C0 0002 0000", "S"}));
    ASSERT_TRUE(link->setNormalLevel());
    EXPECT_TRUE(Take().empty());
}

// A planned pull-up runs on the chip's timer, its duration set only when it changes; its end is a
// status read showing it off, or a halt once the chip's clock has lagged too long. An unplanned
// one, or one longer than the timer reaches, is infinite.
TEST_F(Ds2490LinkTest, PlannedPullupRunsOnTheChipsTimer) {
    using std::chrono::milliseconds;
    const Lines halt{"C0 0003 0000", "C0 0002 0000", "S"};
    struct Case {
        std::optional<int> holdMs;
        int waitMs;
        std::vector<std::vector<uint8_t>> statuses;
        Lines sent;
        Lines ended;
    };
    const std::vector<Case> cases{
        {10, 16, {}, {"C2 0003 0001", "C1 1053 0048", "R 48"}, {"S"}},
        {10, 16, {}, {"C1 1053 0048", "R 48"}, {"S"}},
        {1000, 1008, {}, {"C2 0003 003F", "C1 1053 0048", "R 48"}, {"S"}},
        {std::nullopt, 0, {}, {"C2 0003 0000", "C1 1053 0048", "R 48"}, halt},
        {5000, 5000, {}, {"C1 1053 0048", "R 48"}, halt},
        {1000,
         1008,
         std::vector<std::vector<uint8_t>>(8, Status(kPullupOn, 0)),
         {"C2 0003 003F", "C1 1053 0048", "R 48"},
         Join(Lines(8, "S"), halt)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.holdMs.value_or(-1));
        if (c.holdMs) {
            EXPECT_EQ(link->planPullup(milliseconds(*c.holdMs)), milliseconds(c.waitMs));
        }
        ASSERT_TRUE(link->armStrongPullup(PullupTrigger::AfterNextByte));
        usb->receive = {0x48};
        ASSERT_TRUE(link->touchByte(0x48));
        EXPECT_EQ(Take(), c.sent);
        usb->statuses.assign(c.statuses.begin(), c.statuses.end());
        ASSERT_TRUE(link->setNormalLevel());
        EXPECT_EQ(Take(), c.ended);
    }
}

TEST_F(Ds2490LinkTest, PullupAfterAOneByteBlockHoldsAfterTheBlock) {
    ASSERT_TRUE(link->armStrongPullup(PullupTrigger::AfterNextByte));
    usb->receive = {0x48};
    std::array<uint8_t, 1> block{0x48};
    ASSERT_TRUE(link->touchBlock(block));
    EXPECT_EQ(Take(), (Lines{"C1 1053 0048", "R 48"}));
}

TEST_F(Ds2490LinkTest, PullupAfterABitIsTheBitCommandsOwn) {
    ASSERT_TRUE(link->armStrongPullup(PullupTrigger::AfterNextBit));
    usb->receive = {0x01};
    EXPECT_TRUE(*link->touchBit(true));
    EXPECT_EQ(Take(), (Lines{"C1 1029 0000", "R 01"}));
}

TEST_F(Ds2490LinkTest, PullupThatOutlivesTheHaltIsEndedByAChipReset) {
    ASSERT_TRUE(link->armStrongPullup(PullupTrigger::AfterNextByte));
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

// After a Match ROM nobody answered, what came back of the block is read out and what never
// went out is flushed while the chip is halted: none of it may pass for a later answer.
TEST_F(Ds2490LinkTest, MatchRomNobodyAnsweredLeavesNothingInTheChip) {
    const std::vector<uint8_t> match{0x55, 0x28, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0xE4};
    const std::pair<bool, Lines> cases[] = {
        {true, {"R 5528010100000000E4"}},
        {false, {"C0 0003 0000", "C0 0009 0000", "C0 0002 0000"}},
    };
    for (const auto& [cameBack, rest] : cases) {
        if (cameBack) {
            usb->receive.assign(match.begin(), match.end());
        }
        auto packet = Status(kIdle, cameBack ? 9 : 0, {result::kNoPresence});
        packet[status::kDataOutCount] = cameBack ? 0 : 9;
        usb->statuses = {packet};
        std::vector<uint8_t> bytes = match;
        EXPECT_EQ(*link->resetAndTouchBlock(bytes), ResetOutcome::NoPresence);
        EXPECT_EQ(Take(),
                  Join({"C1 0C4B 0000", "W 5528010100000000E4", "C1 0075 0009", "S 01"}, rest));
    }
}

// A search pass resets the bus in its own command; a Match ROM goes right behind a reset
// command, one status read covering both. The chip's "no presence" after a pass may be a
// broken path as well: a reset of its own tells them apart. A short starts the chip afresh.
TEST_F(Ds2490LinkTest, SearchPassResetsInItsCommandAndMatchRomGoesBehindAReset) {
    const RomCode found{0x28, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0xE4};
    const RomCode map{0x0F, 0, 0, 0, 0, 0, 0, 0};
    const Lines pass{"W 0100000000000000", "C1 49FD 01F0"};
    const Lines match{"C1 0C4B 0000", "W 5528010100000000E4", "C1 0075 0009"};
    struct Case {
        bool isPass;
        std::vector<uint8_t> results;       // of the command
        std::vector<uint8_t> resetResults;  // of a reset after it
        ResetOutcome presence;
        Lines rest;
    };
    const Case cases[] = {
        {true, {}, {}, ResetOutcome::Presence, {"S", "R 28010100000000E40F00000000000000"}},
        {true, {0x01}, {0x01}, ResetOutcome::NoPresence, {"S 01", "C1 0C4B 0000", "S 01"}},
        {true, {0x01}, {0x00}, ResetOutcome::Presence, {"S 01", "C1 0C4B 0000", "S 00"}},
        {true,
         {0x02},
         {0x02},
         ResetOutcome::Short,
         Join({"S 02", "C1 0C4B 0000", "S 02"}, kInitialise)},
        {false, {}, {}, ResetOutcome::Presence, {"S", "R 5528010100000000E4"}},
        {false, {0x02}, {}, ResetOutcome::Short, Join({"S 02"}, kInitialise)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Join(c.isPass ? pass : match, c.rest).back());
        std::vector<uint8_t> bytes{0x55, 0x28, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0xE4};
        if (c.results.empty()) {
            usb->receive.assign(bytes.begin(), bytes.end());
            if (c.isPass) {
                usb->receive.assign(found.begin(), found.end());
                usb->receive.insert(usb->receive.end(), map.begin(), map.end());
            }
        }
        usb->statuses = {Status(kIdle, static_cast<uint8_t>(usb->receive.size()), c.results),
                         Status(kIdle, 0, c.resetResults)};
        ResetOutcome presence{};
        if (c.isPass) {
            auto done = link->searchPass(RomCode{0x01}, false);
            ASSERT_TRUE(done);
            presence = done->presence;
            EXPECT_EQ(done->path == found && done->discrepancies == map, c.results.empty());
        } else {
            auto done = link->resetAndTouchBlock(bytes);
            ASSERT_TRUE(done);
            presence = *done;
        }
        EXPECT_EQ(presence, c.presence);
        EXPECT_EQ(Take(), Join(c.isPass ? pass : match, c.rest));
        usb->statuses.clear();
        usb->receive.clear();
    }
    ASSERT_TRUE(link->searchPass(RomCode{0x01}, true));
    EXPECT_EQ(Take()[1], "C1 49FD 01EC") << "the alarm search's command byte";
}

// A listing takes no more than the codes it asked for and the value after them, gives up on a
// chip that searches on without handing over a code, and goes on from the last code only when
// the next command finds that code first.
TEST(Ds2490Listing, WhatTheChipHandsOverIsBoundedAndChecked) {
    const RomCode a = WithRomCrc({0x28, 1});
    const RomCode b = WithRomCrc({0x28, 2});
    const RomCode broken{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    std::vector<uint8_t> codes;  // the first command's two and a value, then the next one's
    for (const RomCode& rom : {a, b, a, a, b}) {
        codes.insert(codes.end(), rom.begin(), rom.end());
    }
    struct Case {
        const char* name;
        int codesPerSearch;
        std::deque<std::vector<uint8_t>> statuses;
        std::vector<uint8_t> receive;
        std::optional<WireErrorCode> error;
        std::vector<RomCode> listed;
    };
    const Case cases[] = {
        {"more than asked for",
         7,
         {Status(kBusy, 64), Status(kBusy, 64)},
         std::vector<uint8_t>(128, 0x28),
         WireErrorCode::Protocol,
         {}},
        {"a count that comes and goes",
         7,
         {Status(kBusy, 8), Status(kBusy, 16), Status(kBusy, 8), Status(kBusy, 16),
          Status(kBusy, 8), Status(kBusy, 16)},
         {},
         WireErrorCode::Timeout,
         {}},
        {"a further command not finding the last code first",
         2,
         {Status(kIdle, 24), Status(kIdle, 16)},
         codes,
         std::nullopt,
         {a, b, broken}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto script = std::make_unique<ScriptedUsb>();
        script->statuses = c.statuses;
        script->receive.assign(c.receive.begin(), c.receive.end());
        ScriptedUsb* usb = script.get();
        Ds2490Link link(std::move(script),
                        {.maxStatusReads = 4, .codesPerSearch = c.codesPerSearch});
        ASSERT_TRUE(link.open());
        auto listed = link.listBus(false);
        EXPECT_EQ(listed ? std::nullopt : std::optional(listed.error().code), c.error);
        EXPECT_EQ(listed ? *listed : std::vector<RomCode>{}, c.listed);
        EXPECT_TRUE(usb->statuses.empty()) << "every status read and no more";
    }
}

}  // namespace
}  // namespace velgrin::ds2490
