#include "wire/sim/sim_bus.h"

#include <algorithm>
#include <cstdio>

namespace velgrin::sim {

SimDevice& SimBus::attach(std::unique_ptr<SimDevice> device) {
    devices_.push_back(std::move(device));
    return *devices_.back();
}

std::unique_ptr<SimDevice> SimBus::detach(const RomCode& rom) {
    auto it = std::find_if(devices_.begin(), devices_.end(),
                           [&](const auto& d) { return d->rom() == rom; });
    if (it == devices_.end()) {
        return nullptr;
    }
    auto device = std::move(*it);
    devices_.erase(it);
    std::erase_if(departures_, [&](const Departure& d) { return d.rom == rom; });
    return device;
}

bool SimBus::leaveAfterSlots(const RomCode& rom, uint64_t slots) {
    if (find(rom) == nullptr) {
        return false;
    }
    std::erase_if(departures_, [&](const Departure& d) { return d.rom == rom; });
    if (slots == 0) {
        depart(rom);
    } else {
        departures_.push_back({rom, slots});
    }
    return true;
}

void SimBus::depart(const RomCode& rom) {
    auto device = detach(rom);
    if (device && departureSink_) {
        departureSink_(std::move(device));
    }
}

void SimBus::countDepartures() {
    std::vector<RomCode> leaving;
    for (auto& d : departures_) {
        if (--d.slotsLeft == 0) {
            leaving.push_back(d.rom);
        }
    }
    std::erase_if(departures_, [](const Departure& d) { return d.slotsLeft == 0; });
    for (const auto& rom : leaving) {
        depart(rom);
    }
}

SimDevice* SimBus::find(const RomCode& rom) const {
    for (const auto& d : devices_) {
        if (d->rom() == rom) {
            return d.get();
        }
    }
    return nullptr;
}

void SimBus::record(BusEvent event) {
    record(event, clock_.nowUs());
}

void SimBus::record(BusEvent event, uint64_t atUs) {
    if (recording_) {
        event.atUs = atUs;
        events_.push_back(event);
    }
}

ResetOutcome SimBus::reset() {
    setStrongPullup(false);
    ++resets_;
    if (shorted_) {
        record({BusEvent::Kind::Reset, false, false});
        return ResetOutcome::Short;
    }
    bool presence = false;
    const uint64_t now = clock_.nowUs();
    for (const auto& d : devices_) {
        presence = d->busReset(now) || presence;
    }
    record({BusEvent::Kind::Reset, true, presence});
    return presence ? ResetOutcome::Presence : ResetOutcome::NoPresence;
}

bool SimBus::slot(bool masterBit) {
    setStrongPullup(false);
    ++slots_;
    bool line = masterBit && !shorted_;
    const uint64_t now = clock_.nowUs();
    for (const auto& d : devices_) {
        line = d->busDrive(masterBit, now) && line;
    }
    for (const auto& d : devices_) {
        d->busSettle(line, now);
    }
    record({BusEvent::Kind::Slot, masterBit, line});
    if (!departures_.empty()) {
        countDepartures();
    }
    return line;
}

void SimBus::setStrongPullup(bool on) {
    switchPullup(on, clock_.nowUs());
}

void SimBus::endStrongPullupAt(uint64_t atUs) {
    switchPullup(false, atUs);
}

void SimBus::switchPullup(bool on, uint64_t atUs) {
    if (on == strongPullup_) {
        return;
    }
    strongPullup_ = on;
    record({on ? BusEvent::Kind::PullupOn : BusEvent::Kind::PullupOff}, atUs);
    for (const auto& d : devices_) {
        d->onStrongPullup(on, atUs);
    }
}

std::string DescribeEvents(const std::vector<BusEvent>& events) {
    std::string out;
    auto add = [&](const std::string& word) {
        if (!out.empty()) {
            out += ' ';
        }
        out += word;
    };
    size_t i = 0;
    while (i < events.size()) {
        const auto& e = events[i];
        if (e.kind == BusEvent::Kind::Reset) {
            add(!e.line ? (e.masterBit ? "R-" : "R!") : "R");
            ++i;
            continue;
        }
        if (e.kind != BusEvent::Kind::Slot) {
            add(e.kind == BusEvent::Kind::PullupOn ? "P+" : "P-");
            ++i;
            continue;
        }
        size_t run = 0;
        while (i + run < events.size() && events[i + run].kind == BusEvent::Kind::Slot && run < 8) {
            ++run;
        }
        if (run < 8) {
            for (size_t k = 0; k < run; ++k) {
                add(events[i + k].line ? "b1" : "b0");
            }
            i += run;
            continue;
        }
        uint8_t written = 0;
        uint8_t read = 0;
        for (int bit = 0; bit < 8; ++bit) {
            if (events[i + static_cast<size_t>(bit)].masterBit) {
                written |= static_cast<uint8_t>(1u << bit);
            }
            if (events[i + static_cast<size_t>(bit)].line) {
                read |= static_cast<uint8_t>(1u << bit);
            }
        }
        char word[8];
        if (written == 0xFF) {
            std::snprintf(word, sizeof word, "R%02X", read);
        } else {
            std::snprintf(word, sizeof word, "W%02X", written);
        }
        add(word);
        i += 8;
    }
    return out;
}

}  // namespace velgrin::sim
