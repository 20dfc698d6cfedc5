#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "wire/ds2480b/ds2480b_codes.h"
#include "wire/sim/sim_bench.h"

namespace velgrin::ds2480b {

// What the chip made of one byte from the host.
struct ChipStep {
    std::vector<uint8_t> replies;  // in the order the chip sends them
    uint64_t busUs = 0;            // 1-Wire time the byte took
};

// A DS2480B in front of a simulated bench: bytes from the host in, reply bytes out, the bus
// driven slot by slot. It knows nothing of serial ports or time on the serial line.
class Ds2480bChip {
  public:
    explicit Ds2480bChip(sim::SimBench& bench);

    // A break or a power-up: command mode, 9600 baud, power-up parameters, and the next byte
    // only calibrates the baud generator.
    void masterReset();
    // Without power the chip takes no byte and sends none; power returns as a power-up.
    void setPowered(bool on);
    bool powered() const { return powered_; }
    // The line to the host carries at most this rate: above it every byte is lost both ways.
    void setLineLimit(uint32_t baud) { lineLimit_ = baud; }

    uint32_t baud() const { return BaudOfCode(parameter(Parameter::BaudRate)); }
    uint8_t parameter(Parameter p) const { return parameters_[static_cast<size_t>(p)]; }
    bool dataMode() const { return dataMode_; }

    ChipStep receive(uint8_t byte);

    // When a pulse of finite length ends by itself (bench clock).
    std::optional<uint64_t> pulseEndsAtUs() const;
    // Ends a pulse whose time has come; returns what the chip sends then.
    std::vector<uint8_t> tick();

  private:
    struct Pulse {
        std::optional<uint64_t> endsAtUs;  // none: until the host ends it
        std::optional<uint8_t> reply;      // none: the pull-up after a data byte ends silently
        bool pullup = true;                // 5 V strong pull-up (12 V needs a supply we lack)
    };

    bool reachable();
    void command(uint8_t byte, std::vector<uint8_t>& out);
    void configuration(uint8_t byte, std::vector<uint8_t>& out);
    void pulseFunction(uint8_t byte);
    void data(uint8_t byte, std::vector<uint8_t>& out);
    uint8_t searchByte(uint8_t directions);
    void startPulse(Pulse pulse);
    // Ends a running pulse without a reply (break, loss of power).
    void dropPulse();
    void endPulse(std::vector<uint8_t>& out);
    uint64_t durationUs(bool programmingPulse) const;

    sim::SimBench& bench_;
    std::array<uint8_t, kParameterCount> parameters_{};
    bool powered_ = true;
    bool benchUnplugged_ = false;
    uint32_t lineLimit_ = 115200;
    bool awaitingTimingByte_ = true;
    bool dataMode_ = false;
    bool escapePending_ = false;
    bool accelerator_ = false;
    int searchBit_ = 0;
    bool searchFailed_ = false;
    bool pullupAfterEveryByte_ = false;
    std::optional<Pulse> pulse_;
};

}  // namespace velgrin::ds2480b
