#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/clock.h"
#include "wire/link.h"
#include "wire/sim/sim_device.h"

namespace velgrin::sim {

// What happened on the wire, in order: what a logic analyser on the bus would show.
struct BusEvent {
    enum class Kind { Reset, Slot, PullupOn, PullupOff };
    Kind kind;
    bool masterBit = true;  // Slot: the bit the master wrote (1 for a read slot)
    bool line = true;       // Slot: the level the slot ended at; Reset: true when a device answered
    uint64_t atUs = 0;
};

// Standard-speed bus time of one reset and one time slot, for the bus-time accounting.
inline constexpr uint64_t kResetUs = 960;
inline constexpr uint64_t kSlotUs = 65;

// A wired-AND 1-Wire bus with the devices attached to it.
class SimBus {
  public:
    explicit SimBus(const Clock& clock) : clock_(clock) {}

    SimDevice& attach(std::unique_ptr<SimDevice> device);
    // Detaches and returns the device with that ROM code; null when none is attached.
    std::unique_ptr<SimDevice> detach(const RomCode& rom);
    SimDevice* find(const RomCode& rom) const;
    const std::vector<std::unique_ptr<SimDevice>>& devices() const { return devices_; }

    // Fault: the device leaves the bus after `slots` more time slots (0: at once), so that it
    // vanishes exactly between two steps of a sequence. False when it is not attached.
    bool leaveAfterSlots(const RomCode& rom, uint64_t slots);
    // Receives the devices that leave by themselves; without one they are dropped.
    void setDepartureSink(std::function<void(std::unique_ptr<SimDevice>)> sink) {
        departureSink_ = std::move(sink);
    }

    // A shorted bus answers every reset with a short and every slot with 0.
    void setShorted(bool shorted) { shorted_ = shorted; }
    bool shorted() const { return shorted_; }

    ResetOutcome reset();
    bool slot(bool masterBit);
    void setStrongPullup(bool on);
    // A pull-up timer that ran out at `atUs`, before anyone looked.
    void endStrongPullupAt(uint64_t atUs);
    bool strongPullup() const { return strongPullup_; }

    // The event log; off unless asked for, so that long runs do not grow it.
    void setRecording(bool on) { recording_ = on; }
    const std::vector<BusEvent>& events() const { return events_; }
    void clearEvents() { events_.clear(); }

    // Bus time consumed so far at standard speed.
    uint64_t resets() const { return resets_; }
    uint64_t slots() const { return slots_; }
    uint64_t busTimeUs() const { return resets_ * kResetUs + slots_ * kSlotUs; }

    const Clock& clock() const { return clock_; }

  private:
    struct Departure {
        RomCode rom;
        uint64_t slotsLeft;
    };

    void record(BusEvent event);
    void record(BusEvent event, uint64_t atUs);
    void switchPullup(bool on, uint64_t atUs);
    void depart(const RomCode& rom);
    void countDepartures();

    const Clock& clock_;
    std::vector<std::unique_ptr<SimDevice>> devices_;
    std::vector<BusEvent> events_;
    std::vector<Departure> departures_;
    std::function<void(std::unique_ptr<SimDevice>)> departureSink_;
    bool recording_ = false;
    bool shorted_ = false;
    bool strongPullup_ = false;
    uint64_t resets_ = 0;
    uint64_t slots_ = 0;
};

// The log rendered for people and tests: "R" for a reset with presence ("R-" without, "R!" for a
// short), "P+"/"P-" for the pull-up, and slots grouped into bytes where eight follow each other
// ("W44" a written byte, "RD5A" a byte read with 0xFF, "b1"/"b0" for a lone bit).
std::string DescribeEvents(const std::vector<BusEvent>& events);

}  // namespace velgrin::sim
