// The main window on a DS2480B shared by ser2net on loopback (RFC 2217), in front of the
// emulator serving the demo bench.

#include <gtest/gtest.h>

#include <filesystem>

#include <QComboBox>
#include <QCoreApplication>

#include "app/frm_main.h"
#include "ds2480b_emu/ds2480b_emulator.h"
#include "qt_test_app.h"
#include "scripted_host.h"
#include "ser2net_server.h"
#include "ui/central_exception_handler.h"
#include "wire/port_registry.h"
#include "wire/sim/bench_file.h"

namespace velgrin {
namespace {

std::string TemporaryFolder() {
    char pattern[] = "/tmp/velgrin-net-window-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    return pattern;
}

ds2480b::EmulatorOptions ServedAt(const std::string& folder) {
    ds2480b::EmulatorOptions options;
    options.linkPath = folder + "/tty";
    return options;
}

PortRegistry PatientPorts(const Clock& clock) {
    // ser2net and the emulator share a loaded machine with the other tests.
    PortSettings settings;
    settings.replyMargin = std::chrono::milliseconds(3000);
    return BuiltInPorts(clock, settings);
}

class NetworkWindow : public ::testing::Test {
  protected:
    NetworkWindow() { SetExceptionReportHost(&host); }
    ~NetworkWindow() override {
        SetExceptionReportHost(nullptr);
        std::filesystem::remove_all(folder);
    }

    void Tick() {
        TksTimerTickEvent tick(++callbacks_);
        QCoreApplication::sendEvent(window.tmrg().WindowHandle(), &tick);
    }
    int Thermometers() { return window.findChild<QComboBox*>("cmb1820")->count(); }

    QApplication& app = velgrin::testing::TestApp();
    VirtualClock clock;
    velgrin::testing::ScriptedHost host{clock};
    std::string folder = TemporaryFolder();
    ds2480b::Ds2480bEmulator emulator{sim::MakeDemoBench(clock), ServedAt(folder)};
    bool started = emulator.start().ok();
    net_serial::testing::Ser2netServer server{folder + "/tty", true};
    TmexDriver driver{PatientPorts(clock), PortSpec{"ds2480b", server.address()}};
    TFrmMain window{driver, host};
    uint32_t callbacks_ = 0;
};

TEST_F(NetworkWindow, ListsAndMeasuresShowsTheAdapterPulledAndConnectsAgainOnceItIsBack) {
    ASSERT_TRUE(started);
    Tick();
    EXPECT_EQ(window.controls().text("stat11"), status_text::kAdapterFound);
    const int listed = Thermometers();
    ASSERT_GE(listed, 2);
    Tick();
    EXPECT_NE(window.controls().text("lblT1820"), "--,--");

    emulator.unplug();
    Tick();
    EXPECT_EQ(window.controls().text("stat11"), status_text::kCheckAdapter);

    ASSERT_TRUE(emulator.replug().ok());
    Tick();
    EXPECT_EQ(window.controls().text("stat11"), status_text::kAdapterFound);
    EXPECT_EQ(Thermometers(), listed);
    EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace velgrin
