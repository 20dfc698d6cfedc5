#pragma once

#include <functional>

#include <QApplication>

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

// The poll timer as a plain flag; a poll cycle runs whatever the test hooks in.
class FakePoll : public PollControl {
  public:
    bool pollTimerEnabled() const override { return enabled; }
    void setPollTimerEnabled(bool on) override { enabled = on; }
    int16_t ScanNetwork() override {
        ++scans;
        return onScan ? onScan() : 1;
    }

    bool enabled = true;
    int scans = 0;
    std::function<int16_t()> onScan;
};

}  // namespace velgrin::testing
