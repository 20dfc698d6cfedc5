#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "wire/ds2490/usb_transport.h"
#include "wire/link.h"

namespace velgrin::ds2490 {

struct Ds2490Options {
    // Status packets read while waiting for one command before the adapter counts as stuck.
    // The adapter answers one every millisecond at the alternate setting used, and the longest
    // command (a 64-byte block at regular speed) takes about 35 ms.
    int maxStatusReads = 1000;
};

// A DS2490 USB bridge (DS9490R-type adapter). Every operation is one communication command
// run at once, followed by status reads until the chip is idle and its receive FIFO holds
// what the command returns. The bus runs at regular speed. The strong pull-up is enabled with
// an infinite duration and ended by halting and resuming the chip, which the status then must
// confirm. After a failed command the chip is reset and its modes applied again; that leaves the
// devices mid-command, so from then on only a reset goes on the bus (every other operation fails
// as Interrupted until one has succeeded). A chip that does not take that reset counts as lost:
// the link closes and fails at once until it is opened again.
class Ds2490Link final : public Link {
  public:
    explicit Ds2490Link(std::unique_ptr<UsbTransport> usb, Ds2490Options options = {});

    WireResult<void> open() override;
    void close() override;
    bool isOpen() const override { return usb_->isOpen(); }

    WireResult<ResetOutcome> reset() override;
    WireResult<bool> touchBit(bool bit) override;
    WireResult<uint8_t> touchByte(uint8_t byte) override;
    WireResult<void> touchBlock(std::span<uint8_t> bytes) override;
    WireResult<void> armStrongPullup(PullupTrigger trigger) override;
    WireResult<void> setNormalLevel() override;

    bool hasSearchAccelerator() const override { return true; }
    WireResult<SearchPass> searchPass(const RomCode& directions, bool alarmOnly) override;

    const UsbStats& stats() const { return usb_->stats(); }
    // Times the chip was reset to recover from a failed command.
    uint64_t recoveries() const { return recoveries_; }

  private:
    enum class Pullup { Off, ArmedAfterByte, ArmedAfterBit, On };

    // What the status reads of one command showed.
    struct Completion {
        std::vector<uint8_t> results;  // result bytes, new-device notices left out
        size_t dataIn = 0;             // bytes waiting in the receive FIFO at the end
    };

    // Chip reset and modes: regular speed, strong pull-up enabled with infinite duration.
    WireResult<void> initialise();
    // Whether an operation starts a bus sequence of its own (a reset) or continues one.
    enum class Step { Starts, Continues };

    // Runs `op`; a failure other than an unplugged adapter resets the chip and is reported as
    // Interrupted, an unplugged adapter or a chip that does not take the reset closes the link.
    template <typename T>
    WireResult<T> guarded(const std::function<WireResult<T>()>& op, Step step = Step::Continues);
    WireError interrupted(const std::string& cause) const;
    WireResult<void> ready() const;

    WireResult<void> communicate(uint16_t value, uint16_t index);
    // Reads status packets until the chip is idle and holds `expected` bytes for the host;
    // with `pulledUp` the command is still running its pull-up, so the bytes are enough.
    WireResult<Completion> waitFor(size_t expected, bool pulledUp);
    WireResult<std::vector<uint8_t>> receive(size_t count);
    WireResult<uint8_t> byteIo(uint8_t byte, bool pullup);
    WireResult<void> blockIo(std::span<uint8_t> bytes);
    WireResult<void> endPullup();
    // The SPUA flag of a fresh status packet.
    WireResult<bool> pullupActive();
    WireError garbled(const std::string& what) const;

    std::unique_ptr<UsbTransport> usb_;
    Ds2490Options options_;
    Pullup pullup_ = Pullup::Off;
    uint64_t recoveries_ = 0;
    // A chip reset cut the bus sequence; cleared by the next bus reset.
    bool sequenceCut_ = false;
};

}  // namespace velgrin::ds2490
