#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "wire/ds2490/usb_transport.h"

namespace velgrin::ds2490::testing {

// A status packet: device flags, bytes waiting in the receive FIFO, result bytes.
std::vector<uint8_t> Status(uint8_t flags, uint8_t dataIn, std::vector<uint8_t> results = {});

// A DS2490 as a script: it logs every request in the chip model's transcript form ("C1 0C4B
// 0000", "W ..", "R ..", "S") and answers status reads from a queue, after which it reports an
// idle chip holding whatever receive bytes are queued. A bulk read returns what is queued, so
// an empty queue reads as nothing there.
class ScriptedUsb final : public UsbTransport {
  public:
    WireResult<void> open() override;
    void close() override;
    bool isOpen() const override { return open_; }
    std::string name() const override { return "the scripted DS2490"; }

    WireResult<void> control(Request request, uint16_t value, uint16_t index) override;
    WireResult<void> bulkWrite(std::span<const uint8_t> bytes) override;
    WireResult<size_t> bulkRead(std::span<uint8_t> bytes) override;
    WireResult<size_t> readStatus(std::span<uint8_t, status::kPacketSize> packet) override;
    WireResult<void> clearHalt(uint8_t endpoint) override;

    std::vector<std::string> log;
    std::deque<std::vector<uint8_t>> statuses;
    std::deque<uint8_t> receive;
    // The next bulk reads return at most this many bytes each (a chip still filling its FIFO);
    // without, a read takes whatever is queued.
    std::deque<size_t> pieces;
    // The next request of any kind fails with this.
    std::optional<WireError> failNext;
    // Every control request fails with this from now on (a chip that no longer answers).
    std::optional<WireError> failControls;

  private:
    std::optional<WireError> takeFailure();
    bool open_ = false;
};

}  // namespace velgrin::ds2490::testing
