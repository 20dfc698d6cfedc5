#pragma once

#include <functional>

#include <QApplication>

#include "bench_rig.h"
#include "hlt/dialog/frm_set_up_hlt.h"
#include "hlt/hlt_core.h"
#include "hlt/hlt_state.h"
#include "wire/poll_control.h"

namespace velgrin::testing {

// The one QApplication of a test program, made on first use (offscreen under CTest).
inline QApplication& DialogTestApp() {
    static int argc = 1;
    static char name[] = "velgrin-hlt-dialog-test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// The poll timer as a plain flag; a poll cycle is the bus core's session and search.
class FakePoll : public PollControl {
  public:
    explicit FakePoll(BusCore& bus) : bus_(bus) {}

    bool pollTimerEnabled() const override { return enabled; }
    void setPollTimerEnabled(bool on) override { enabled = on; }
    int16_t ScanNetwork() override {
        ++scans;
        return bus_.ScanSessionAndSearch().result;
    }

    bool enabled = true;
    int scans = 0;

  private:
    BusCore& bus_;
};

// The settings dialog as the main window owns it, over a simulated bench.
struct DialogRig : BenchRig {
    QApplication& app = DialogTestApp();
    FakePoll poll{core};
    HltState state;
    HltCore hlt{core, poll, state};
    Thlt_set dialog{core, hlt};

    ControlSurface& controls() { return dialog.controls(); }
};

}  // namespace velgrin::testing
