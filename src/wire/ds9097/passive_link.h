#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "wire/ds2480b/exchange.h"
#include "wire/ds2480b/serial_port.h"
#include "wire/link.h"

namespace velgrin::ds9097 {

// The two kinds of UART byte: a reset pulse at 9600 baud with 8 data bits, a time slot at 115200
// with 6 (a write-0 then holds the line low 61 us, and a slot lasts 69 us instead of 87). A
// driver that makes no 6-bit characters is asked for 7 (FTDI's make them: 78 us slots); one
// that takes only 8 gets slots of 87 us.
inline constexpr uint32_t kResetBaud = 9600;
inline constexpr uint32_t kSlotBaud = 115200;
inline constexpr int kResetDataBits = 8;
inline constexpr int kSlotDataBits = 6;
// The UART bytes of a reset and of the two kinds of slot.
inline constexpr uint8_t kResetByte = 0xF0;
inline constexpr uint8_t kWriteOne = 0xFF;  // also the read slot
inline constexpr uint8_t kWriteZero = 0x00;
// A longer block goes over the line in pieces of this many 1-Wire bytes, so that neither queue
// of the serial driver has to hold more than a few hundred UART bytes.
inline constexpr size_t kMaxBlockBytes = 32;

struct PassiveOptions {
    // How late an echo may be beyond its serial time before the adapter counts as silent.
    std::chrono::milliseconds replyMargin{150};
};

// A passive serial adapter (DS9097E type, or a USB-UART converter with a diode): no 1-Wire chip,
// the host makes every slot out of a UART byte and reads the bus in its echo. A reset is the byte
// F0 at 9600 baud, a slot one character at 115200; a block is one write and one read of 8
// characters per 1-Wire byte, a search step one round trip. The adapter has no strong pull-up.
class PassiveSerialLink final : public Link {
  public:
    explicit PassiveSerialLink(std::unique_ptr<ds2480b::SerialPort> port,
                               PassiveOptions options = {});

    bool isOpen() const override { return port_->isOpen(); }
    LinkCapabilities capabilities() const override;
    bool hasSearchAccelerator() const override { return true; }

    const ds2480b::LinkStats& stats() const { return stats_; }

  private:
    WireResult<void> openAdapter() override;
    void closeAdapter() override;
    WireResult<void> ready() override;
    WireResult<ResetOutcome> resetBus() override;
    WireResult<bool> sendBit(bool bit, bool pullupAfter) override;
    WireResult<uint8_t> sendByte(uint8_t byte, bool pullupAfter) override;
    WireResult<void> sendBlock(std::span<uint8_t> bytes) override;
    // One round trip per search step: the step's two read slots with the previous step's
    // direction slot.
    WireResult<SearchPass> acceleratedPass(const RomCode& directions, bool alarmOnly) override;

    WireResult<void> useFormat(uint32_t baud, int dataBits);
    // Writes the UART bytes in one go and reads their echoes back into them.
    WireResult<void> exchange(std::span<uint8_t> bytes);
    // The slots of `bytes` (least significant bit first) exchanged in one round trip.
    WireResult<void> slots(std::span<uint8_t> bytes);
    WireError garbled(const std::string& what, uint8_t echo) const;

    std::unique_ptr<ds2480b::SerialPort> port_;
    PassiveOptions options_;
    uint32_t baud_ = kResetBaud;
    int dataBits_ = kResetDataBits;  // as asked of the port
    // The data bits of an echo at the current format, as the port took it.
    uint8_t echoMask_ = 0xFF;
    // An exchange came back short: late echoes may still arrive and are dropped first.
    bool stale_ = false;
    ds2480b::LinkStats stats_;
};

// The bit a slot's echo (its data bits in `mask`) reads: 1 when nobody pulled the line low.
// Empty for an echo no bus can give: a written 0 that came back with a 1, or low bits after a
// high one (the line rises once).
std::optional<bool> SlotEcho(uint8_t sent, uint8_t echo, uint8_t mask);

}  // namespace velgrin::ds9097
