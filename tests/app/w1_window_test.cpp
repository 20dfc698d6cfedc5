// The main window on the kernel's 1-Wire master w1:1, reached through the kernel model serving
// the demo bench.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>

#include "app/frm_main.h"
#include "qt_test_app.h"
#include "scripted_host.h"
#include "thermo/thermometer_tab.h"
#include "ui/central_exception_handler.h"
#include "w1_rig.h"
#include "wire/sim/bench_file.h"
#include "wire/sim/sim_ds18x20.h"

namespace velgrin {
namespace {

class W1Window : public ::testing::Test {
  protected:
    W1Window() {
        SetExceptionReportHost(&host);
        rig.kernel->addMaster(1, bench);
    }
    ~W1Window() override { SetExceptionReportHost(nullptr); }

    void Tick() {
        TksTimerTickEvent tick(++callbacks_);
        QCoreApplication::sendEvent(window.tmrg().WindowHandle(), &tick);
    }
    QComboBox* Thermometers() { return window.findChild<QComboBox*>("cmb1820"); }
    sim::Ds18x20Device& Listed(int i) {
        const std::string rom = Thermometers()->itemText(i).mid(3).toStdString();
        for (const auto& device : bench->bus().devices()) {
            if (RomText(device->rom()) == rom) {
                return dynamic_cast<sim::Ds18x20Device&>(*device);
            }
        }
        throw std::logic_error("no thermometer behind entry " + std::to_string(i));
    }

    QApplication& app = velgrin::testing::TestApp();
    VirtualClock clock;
    velgrin::testing::ScriptedHost host{clock};
    std::shared_ptr<sim::SimBench> bench = sim::MakeDemoBench(clock);
    w1::testing::W1Rig rig;
    TmexDriver driver{rig.registry(), *rig.registry().resolve("w1:1")};
    TFrmMain window{driver, host};
    uint32_t callbacks_ = 0;
};

TEST_F(W1Window, ListsTheBenchAndShowsATemperature) {
    Tick();
    EXPECT_EQ(window.controls().text("stat11"), status_text::kAdapterFound);
    ASSERT_GE(Thermometers()->count(), 2);
    Tick();
    EXPECT_NE(window.controls().text("lblT1820"), "--,--");
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(W1Window, AParasiteThermometerShowsNoValueAndTheLimitOnce) {
    Tick();
    ASSERT_GE(Thermometers()->count(), 1);
    Listed(0).setParasite(true);
    Tick();
    Tick();
    EXPECT_EQ(window.controls().text("lblT1820"), "--,--");
    EXPECT_EQ(host.messages, std::vector<std::string>{kNoStrongPullupMessage});
}

}  // namespace
}  // namespace velgrin
