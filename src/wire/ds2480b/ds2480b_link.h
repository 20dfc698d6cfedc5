#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
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

    WireResult<void> open() override;
    void close() override;
    bool isOpen() const override { return port_->isOpen(); }

    WireResult<ResetOutcome> reset() override;
    WireResult<bool> touchBit(bool bit) override;
    WireResult<uint8_t> touchByte(uint8_t byte) override;
    WireResult<void> touchBlock(std::span<uint8_t> bytes) override;
    WireResult<void> armStrongPullup(PullupTrigger trigger) override;
    WireResult<void> setNormalLevel() override;

    bool hasSearchAccelerator() const override { return true; }
    WireResult<SearchPass> searchPass(const RomCode& directions, bool alarmOnly) override;

    // The serial rate in use; 9600 until the adapter has been synchronised.
    uint32_t baud() const { return baud_; }
    const LinkStats& stats() const { return stats_; }

  private:
    enum class Pullup { Off, ArmedAfterByte, ArmedAfterBit, On };

    // Whether an operation starts a bus sequence of its own (with a reset) or continues one.
    enum class Step { Starts, Continues };

    // Synchronisation (ds2480b_sync.cpp). `afterSilence`: the adapter has just missed a reply,
    // so one more silent attempt loses it.
    WireResult<void> resynchronize(bool afterSilence = false);
    WireResult<void> synchronizeAt9600();
    WireResult<void> moveToFasterRate();

    // Runs `op` on a synchronised adapter. When it loses the adapter, the adapter is
    // synchronised again and `restart` (if any, a sequence of its own from a reset) runs once;
    // without one the failure is reported as Interrupted.
    template <typename T>
    WireResult<T> guarded(Step step, const std::function<WireResult<T>()>& op,
                          const std::function<WireResult<T>()>& restart);
    void forgetAdapterState();
    WireError interrupted(const std::string& cause) const;
    WireError notOpen() const;
    // Closes the port after the adapter fell silent; `why` is what every call says until the
    // port is opened again.
    WireError lose(const WireError& why);

    WireResult<std::vector<uint8_t>> run(const Frame& frame);
    WireResult<void> endPullup();
    WireResult<uint8_t> pulledUpByte(uint8_t byte);
    WireResult<SearchPass> runSearchPass(const RomCode& directions, bool alarmOnly, bool withReset);
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
    // A re-synchronisation cut the bus sequence; cleared by the next reset.
    bool sequenceCut_ = false;
    // The adapter fell silent and the port was closed: the next synchronisation makes one
    // attempt only.
    bool lostToSilence_ = false;
    std::string lostReason_;
    Pullup pullup_ = Pullup::Off;
    LinkStats stats_;
};

}  // namespace velgrin::ds2480b
