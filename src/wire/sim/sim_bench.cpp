#include "wire/sim/sim_bench.h"

#include <algorithm>

namespace velgrin::sim {

SimBench::SimBench(const Clock& clock) : clock_(clock), startUs_(clock.nowUs()), bus_(clock) {
    bus_.setDepartureSink([this](std::unique_ptr<SimDevice> device) {
        const RomCode rom = device->rom();
        parked_[rom] = std::move(device);
    });
}

uint64_t SimBench::elapsedMs() const {
    return (clock_.nowUs() - startUs_) / 1000;
}

void SimBench::schedule(uint64_t atMs, std::string description,
                        std::function<void(SimBench&)> apply) {
    Scheduled event{atMs, std::move(description), std::move(apply)};
    auto pos = std::upper_bound(timeline_.begin(), timeline_.end(), atMs,
                                [](uint64_t t, const Scheduled& e) { return t < e.atMs; });
    timeline_.insert(pos, std::move(event));
}

void SimBench::catchUp() {
    const uint64_t now = elapsedMs();
    while (!timeline_.empty() && timeline_.front().atMs <= now) {
        auto event = std::move(timeline_.front());
        timeline_.erase(timeline_.begin());
        event.apply(*this);
    }
}

bool SimBench::park(const RomCode& rom) {
    auto device = bus_.detach(rom);
    if (!device) {
        return false;
    }
    parked_[rom] = std::move(device);
    return true;
}

bool SimBench::unpark(const RomCode& rom) {
    auto it = parked_.find(rom);
    if (it == parked_.end()) {
        return false;
    }
    bus_.attach(std::move(it->second));
    parked_.erase(it);
    return true;
}

SimDevice* SimBench::parked(const RomCode& rom) const {
    auto it = parked_.find(rom);
    return it == parked_.end() ? nullptr : it->second.get();
}

SimDevice* SimBench::find(const RomCode& rom) const {
    if (auto* device = bus_.find(rom)) {
        return device;
    }
    return parked(rom);
}

std::optional<uint64_t> SimBench::nextEventMs() const {
    if (timeline_.empty()) {
        return std::nullopt;
    }
    return timeline_.front().atMs;
}

std::vector<std::string> SimBench::pendingEvents() const {
    std::vector<std::string> descriptions;
    for (const auto& e : timeline_) {
        descriptions.push_back(e.description);
    }
    return descriptions;
}

}  // namespace velgrin::sim
