// The page write and the block write over an adapter that fails chosen bytes, as a noisy line
// makes it: the attempt stops at the failed byte, runs again from a reset, never copies a
// scratchpad that is not as sent, and a block write that cannot finish puts the old pages back.

#include <gtest/gtest.h>

#include <algorithm>

#include "flaky_link.h"
#include "hlt_rig.h"

namespace velgrin {
namespace {

using testing::ByteFault;

const sim::Ds2438Device::Page kBytes{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};

struct HltRetry : ::testing::Test, testing::FlakyBenchRig {
    HltRetry()
        : device(static_cast<sim::Ds2438Device&>(
              bus().attach(std::make_unique<sim::Ds2438Device>(testing::HltRom(1))))) {
        (void)core.ScanSessionAndSearch();
        bus().clearEvents();
        bus().setRecording(true);
    }

    // Fails the first byte `byte` sent right after `previous`, once.
    void FailOnce(uint8_t previous, uint8_t byte, ByteFault how) {
        fault = [=, fired = false](uint8_t p, uint8_t b) mutable {
            if (fired || p != previous || b != byte) {
                return ByteFault::None;
            }
            fired = true;
            return how;
        };
    }

    // Copy commands that went out, whole or broken off.
    long Copies() const {
        const auto lines = testing::Transactions(bench->bus().events());
        return std::count_if(lines.begin(), lines.end(),
                             [](const std::string& l) { return l.rfind("S 48", 0) == 0; });
    }

    testing::FakePoll poll{core};
    HltState state;
    HltCore hlt{core, poll, state};
    sim::Ds2438Device& device;
};

struct FaultCase {
    const char* what;
    uint8_t previous;
    uint8_t byte;
    ByteFault fault;
    int repeats;  // the attempt run again (after a pause and a rescan)
    long copies;  // copy commands sent in all
};

const FaultCase kFaultCases[]{
    // The device took 0x23 for 0x33: its scratchpad is wrong, and no copy may carry it.
    {"a data byte garbled on its way", 0x22, 0x33, ByteFault::FailAfterSendingGarbled, 1, 1},
    // Each command follows its selection's Search ROM command.
    {"the scratchpad read's command", 0xF0, 0xBE, ByteFault::FailAfterSending, 1, 1},
    // The copy command reached the device, its page number was never sent: read, not re-sent
    // blindly; the read shows no copy, so the write runs again.
    {"the copy command", 0xF0, 0x48, ByteFault::FailAfterSending, 1, 2},
    // The page number reached the device, so the copy ran: the read-back finds the page.
    {"the copy's page number", 0x48, 0x04, ByteFault::FailAfterSending, 0, 1},
};

TEST_F(HltRetry, AFailedByteEndsTheAttemptAndTheWriteRunsAgainFromAReset) {
    for (const FaultCase& c : kFaultCases) {
        SCOPED_TRACE(c.what);
        device.setPage(4, {});
        bus().clearEvents();
        poll.scans = 0;
        FailOnce(c.previous, c.byte, c.fault);
        EXPECT_TRUE(hlt.Write_HLT_Page(4, kBytes, device.rom()));
        EXPECT_EQ(device.page(4), kBytes);
        EXPECT_EQ(poll.scans, c.repeats);
        EXPECT_EQ(Copies(), c.copies);
        EXPECT_TRUE(host.messages.empty());
    }
}

TEST_F(HltRetry, AScratchpadThatDoesNotReadBackAsSentIsNeverCopied) {
    // Every Write Scratchpad of page 4 reaches the device garbled.
    fault = [](uint8_t previous, uint8_t byte) {
        return previous == 0x22 && byte == 0x33 ? ByteFault::FailAfterSendingGarbled
                                                : ByteFault::None;
    };
    const auto before = device.page(4);
    EXPECT_FALSE(hlt.Write_HLT_Page(4, kBytes, device.rom()));
    EXPECT_EQ(device.page(4), before);
    EXPECT_EQ(Copies(), 0);
    EXPECT_EQ(poll.scans, kTransactionAttempts - 1);
    EXPECT_EQ(host.messages, std::vector<std::string>{kHltWriteFailedMessage});
}

struct HltBlockRollback : HltRetry {
    HltBlockRollback() {
        for (size_t i = 0; i < before.size(); ++i) {
            before[i] = static_cast<uint8_t>(i);
            after[i] = static_cast<uint8_t>(0x80 + i);
        }
        device.setConfigBlock(before);
        // Page 5's scratchpad takes no bytes for as long as the write tries.
        fault = [this, failuresLeft = kTransactionAttempts](uint8_t previous,
                                                            uint8_t byte) mutable {
            if (previous != 0x4E || byte != 0x05 || failuresLeft == 0) {
                return ByteFault::None;
            }
            --failuresLeft;
            if (leaveAtFailure) {
                (void)bench->park(device.rom());
            }
            return ByteFault::FailAfterSending;
        };
    }

    static constexpr std::array<HltPageStep, 4> kSteps{{{3, 0}, {6, 0}, {4, 100}, {5, 100}}};
    HltBlock before{};
    HltBlock after{};
    bool leaveAtFailure = false;
};

TEST_F(HltBlockRollback, APageThatCannotBeWrittenPutsTheOldBlockBack) {
    EXPECT_EQ(hlt.WriteBlockPages(device.rom(), before, after, kSteps),
              HltBlockOutcome::OldBlockBack);
    EXPECT_EQ(device.configBlock(), before);
    EXPECT_EQ(host.messages, std::vector<std::string>{kHltWriteFailedMessage});
}

TEST_F(HltBlockRollback, ADeviceThatLeftPartWayIsReportedAsHoldingAMix) {
    leaveAtFailure = true;
    EXPECT_EQ(hlt.WriteBlockPages(device.rom(), before, after, kSteps), HltBlockOutcome::Mixed);
    ASSERT_TRUE(bench->unpark(device.rom()));
    HltBlock mixed = after;
    std::copy_n(before.begin() + 16, 8, mixed.begin() + 16);
    EXPECT_EQ(device.configBlock(), mixed);
    EXPECT_EQ(host.messages,
              (std::vector<std::string>{kHltWriteFailedMessage, kHltBlockMixedMessage}));
}

}  // namespace
}  // namespace velgrin
