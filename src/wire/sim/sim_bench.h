#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "wire/sim/sim_bus.h"

namespace velgrin::sim {

// A simulated bench: the adapter, the bus with its devices, and a timeline of events on the
// clock (devices attached and detached, values changed, faults switched on and off).
class SimBench {
  public:
    explicit SimBench(const Clock& clock);
    // Devices that leave the bus by themselves are parked here, which ties the bus to `this`.
    SimBench(const SimBench&) = delete;
    SimBench& operator=(const SimBench&) = delete;

    SimBus& bus() { return bus_; }
    const Clock& clock() const { return clock_; }
    // Milliseconds since the bench was made; timeline times count from there.
    uint64_t elapsedMs() const;

    // Runs `apply` once the bench time reaches `atMs`.
    void schedule(uint64_t atMs, std::string description, std::function<void(SimBench&)> apply);
    // Applies every event that is due. Every adapter operation calls it first.
    void catchUp();

    // Takes a device off the bus but keeps it (and its memory) for a later reattach.
    bool park(const RomCode& rom);
    bool unpark(const RomCode& rom);
    SimDevice* parked(const RomCode& rom) const;
    const std::map<RomCode, std::unique_ptr<SimDevice>>& parkedDevices() const { return parked_; }
    // The device with that ROM code, on the bus or parked; null when the bench has none.
    SimDevice* find(const RomCode& rom) const;

    // Descriptions of the events still to come, in order.
    std::vector<std::string> pendingEvents() const;
    // When the next timeline event is due, in milliseconds since the bench was made.
    std::optional<uint64_t> nextEventMs() const;

    // Adapter faults.
    bool unplugged = false;       // the adapter is gone: every operation fails
    bool sessionRefused = false;  // the driver grants no session (start gives 0)
    // The link holding the adapter; like a real port, the bench serves one program at a time.
    const void* heldBy = nullptr;

    std::string name;

  private:
    struct Scheduled {
        uint64_t atMs;
        std::string description;
        std::function<void(SimBench&)> apply;
    };

    const Clock& clock_;
    uint64_t startUs_;
    SimBus bus_;
    std::vector<Scheduled> timeline_;  // sorted by time
    std::map<RomCode, std::unique_ptr<SimDevice>> parked_;
};

}  // namespace velgrin::sim
