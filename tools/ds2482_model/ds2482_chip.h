#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "wire/sim/sim_bench.h"

namespace velgrin::ds2482 {

enum class Variant { Ds2482_100, Ds2482_800 };

// A DS2482 in front of simulated benches (one per channel; the -100 has only IO0): function
// commands written to it, the register under its read pointer read from it. Every 1-Wire
// command runs to its end at once on the bench; the busy bit then stays set for a number of
// status reads, or until a time given by `now` when the chip is timed. What the chip refuses
// (an unknown command or parameter, a command while busy) it does not acknowledge.
class Ds2482Chip {
  public:
    Ds2482Chip(Variant variant, std::array<std::shared_ptr<sim::SimBench>, 8> channels);

    // A write transfer; false: not acknowledged, and nothing done.
    bool write(std::span<const uint8_t> bytes);
    // One byte of a read transfer.
    uint8_t read();

    // Power-on: as after Device Reset.
    void powerUp();

    // Status reads that still find the chip busy after each 1-Wire command.
    void setBusyReads(int reads) { busyReads_ = reads; }
    // The next 1-Wire command never ends: busy until a Device Reset or a power-up.
    void hangAtNextCommand() { hangNext_ = true; }
    // Timed: busy until `now()` reaches the command's end (1-Wire time from its start).
    void setTimed(std::function<uint64_t()> now) { now_ = std::move(now); }

    Variant variant() const { return variant_; }
    uint8_t configuration() const { return config_; }
    int channel() const { return channel_; }
    bool pullupActive() const { return pullupOn_; }
    sim::SimBench* bench() const { return channels_[static_cast<size_t>(channel_)].get(); }
    // 1-Wire time of every command so far on every channel, standard speed.
    uint64_t busTimeUs() const;
    uint64_t commands() const { return commands_; }

  private:
    bool busy();
    bool oneWire(uint8_t code, std::span<const uint8_t> parameter);
    // Before a 1-Wire command: a strong pull-up ends; SPU stays set only for the slots it
    // applies to.
    void endPullup();
    void pullupAfterSlot(bool applies);
    bool slot(bool bit);

    Variant variant_;
    std::array<std::shared_ptr<sim::SimBench>, 8> channels_;
    uint8_t status_ = 0;
    uint8_t config_ = 0;
    uint8_t data_ = 0;
    uint8_t pointer_ = 0;
    int channel_ = 0;
    bool pullupOn_ = false;
    int busyReads_ = 1;
    int busyLeft_ = 0;
    bool hangNext_ = false;
    bool hung_ = false;
    std::function<uint64_t()> now_;
    uint64_t busyUntil_ = 0;
    uint64_t commands_ = 0;
};

}  // namespace velgrin::ds2482
