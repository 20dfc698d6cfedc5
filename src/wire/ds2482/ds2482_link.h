#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "common/clock.h"
#include "wire/ds2482/i2c_transport.h"
#include "wire/link.h"

namespace velgrin::ds2482 {

struct Ds2482Options {
    // The DS2482-800's channel to use; none leaves the chip on IO0 (the only one of a -100).
    std::optional<int> channel;
    // How long a 1-Wire command may keep the chip busy before it counts as stuck, on the
    // clock given, and at most how many status reads that wait may take (what ends it when
    // the clock stands still). A reset, the longest command, takes about 1.25 ms; a status
    // read at 400 kHz takes 50 µs.
    uint64_t busyTimeoutUs = 20'000;
    int maxStatusReads = 1000;
};

// A DS2482-100 or -800 I2C bridge. Every 1-Wire operation is one function command, mostly
// joined to a status read by a repeated START, then more status reads until the busy bit clears;
// read bytes come from the data register through a joined pointer write and read. The active
// pull-up is always on; the strong pull-up is set in the configuration just before the byte or bit
// that needs it and ends by itself at the next 1-Wire command, or by a configuration write.
// Configuration and channel writes are read back. After a failed operation the chip is reset and
// set up again, which leaves the devices mid-command: from then on only a reset goes on the bus,
// every other operation fails as Interrupted until one has succeeded. When the chip reset fails
// too the chip has stopped answering and the link closes, as for an unplugged adapter.
class Ds2482Link final : public Link {
  public:
    Ds2482Link(std::unique_ptr<I2cTransport> i2c, const Clock& clock, Ds2482Options options = {});

    bool isOpen() const override { return i2c_->isOpen(); }
    LinkCapabilities capabilities() const override {
        return {.bitAccess = true, .strongPullup = true, .alarmSearch = true};
    }
    bool hasSearchAccelerator() const override { return true; }

    const I2cStats& stats() const { return i2c_->stats(); }
    // Times the chip was reset to recover from a failed operation.
    uint64_t recoveries() const { return recoveries_; }

  private:
    WireResult<void> openAdapter() override;
    void closeAdapter() override;
    WireResult<void> ready() override;
    WireResult<ResetOutcome> resetBus() override;
    WireResult<bool> sendBit(bool bit, bool pullupAfter) override;
    // 0xFF is a read byte; any other a write byte, which returns the byte sent (the chip does
    // not sample the line while it writes).
    WireResult<uint8_t> sendByte(uint8_t byte, bool pullupAfter) override;
    // A configuration write.
    WireResult<void> endPullup() override;
    bool pullupEndsWithNextCommand() const override { return true; }
    // 64 triplet commands after the search command byte.
    WireResult<SearchPass> acceleratedPass(const RomCode& directions, bool alarmOnly) override;
    // A chip reset; a chip that does not take it closes the link.
    WireResult<AfterRecovery> recover(const WireError& failure) override;
    std::string sequenceCutter() const override { return "a reset of " + i2c_->name(); }

    // Device reset, the status it must leave, configuration, channel.
    WireResult<void> initialise();

    WireResult<void> writeConfig(uint8_t bits);
    WireResult<void> selectChannel(int channel);
    // One register through the read pointer.
    WireResult<uint8_t> readRegister(uint8_t which);
    // A 1-Wire command: sent, then the status once the chip is idle again, read within the
    // bounds of the options. Joined, the first status read shares the command's transfer,
    // which saves a transaction whenever that read finds the chip still busy.
    WireResult<uint8_t> run(std::span<const uint8_t> command, bool joined = true);
    // Before a byte or bit: the strong pull-up for after it, set in the configuration.
    WireResult<void> startCommand(bool withPullup);
    WireError garbled(const std::string& what) const;

    // The most status bytes read in one transfer.
    static constexpr size_t kLongestStatusBurst = 32;

    std::unique_ptr<I2cTransport> i2c_;
    const Clock& clock_;
    Ds2482Options options_;
    uint64_t recoveries_ = 0;
    int statusReads_ = 0;  // of the last command run
    // Per command code: the status reads after the first that the last such command took.
    std::array<int, 256> pollsAfterFirst_{};
    // A triplet, the shortest command, may be over by the time a separate status read starts
    // on a slow bus (100 kHz); joined, that read would come too early and cost a second one.
    // Triplets join their read while that saves a transaction.
    bool joinTriplets_ = false;
};

}  // namespace velgrin::ds2482
