#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "wire/ds2490/usb_transport.h"
#include "wire/link.h"

namespace velgrin::ds2490 {

struct Ds2490Options {
    // Reads while waiting for one command (status packets, or its bytes arriving in pieces)
    // before the adapter counts as stuck. The adapter answers a status read every millisecond
    // at the alternate setting used, and the longest command (a 64-byte block at regular
    // speed) takes about 35 ms.
    int maxStatusReads = 1000;
    // ROM codes one search command lists at most (2 to 255). A bus with more is listed by further
    // commands, each going on from the last code found.
    int codesPerSearch = 255;
};

// A DS2490 USB bridge (DS9490R-type adapter). Every operation is one communication command
// run at once. Bits, bytes and blocks without a reset have no result codes: their answer is
// read from the receive FIFO at once, and the status only when it does not come whole. A
// command with a reset is followed by status reads until the chip is idle and its receive FIFO
// holds what the command returns. The bus runs at regular speed. A strong pull-up planned for a
// given time runs on the chip's own timer, so that its end takes a status read that shows it off;
// any other has an infinite duration and is ended by halting and resuming the chip, which the
// status then must confirm. After a failed command the chip is reset and its modes applied again;
// that leaves the devices mid-command, so from then on only a reset goes on the bus (every other
// operation fails as Interrupted until one has succeeded). A chip that does not take that reset
// counts as lost: the link closes and fails at once until it is opened again.
class Ds2490Link final : public Link {
  public:
    explicit Ds2490Link(std::unique_ptr<UsbTransport> usb, Ds2490Options options = {});

    bool isOpen() const override { return usb_->isOpen(); }
    LinkCapabilities capabilities() const override {
        return {
            .bitAccess = true, .strongPullup = true, .alarmSearch = true, .wholeBusSearch = true};
    }
    bool hasSearchAccelerator() const override { return true; }
    // The search access command resets the bus first: one command per pass.
    bool searchPassResets() const override { return true; }
    // The block command resets the bus first: a reset and Match ROM in one command.
    bool resetFoldsIntoBlock() const override { return true; }

    // The chip times the pull-up in 16 ms steps, rounded up: the caller waits for the whole step.
    std::chrono::milliseconds planPullup(std::chrono::milliseconds hold) override;
    const UsbStats& stats() const { return usb_->stats(); }
    // Times the chip was reset to recover from a failed command.
    uint64_t recoveries() const { return recoveries_; }

  private:
    WireResult<void> openAdapter() override;
    void closeAdapter() override;
    WireResult<void> ready() override;
    WireResult<ResetOutcome> resetBus() override;
    WireResult<bool> sendBit(bool bit, bool pullupAfter) override;
    WireResult<uint8_t> sendByte(uint8_t byte, bool pullupAfter) override;
    WireResult<void> sendBlock(std::span<uint8_t> bytes) override;
    WireResult<ResetOutcome> sendResetAndBlock(std::span<uint8_t> bytes) override;
    WireResult<void> endPullup() override;
    // ds2490_search.cpp
    WireResult<SearchPass> acceleratedPass(const RomCode& directions, bool alarmOnly) override;
    // ds2490_bus_listing.cpp
    WireResult<std::vector<RomCode>> listWholeBus(bool alarmOnly) override;
    // A chip reset; an unplugged adapter, or a chip that does not take the reset, closes the link.
    WireResult<AfterRecovery> recover(const WireError& failure) override;
    std::string sequenceCutter() const override { return "a reset of " + usb_->name(); }

    // What the status reads of one command showed.
    struct Completion {
        std::vector<uint8_t> results;  // result bytes, new-device notices left out
        size_t dataIn = 0;             // bytes waiting in the receive FIFO at the end
        size_t dataOut = 0;            // bytes still waiting to go out on the bus
    };

    // Chip reset and modes: regular speed, strong pull-up enabled with infinite duration.
    WireResult<void> initialise();

    WireResult<void> communicate(uint16_t value, uint16_t index);
    // A bus reset command, its outcome posted among the results.
    WireResult<void> sendReset();
    // One status packet into `into` (its results appended, the FIFO counts replaced); the
    // chip's device flags. A lost command is an error.
    WireResult<uint8_t> readStatus(Completion& into);
    // Reads status packets until the chip is idle and holds `expected` bytes for the host;
    // with `pulledUp` the command is still running its pull-up, so the bytes are enough.
    WireResult<Completion> waitFor(size_t expected, bool pulledUp);
    // Reads the receive FIFO until `bytes` is full, a read brings nothing or the reads run out;
    // how many bytes came.
    WireResult<size_t> readUpTo(std::span<uint8_t> bytes);
    // Exactly `count` bytes the chip holds.
    WireResult<std::vector<uint8_t>> receive(size_t count);
    // The `count` bytes a command without a reset returns, straight from the receive FIFO; the
    // status is asked only for what did not come. `pulledUp` as for waitFor.
    WireResult<std::vector<uint8_t>> answerOf(size_t count, bool pulledUp);
    // A block of at most one chunk to the chip, run with `flags` (a reset first).
    WireResult<void> startBlock(std::span<const uint8_t> bytes, uint16_t flags);
    // The block's bytes as read, each plausible for what was sent.
    WireResult<void> takeBlock(std::span<uint8_t> bytes, std::span<const uint8_t> read);
    // What a command that began with a reset found on the bus; after a short the chip is
    // initialised again, since commands may stay queued behind one.
    WireResult<ResetOutcome> resetFound(const Completion& done);
    // What one search command listing many codes handed over, and its result bits.
    struct Listing {
        std::vector<uint8_t> bytes;
        uint8_t outcome = 0;
    };
    // One search command from `start`, draining the receive FIFO while it runs.
    WireResult<Listing> listFrom(const RomCode& start, size_t codes);
    // The SPUA flag of a fresh status packet.
    WireResult<bool> pullupActive();
    // Before a command that starts the pull-up: the chip's duration as planned (infinite when
    // none was), the plan used up.
    WireResult<void> applyPullupDuration();
    WireError garbled(const std::string& what) const;

    std::unique_ptr<UsbTransport> usb_;
    Ds2490Options options_;
    uint64_t recoveries_ = 0;
    // The duration code planned for the next pull-up, and the one the chip holds.
    std::optional<uint8_t> plannedDuration_;
    uint8_t durationCode_ = mode::kInfiniteDuration;
    // The running pull-up ends by the chip's timer.
    bool pullupTimed_ = false;
};

}  // namespace velgrin::ds2490
