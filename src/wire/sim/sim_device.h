#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <string>

#include "wire/rom_code.h"

namespace velgrin::sim {

// One simulated 1-Wire slave, driven slot by slot by the bus. This base class implements the ROM
// layer (Read, Match, Skip, Search, Alarm Search, Resume) bit by bit; models implement their
// function commands byte by byte through onFunctionByte and the send helpers.
class SimDevice {
  public:
    explicit SimDevice(RomCode rom) : rom_(rom) {}
    virtual ~SimDevice() = default;

    const RomCode& rom() const { return rom_; }
    // A device declared faulty may carry a ROM code whose CRC is wrong.
    void setRom(const RomCode& rom) { rom_ = rom; }
    virtual std::string model() const = 0;

    // Bus side. Reset pulse: true when the device answers with a presence pulse.
    bool busReset(uint64_t nowUs);
    // First half of a time slot: the level the device leaves the line at (false = holds it low).
    bool busDrive(bool masterBit, uint64_t nowUs);
    // Second half: the device sees the resulting line level.
    void busSettle(bool line, uint64_t nowUs);
    // The master switched the strong pull-up on or off.
    virtual void onStrongPullup(bool on, uint64_t nowUs) {
        (void)on;
        (void)nowUs;
    }

    // Alarm Search takes part only while this is true.
    virtual bool alarmFlag(uint64_t nowUs) const {
        (void)nowUs;
        return false;
    }

    // Fault: every bit the device sends is inverted when this returns true for it. The hook can
    // ask outgoing() which bit that is.
    std::function<bool()> corruptBit;

    // The bit the device is about to send: ROM-layer bits (Read ROM, Search) or data bytes of a
    // function command, counted from the selection.
    struct Outgoing {
        bool data = false;  // a byte of function data rather than a ROM-layer bit
        int byteIndex = 0;  // data bytes sent since the device was selected
        int bit = 0;        // bit of that byte, 0 = least significant
    };
    Outgoing outgoing() const {
        return {state_ == State::Function && !out_.empty(), sentBytes_, outBit_};
    }

  protected:
    // Called once the ROM layer has selected the device, before its first function byte.
    virtual void onSelected(uint64_t nowUs) { (void)nowUs; }
    // A byte the master wrote while the device had nothing to send.
    virtual void onFunctionByte(uint8_t byte, uint64_t nowUs) = 0;
    // The device was reset while selected or in the middle of a command.
    virtual void onReset(uint64_t nowUs) { (void)nowUs; }
    // The last queued byte has gone out; a model that streams memory queues the next part here.
    virtual void onSendDrained(uint64_t nowUs) { (void)nowUs; }

    // Time slots the device has seen since it was made; tells a model whether the master touched
    // the bus between two moments.
    uint64_t slotCount() const { return slotCount_; }

    // Queues bytes for the following read slots.
    void send(std::span<const uint8_t> bytes);
    void send(uint8_t byte);
    // While nothing is queued, read slots answer this (busy polling); cleared by a reset.
    void setReadSlotSource(std::function<bool(uint64_t nowUs)> source) {
        readSlotSource_ = std::move(source);
    }
    // Ignore everything until the next reset.
    void goIdle() { state_ = State::Idle; }

  private:
    enum class State { Idle, RomCommand, ReadRom, MatchRom, Search, Function };

    bool currentOutBit() const;
    void receiveBit(bool bit, uint64_t nowUs);
    void romCommand(uint8_t command, uint64_t nowUs);
    void select(uint64_t nowUs);

    RomCode rom_;
    State state_ = State::Idle;
    bool resumeFlag_ = false;
    bool alarmSearch_ = false;

    // Bit assembly of incoming bytes.
    uint8_t inByte_ = 0;
    int inBits_ = 0;
    // Outgoing bits.
    std::deque<uint8_t> out_;
    int outBit_ = 0;
    std::function<bool(uint64_t)> readSlotSource_;
    bool lastDriven_ = true;
    // ROM layer progress: bit index and, in a search, the phase of the triplet (0, 1, 2).
    int romBit_ = 0;
    int searchPhase_ = 0;
    uint64_t lastNowUs_ = 0;
    int sentBytes_ = 0;
    uint64_t slotCount_ = 0;
};

// A device that has a ROM code and nothing else (iButtons of families the program does not list,
// the DS1420 serial-number chip of an adapter).
class PlainRomDevice final : public SimDevice {
  public:
    explicit PlainRomDevice(RomCode rom, std::string model = "rom")
        : SimDevice(rom), model_(std::move(model)) {}
    std::string model() const override { return model_; }

  protected:
    void onFunctionByte(uint8_t, uint64_t) override { goIdle(); }

  private:
    std::string model_;
};

}  // namespace velgrin::sim
