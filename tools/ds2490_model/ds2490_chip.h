#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "wire/ds2490/ds2490_codes.h"
#include "wire/sim/sim_bench.h"

namespace velgrin::ds2490 {

// A DS2490 in front of a simulated bench: vendor requests, the two bulk FIFOs and the status
// packet, with the bus driven slot by slot. It knows nothing of USB transfers or real time;
// every command runs to its end at once (a strong pull-up then holds until it is ended), except
// a search whose codes fill the receive FIFO: it waits until the host takes some.
class Ds2490Chip {
  public:
    explicit Ds2490Chip(sim::SimBench& bench);

    // A vendor request on EP0. False: the chip stalls it (an undefined or unsupported request).
    bool control(uint8_t request, uint16_t value, uint16_t index);
    // Bytes for the bus (EP2). False when they overflow the FIFO (they are dropped).
    bool bulkOut(std::span<const uint8_t> bytes);
    // Bytes from the bus (EP3), at most `most`: fewer when it holds fewer, none (a zero-length
    // packet) when it is empty, where the chip lets the host's read time out. The driver takes
    // both as nothing there.
    std::vector<uint8_t> bulkIn(size_t most);
    // The status packet (EP1), with the result bytes posted since the last one.
    std::vector<uint8_t> statusPacket();

    // A power-up: modes to their power-up values, FIFOs empty, the pull-up off.
    void powerUp();

    bool pullupActive() const { return pullupOn_; }
    // 1-Wire time of every command so far (regular speed), for the benchmark's accounting.
    uint64_t busTimeUs() const { return bench_.bus().busTimeUs(); }
    uint64_t commands() const { return commands_; }

  private:
    bool controlCommand(uint16_t value);
    bool modeCommand(uint16_t value, uint16_t index);
    bool communication(uint16_t value, uint16_t index);
    void busReset(uint16_t value);
    void silentReset(uint16_t value);
    uint8_t touchByte(uint8_t byte);
    // A search access command: passes for up to as many codes as its wIndex's high byte asks.
    bool search(uint16_t value, uint16_t index);
    // Runs the search's passes while the receive FIFO has room for what they find.
    void runSearch();
    void searchPass();
    // A bus reset's result bits (none, NRS, SH), announcing a device that joined.
    uint8_t resetLine();
    bool busy() const { return searching_.has_value() || !held_.empty(); }
    void startPullup();
    void endPullup();
    void expirePullup();
    std::optional<std::array<uint8_t, 8>> takeRom();

    sim::SimBench& bench_;
    uint8_t pulseEnable_ = 0;
    uint8_t speed_ = 0;
    uint8_t pullupDuration_ = 0;
    bool speedChangeEnable_ = false;
    bool halted_ = false;
    bool pullupOn_ = false;
    std::optional<uint64_t> pullupEndsAtUs_;
    size_t devicesSeen_ = 0;
    struct Searching {
        uint8_t command;
        std::array<uint8_t, 8> directions;  // the bit taken where devices disagree
        bool resetFirst;
        bool returnMap;
        size_t left;  // codes still asked for
    };
    std::optional<Searching> searching_;
    // Bytes a search found that wait for room in the receive FIFO.
    std::deque<uint8_t> held_;
    std::deque<uint8_t> toBus_;
    std::deque<uint8_t> fromBus_;
    std::vector<uint8_t> results_;
    uint64_t commands_ = 0;
};

}  // namespace velgrin::ds2490
