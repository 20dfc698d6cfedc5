#pragma once

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench_rig.h"
#include "hlt/hlt_core.h"
#include "hlt_dialog_surface.h"
#include "wire/sim/sim_ds2438.h"

namespace velgrin::testing {

// The poll as a page write sees it: a timer flag, and a full cycle that searches the bus, comes
// back with the timer running, and then does what the window's view refresh does (`refresh`).
class FakePoll : public PollControl {
  public:
    explicit FakePoll(BusCore& core) : core_(core) {}

    bool pollTimerEnabled() const override { return enabled; }
    void setPollTimerEnabled(bool on) override { enabled = on; }
    int16_t ScanNetwork() override {
        ++scans;
        const auto outcome = core_.ScanSessionAndSearch();
        enabled = true;
        if (refresh) {
            refresh();
        }
        return outcome.result;
    }

    bool enabled = true;
    int scans = 0;
    std::function<void()> refresh;

  private:
    BusCore& core_;
};

inline RomCode HltRom(uint8_t serial) {
    return WithRomCrc({0x26, serial, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00});
}

// A bench with multisensors, the poll's session over it and the multisensor core.
struct HltRig : BenchRig {
    FakePoll poll{core};
    HltState state;
    HltCore hlt{core, poll, state};
    HltDialogSurface dialog{state};

    sim::Ds2438Device& Attach(const RomCode& rom) {
        return static_cast<sim::Ds2438Device&>(
            bus().attach(std::make_unique<sim::Ds2438Device>(rom)));
    }

    // A poll's session and search; the device-table index of `rom`, -1 when it was not found.
    int16_t Scan(const RomCode& rom) {
        (void)core.ScanSessionAndSearch();
        for (int16_t i = 0; i < core.FoundDev; ++i) {
            if (core.Asens[static_cast<std::size_t>(i)].ROM[0] == rom[0] &&
                core.Asens[static_cast<std::size_t>(i)].ROM[1] == rom[1]) {
                return i;
            }
        }
        return -1;
    }

    void Record() {
        bus().clearEvents();
        bus().setRecording(true);
    }
};

// The recorded bus traffic as one line per reset: "S" for a device selected by a steered search
// (its search slots left out), then the function bytes written, "r" for each byte read.
inline std::vector<std::string> Transactions(const std::vector<sim::BusEvent>& events) {
    std::istringstream words(sim::DescribeEvents(events));
    std::vector<std::string> lines;
    std::string word;
    int searchWordsLeft = 0;
    constexpr int kSearchWords = 64 * 3 / 8;
    while (words >> word) {
        if (word == "R" || word == "R-" || word == "R!") {
            lines.push_back(word == "R" ? "" : word);
            searchWordsLeft = 0;
            continue;
        }
        if (lines.empty()) {
            lines.emplace_back();
        }
        auto& line = lines.back();
        if (line.empty() && word == "WF0") {
            line = "S";
            searchWordsLeft = kSearchWords;
            continue;
        }
        if (searchWordsLeft > 0) {
            --searchWordsLeft;
            continue;
        }
        line += line.empty() ? "" : " ";
        line += word[0] == 'W' ? word.substr(1) : "r";
    }
    return lines;
}

}  // namespace velgrin::testing
