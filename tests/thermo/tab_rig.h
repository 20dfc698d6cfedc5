#pragma once

#include <string>
#include <vector>

#include "bench_rig.h"
#include "recording_surface.h"
#include "thermo/thermometer_tab.h"

namespace velgrin::testing {

// The poll timer as a plain switch.
struct PollSwitch : PollControl {
    bool pollTimerEnabled() const override { return enabled; }
    void setPollTimerEnabled(bool on) override { enabled = on; }
    int16_t ScanNetwork() override { return 1; }

    bool enabled = true;
};

struct RecordingProgress : ProgressBar {
    void setRange(int min, int max) override {
        minimum = min;
        maximum = max;
    }
    void setPosition(int position) override { positions.push_back(position); }

    int minimum = -1;
    int maximum = -1;
    std::vector<int> positions;
};

// The thermometer tab over a simulated bench, its controls as the window opens them: the write
// button disabled, the progress bar hidden, no temperature shown. The boxes' change handlers are
// wired as the window wires them.
struct TabRig {
    TabRig() {
        controls.onTextChanged[thermo_control::kUpper] = [this] { tab.edt1820upChange(); };
        controls.onTextChanged[thermo_control::kLower] = [this] { tab.edt1820downChange(); };
        controls.setEnabled(thermo_control::kWrite, false);
        controls.setVisible(thermo_control::kProgress, false);
        controls.setText(thermo_control::kTemperature, kNoTemperatureText);
        controls.log.clear();
        rig.bus().setRecording(true);
    }

    // What the user types into the boxes, with the handlers that typing runs.
    void Type(const std::string& upper, const std::string& lower) {
        controls.setText(thermo_control::kUpper, upper);
        controls.setText(thermo_control::kLower, lower);
    }

    BenchRig rig;
    RecordingSurface controls;
    PollSwitch poll;
    RecordingProgress progress;
    ThermometerTab tab{rig.core, poll, controls, progress};
};

}  // namespace velgrin::testing
