#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "wire/ds2480b/ds2480b_codes.h"
#include "wire/ds2480b/exchange.h"
#include "wire/ds2480b/frame.h"
#include "wire/ds2480b/serial_port.h"
#include "wire/link.h"

namespace velgrin::ds2480b {

struct Ds2480bOptions {
    // The rate the link moves to once the adapter is synchronised at 9600 baud: 19200, 57600
    // or 115200 (anything else stays at 9600). An adapter that does not answer there is used at
    // 9600 until the port is opened again.
    uint32_t fasterBaud = 115200;
    // How late a reply may be before the adapter counts as silent.
    std::chrono::milliseconds replyMargin{150};
    // Synchronisation attempts before the adapter counts as missing.
    int syncAttempts = 3;
};

// A DS2480B serial line driver (DS9097U-type adapter). The link synchronises the adapter on its
// first use after opening, runs the bus at flexible speed with a programmed slew rate and slot
// timing, and moves the serial line to a faster rate when the adapter accepts it. A garbled or
// missing reply makes it synchronise again before it reports the failure. The synchronisation
// leaves the devices mid-command, so from then on only a reset goes on the bus: every other
// operation fails as Interrupted until one has succeeded. An adapter still silent when it is
// synchronised again counts as lost: the port closes and the link fails at once until it is
// opened again.
class Ds2480bLink final : public Link {
  public:
    explicit Ds2480bLink(std::unique_ptr<SerialPort> port, Ds2480bOptions options = {});

    bool isOpen() const override { return port_->isOpen(); }
    LinkCapabilities capabilities() const override {
        return {.bitAccess = true, .strongPullup = true, .alarmSearch = true};
    }
    bool hasSearchAccelerator() const override { return true; }

    // The serial rate in use; 9600 until the adapter has been synchronised.
    uint32_t baud() const { return baud_; }
    const LinkStats& stats() const { return stats_; }

  private:
    WireResult<void> openAdapter() override;
    void closeAdapter() override;
    WireResult<void> ready() override;
    // Synchronises the adapter on its first use after opening or after it was lost.
    WireResult<void> prepare() override;
    WireResult<ResetOutcome> resetBus() override;
    WireResult<bool> sendBit(bool bit, bool pullupAfter) override;
    WireResult<uint8_t> sendByte(uint8_t byte, bool pullupAfter) override;
    WireResult<void> sendBlock(std::span<uint8_t> bytes) override;
    WireResult<void> endPullup() override;
    // ds2480b_search.cpp
    WireResult<SearchPass> acceleratedPass(const RomCode& directions, bool alarmOnly) override;
    // A garbled or missing reply synchronises the adapter again; a reset or a search pass then
    // runs once more.
    WireResult<AfterRecovery> recover(const WireError& failure) override;
    void forgetAdapterState() override;
    std::string sequenceCutter() const override;

    // Synchronisation (ds2480b_sync.cpp). `afterSilence`: the adapter has just missed a reply,
    // so one more silent attempt loses it.
    WireResult<void> resynchronize(bool afterSilence = false);
    WireResult<void> synchronizeAt9600();
    WireResult<void> moveToFasterRate();

    WireError notOpen() const;
    // Closes the port after the adapter fell silent; `why` is what every call says until the
    // port is opened again.
    WireError lose(const WireError& why);

    WireResult<std::vector<uint8_t>> run(const Frame& frame);
    WireResult<uint8_t> pulledUpByte(uint8_t byte);
    WireError garbled(const std::string& what, uint8_t reply) const;
    // A slot written as 0 reads 0 whatever the devices do; a 1 there is line noise.
    static bool PlausibleEcho(uint8_t sent, uint8_t read) {
        return (read & static_cast<uint8_t>(~sent)) == 0;
    }

    std::unique_ptr<SerialPort> port_;
    Ds2480bOptions options_;
    Mode mode_ = Mode::Command;
    uint32_t baud_ = kPowerUpBaud;
    bool synced_ = false;
    bool freshlyOpened_ = false;
    bool fasterRateRefused_ = false;
    // The adapter fell silent and the port was closed: the next synchronisation gives up at
    // its first silent attempt.
    bool lostToSilence_ = false;
    std::string lostReason_;
    LinkStats stats_;
};

}  // namespace velgrin::ds2480b
