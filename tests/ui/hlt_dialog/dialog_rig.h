#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include <QApplication>

#include "bench_rig.h"
#include "hlt/hlt_core.h"
#include "hlt/hlt_state.h"
#include "qt_test_app.h"
#include "thermo/list_lookup.h"
#include "ui/hlt_dialog/frm_set_up_hlt.h"
#include "wire/poll_control.h"
#include "wire/sim/sim_ds2438.h"
#include "wire/sim/sim_hlt_block.h"

namespace velgrin::testing {

// The poll timer as a plain flag; a poll cycle is the bus core's session and search, after which
// the timer runs again, as at the end of the window's cycle.
class FakePoll : public PollControl {
  public:
    explicit FakePoll(BusCore& bus) : bus_(bus) {}

    bool pollTimerEnabled() const override { return enabled; }
    void setPollTimerEnabled(bool on) override { enabled = on; }
    int16_t ScanNetwork() override {
        ++scans;
        const int16_t result = bus_.ScanSessionAndSearch().result;
        enabled = true;
        return result;
    }

    bool enabled = true;
    int scans = 0;

  private:
    BusCore& bus_;
};

// The settings dialog as the main window owns it, over a simulated bench.
struct DialogRig : BenchRig {
    QApplication& app = TestApp();
    FakePoll poll{core};
    HltState state;
    HltCore hlt{core, poll, state};
    Thlt_set dialog{core, hlt, poll};
    // The selected entry of the main window's multisensor list.
    std::string cmbhlt;

    ControlSurface& controls() { return dialog.controls(); }

    // Puts a configured multisensor on the bench and finds it, as the poll that lists it does.
    sim::Ds2438Device& AttachHlt(const sim::HltBlockFields& fields) {
        const RomCode rom = WithRomCrc({0x26, 0x5A, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00});
        auto& device = static_cast<sim::Ds2438Device&>(
            bench->bus().attach(std::make_unique<sim::Ds2438Device>(rom)));
        device.setConfigBlock(sim::EncodeHltBlock(fields));
        (void)core.ScanSessionAndSearch();
        for (int16_t i = 0; i < core.FoundDev; ++i) {
            if (core.Asens[static_cast<size_t>(i)].ROM[0] == 0x26) {
                char index[8];
                std::snprintf(index, sizeof index, "%.2u", static_cast<unsigned>(i));
                cmbhlt = std::string(index) + " " + RomText(rom);
            }
        }
        return device;
    }

    // One poll tick of the main window as far as the dialog sees it: nothing while the dialog
    // edits; otherwise the timer off, the search, the multisensor refresh, the timer on again.
    void Tick() {
        if (dialog.flgEditHLT) {
            return;
        }
        poll.enabled = false;
        if (dialog.isVisible()) {
            controls().setColor("shpindik", colors::kRed);
        }
        (void)core.ScanSessionAndSearch();
        if (const int index = FindIndxHLT(core, cmbhlt); index >= 0) {
            hlt.getValueHLT(static_cast<int16_t>(index), controls());
        }
        if (dialog.isVisible()) {
            controls().setColor("shpindik", colors::kLime);
        }
        poll.enabled = true;
    }
};

}  // namespace velgrin::testing
