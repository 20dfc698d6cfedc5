#include <gtest/gtest.h>

#include <memory>
#include <span>
#include <string>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/frm_main.h"
#include "bench_rig.h"
#include "hlt/crc_hlt.h"
#include "hlt/hlt_config.h"
#include "process_locale.h"
#include "qt_test_app.h"
#include "scripted_host.h"
#include "ui/central_exception_handler.h"
#include "ui/hlt_dialog/frm_set_up_hlt.h"
#include "wire/sim/sim_ds18b20.h"
#include "wire/sim/sim_ds2438.h"
#include "wire/sim/sim_hlt_block.h"

namespace velgrin {
namespace {

sim::HltBlockFields Configuration() {
    sim::HltBlockFields f;
    f.sensor0Type = 1;
    f.s0Min = 0;
    f.s0Max = 100;
    f.s0MinVoltage = 0.826;
    f.s0MaxVoltage = 3.9743;
    f.s0UpValue = 80;
    f.s0DownValue = 20;
    f.sensor1Type = 6;
    f.temperatureOffset = -0.05;
    f.tUpLimit = 40;
    f.tDownLimit = -10;
    return f;
}

// Both windows on a Russian desktop: the C library's locale is ru_RU.UTF-8, as Qt sets it from
// a user's environment, with a thermometer and a multisensor on the bench.
class RussianDesktop : public ::testing::Test {
  protected:
    RussianDesktop() {
        SetExceptionReportHost(&host);
        window.setSettingsDialog(&dialog);
        thermometer.setTemperature(sim::SimValue::Constant(19.0625));
        thermometer.setAlarmThresholds(25, 15);
        multisensor.setTemperature(sim::SimValue::Constant(23.03125));
        multisensor.setVdd(sim::SimValue::Constant(5.12));
        multisensor.setConfigBlock(sim::EncodeHltBlock(Configuration()));
    }
    ~RussianDesktop() override { SetExceptionReportHost(nullptr); }

    void SetUp() override { ASSERT_COMMA_LOCALE(locale); }

    void Tick() {
        TksTimerTickEvent tick(++callbacks_);
        QCoreApplication::sendEvent(window.tmrg().WindowHandle(), &tick);
    }
    void TypeInto(QWidget& form, const char* box, const char* text) {
        auto* edit = form.findChild<QLineEdit*>(box);
        ASSERT_NE(edit, nullptr) << box;
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, QString::fromUtf8(text));
    }
    void Click(QWidget& form, const char* button) {
        auto* widget = form.findChild<QPushButton*>(button);
        ASSERT_NE(widget, nullptr) << button;
        widget->click();
    }
    int32_t Stored(HltField field) {
        auto block = multisensor.configBlock();
        return HLTConfig(std::span<uint8_t, kHltBlockSize>(block)).get(field);
    }

    // After the application, whose construction sets the locale from the environment.
    QApplication& app = testing::TestApp();
    testing::ProcessLocale locale{"ru_RU.UTF-8"};
    VirtualClock clock;
    testing::ScriptedHost host{clock};
    std::shared_ptr<sim::SimBench> bench = std::make_shared<sim::SimBench>(clock);
    sim::Ds18x20Device& thermometer = static_cast<sim::Ds18x20Device&>(
        bench->bus().attach(std::make_unique<sim::Ds18b20Device>(testing::TestRom(0x28, 1))));
    sim::Ds2438Device& multisensor = static_cast<sim::Ds2438Device&>(
        bench->bus().attach(std::make_unique<sim::Ds2438Device>(testing::TestRom(0x26, 2))));
    TmexDriver driver{testing::BenchRegistry(bench), PortSpec{"bench", ""}};
    TFrmMain window{driver, host};
    Thlt_set dialog{window.core(), window.hltCore(), window};

  private:
    uint32_t callbacks_ = 0;
};

TEST_F(RussianDesktop, TheThermometerTabShowsWhatTheCLocaleShows) {
    Tick();
    Tick();
    EXPECT_EQ(window.controls().text("lblT1820"), "19,0625");
    EXPECT_EQ(window.controls().text("edt1820up"), "25");
    EXPECT_EQ(window.controls().text("edt1820down"), "15");
}

TEST_F(RussianDesktop, ThresholdsTypedWithACommaReachTheThermometersEeprom) {
    Tick();
    Tick();
    TypeInto(window, "edt1820up", "30,0");
    TypeInto(window, "edt1820down", "-10,");
    Click(window, "btn1820wr");

    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(thermometer.eeprom()[0], 30);
    EXPECT_EQ(thermometer.eeprom()[1], 0xF6);
}

TEST_F(RussianDesktop, TheSettingsDialogShowsReadingsAndConfigurationAsTheCLocaleDoes) {
    Tick();
    dialog.Open(window.controls().text("cmbhlt"));
    Tick();
    auto& shown = dialog.controls();
    EXPECT_EQ(shown.text("lblCurrentT"), "T = 23,03C");
    EXPECT_EQ(shown.text("lblCurrentVDD"), "VDD = 5,12V");
    EXPECT_EQ(shown.text("edtS0Max"), "100");
    EXPECT_EQ(shown.text("edtS0UpValue"), "80");
    EXPECT_EQ(shown.text("edtS0minVoltage"), "0,826");
    EXPECT_EQ(shown.text("edtTdis"), "-0,05");
    EXPECT_EQ(shown.text("lblTCurrentValue"), "22,98C");
}

TEST_F(RussianDesktop, AConfigurationEditedInTheDialogLandsInTheDevice) {
    Tick();
    dialog.Open(window.controls().text("cmbhlt"));
    Click(dialog, "btnChange");
    TypeInto(dialog, "edtS0UpValue", "85,5");
    TypeInto(dialog, "edtS0minVoltage", "0,8125");
    TypeInto(dialog, "edtTdis", "-0,25");
    Click(dialog, "btnWrite");

    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(Stored(hlt_field::S0UpValue), 855);
    EXPECT_EQ(Stored(hlt_field::S0minVoltage), 8125);
    EXPECT_EQ(Stored(hlt_field::Tdis), -25);
    EXPECT_EQ(Stored(hlt_field::S0Max), 1000);
    auto block = multisensor.configBlock();
    EXPECT_EQ(block[31], CrcHLT(31, block));
}

}  // namespace
}  // namespace velgrin
