#pragma once

#include <memory>
#include <string>

#include "hlt/hlt_state.h"
#include "window_rig.h"
#include "wire/sim/sim_ds2438.h"
#include "wire/sim/sim_hlt_block.h"

namespace velgrin::testing {

// The settings dialog as the main window owns it, over a bench that holds only what a test
// attaches; the window's own poll ticks refresh it.
struct DialogRig : WindowRig {
    DialogRig()
        : WindowRig(true,
                    [](const Clock& clock) { return std::make_shared<sim::SimBench>(clock); }) {}

    ControlSurface& controls() { return dialog.controls(); }
    HltState& state() { return window.hltCore().state(); }
    bool pollRunning() { return window.pollTimerEnabled(); }
    void setPollRunning(bool running) { window.setPollTimerEnabled(running); }

    // Puts a configured multisensor on the bench; the next tick lists it in the main window,
    // whose multisensor list then shows it.
    sim::Ds2438Device& AttachHlt(const sim::HltBlockFields& fields) {
        const RomCode rom = WithRomCrc({0x26, 0x5A, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00});
        auto& device = static_cast<sim::Ds2438Device&>(
            bench->bus().attach(std::make_unique<sim::Ds2438Device>(rom)));
        device.setConfigBlock(sim::EncodeHltBlock(fields));
        Tick();
        cmbhlt = ui().text("cmbhlt");
        return device;
    }

    // The selected entry of the main window's multisensor list.
    std::string cmbhlt;
};

}  // namespace velgrin::testing
