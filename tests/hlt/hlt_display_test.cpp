#include "hlt/hlt_display.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "hlt/crc_hlt.h"
#include "hlt/hlt_controls.h"
#include "hlt_dialog_surface.h"

namespace velgrin {
namespace {

using testing::HltDialogSurface;

ds2438::PageRead Page0(uint8_t status, uint8_t t0, uint8_t t1, uint8_t v0, uint8_t v1, uint8_t i0,
                       uint8_t i1) {
    return {status, t0, t1, v0, v1, i0, i1, 0, 0};
}

TEST(HltLiveReadings, TemperatureRoundsToHundredths) {
    HltState state;
    HltDialogSurface dialog(state);
    ShowTemperature(Page0(0, 0x90, 0x01, 0, 0, 0, 0), state, dialog);
    EXPECT_DOUBLE_EQ(state.Temperature, 1.56);
    EXPECT_EQ(dialog.text("lblCurrentT"), "T = 1,56C");

    ShowTemperature(Page0(0, 0xF8, 0xFF, 0, 0, 0, 0), state, dialog);
    EXPECT_DOUBLE_EQ(state.Temperature, -0.03);
    EXPECT_EQ(dialog.text("lblCurrentT"), "T = -0,03C");
}

TEST(HltLiveReadings, ATemperatureOnAHalfHundredthGoesToTheEvenSide) {
    HltState state;
    HltDialogSurface dialog(state);
    // 4, 12 and -4 steps of 0.03125 degrees: 0.125, 0.375 and -0.125.
    for (auto [low, high, shown] : {std::tuple{0x20, 0x00, "T = 0,12C"},
                                    {0x60, 0x00, "T = 0,38C"},
                                    {0xE0, 0xFF, "T = -0,12C"}}) {
        ShowTemperature(Page0(0, static_cast<uint8_t>(low), static_cast<uint8_t>(high), 0, 0, 0, 0),
                        state, dialog);
        EXPECT_EQ(dialog.text("lblCurrentT"), shown);
    }
}

TEST(HltLiveReadings, VoltageGoesToVddOrVadByTheAdBit) {
    HltState state;
    HltDialogSurface dialog(state);
    ShowVoltage(Page0(0x08, 0, 0, 0xF3, 0x01, 0, 0), state, dialog);
    EXPECT_DOUBLE_EQ(state.Vsens, 4.99);
    EXPECT_EQ(dialog.text("lblCurrentVDD"), "VDD = 4,99V");
    EXPECT_EQ(dialog.text("lblCurrentADC0"), "");

    ShowVoltage(Page0(0x00, 0, 0, 0x2C, 0x01, 0, 0), state, dialog);
    EXPECT_DOUBLE_EQ(state.ADC0_val, 3.0);
    EXPECT_EQ(dialog.text("lblCurrentADC0"), "ADC0 = 3V");
    EXPECT_DOUBLE_EQ(state.Vsens, 4.99);
}

TEST(HltLiveReadings, CurrentRegisterReadsAsSignedSenseVoltage) {
    HltState state;
    HltDialogSurface dialog(state);
    ShowCurrent(Page0(0, 0, 0, 0, 0, 0x00, 0x01), state, dialog);
    EXPECT_DOUBLE_EQ(state.ADC1_val, 0.0624896);
    EXPECT_EQ(dialog.text("lblCurrentADC1"), "ADC1 = 0,0624896V");
    EXPECT_EQ(dialog.text("lblUvhoda"), "Uвхода2 = 1,2752445764864V");

    ShowCurrent(Page0(0, 0, 0, 0, 0, 0xFF, 0xFF), state, dialog);
    EXPECT_DOUBLE_EQ(state.ADC1_val, -0.0002441);
    EXPECT_EQ(dialog.text("lblCurrentADC1"), "ADC1 = -0,0002441V");
}

// A sealed block with the given types, channel fields as the tests set them.
class HltConfigurationDisplay : public ::testing::Test {
  protected:
    void Types(uint8_t sensorTypes) { state.HLTS.set(hlt_field::SensorTypes, sensorTypes); }
    void Show() {
        SealHltBlock(state.HLTS);
        ShowConfiguration(state, dialog);
    }

    HltState state;
    HltDialogSurface dialog{state};
};

TEST_F(HltConfigurationDisplay, HumidityOfHih5031) {
    Types(0x06);
    state.HLTS.set(hlt_field::S0UpValue, 800);
    state.HLTS.set(hlt_field::S0DownValue, -125);
    state.HLTS.set(hlt_field::S0min, 55);
    state.ADC0_val = 2.5;
    state.Vsens = 5;
    state.Temperature = 25;
    Show();
    EXPECT_EQ(dialog.text("lblS0CurrentValue"), "54,763 %");
    EXPECT_EQ(dialog.text("edtS0UpValue"), "80");
    EXPECT_EQ(dialog.text("edtS0DownValue"), "-12,5");
    EXPECT_EQ(dialog.text("edtS0min"), "");
    EXPECT_EQ(dialog.text("edtS0MaxVoltage"), "");
}

TEST_F(HltConfigurationDisplay, HumidityWithoutSupplyVoltageCannotBeFormed) {
    Types(0x06);
    state.ADC0_val = 2.5;
    state.Vsens = 0;
    Show();
    EXPECT_EQ(dialog.text("lblS0CurrentValue"), "Параметры?");
    // The decode goes on past the failure.
    EXPECT_EQ(dialog.text("lblTCurrentValue"), "0C");
}

TEST_F(HltConfigurationDisplay, LinearChannelScalesBetweenItsPoints) {
    Types(0x21);
    state.HLTS.set(hlt_field::S0min, 0);
    state.HLTS.set(hlt_field::S0Max, 1000);
    state.HLTS.set(hlt_field::S0minVoltage, 10000);
    state.HLTS.set(hlt_field::S0MaxVoltage, 50000);
    state.HLTS.set(hlt_field::S0UpValue, 900);
    state.HLTS.set(hlt_field::S0DownValue, 100);
    state.ADC0_val = 3;
    Show();
    EXPECT_EQ(dialog.text("lblS0CurrentValue"), "50");
    EXPECT_EQ(dialog.text("edtS0min"), "0");
    EXPECT_EQ(dialog.text("edtS0Max"), "100");
    EXPECT_EQ(dialog.text("edtS0minVoltage"), "1");
    EXPECT_EQ(dialog.text("edtS0MaxVoltage"), "5");
    EXPECT_EQ(dialog.text("edtS0UpValue"), "90");
    EXPECT_EQ(dialog.text("edtS0DownValue"), "10");
}

TEST_F(HltConfigurationDisplay, AChannelValueOnAHalfThousandthGoesToTheEvenSide) {
    // 0 to 1 over 0 to 1 V: the value is the signal, shown to thousandths.
    Types(0x55);
    state.HLTS.set(hlt_field::S0Max, 10);
    state.HLTS.set(hlt_field::S0MaxVoltage, 10000);
    for (auto [signal, shown] : {std::pair{0.0625, "0,062"}, {0.1875, "0,188"}}) {
        state.ADC0_val = signal;
        Show();
        EXPECT_EQ(dialog.text("lblS0CurrentValue"), shown);
    }
}

TEST_F(HltConfigurationDisplay, EqualVoltagesLeaveTheValueUnformed) {
    Types(0x55);
    state.HLTS.set(hlt_field::S1minVoltage, 1200);
    state.HLTS.set(hlt_field::S1MaxVoltage, 1200);
    state.HLTS.set(hlt_field::S0MaxVoltage, 100);
    Show();
    EXPECT_EQ(dialog.text("lblS1CurrentValue"), "Параметры?");
    EXPECT_EQ(dialog.text("lblS0CurrentValue"), "0");
}

TEST_F(HltConfigurationDisplay, TemperatureOffsetCorrectsTheReading) {
    Types(0x66);
    state.HLTS.set(hlt_field::Tdis, -5);
    state.HLTS.set(hlt_field::TupLimit, 1500);
    state.HLTS.set(hlt_field::TdownLimit, -500);
    state.Temperature = 20.5;
    Show();
    EXPECT_EQ(dialog.text("edtTdis"), "-0,05");
    EXPECT_TRUE(dialog.checked("chkUseT"));
    EXPECT_EQ(dialog.text("lblTCurrentValue"), "20,45C");
    EXPECT_EQ(dialog.text("edtTupLimit"), "150");
    EXPECT_EQ(dialog.text("edtTdownLimit"), "-50");
}

TEST_F(HltConfigurationDisplay, TemperatureNotShownOnTheDevice) {
    Types(0x66);
    state.HLTS.set(hlt_field::Tdis, kTdisNotShown);
    state.Temperature = 20.5;
    dialog.setChecked("chkUseT", true);
    Show();
    EXPECT_EQ(dialog.text("edtTdis"), "0");
    EXPECT_FALSE(dialog.checked("chkUseT"));
    EXPECT_EQ(dialog.text("lblTCurrentValue"), "20,5C");
}

TEST_F(HltConfigurationDisplay, ChannelWithoutSensorIsGreyedAndOtherShowsHumidity) {
    Types(0x60);
    state.HLTS.set(hlt_field::S0UpValue, 300);
    state.Vsens = 5;
    state.ADC1_val = 0.1;
    Show();
    EXPECT_EQ(dialog.itemIndex("rg0"), 6);
    EXPECT_FALSE(dialog.enabled("pnlS0"));
    EXPECT_EQ(dialog.color("pnlS0"), colors::kButtonShadow);
    EXPECT_EQ(dialog.text("lblS0CurrentValue"), "ОТКЛЮЧЕН");
    for (const char* edit : kHltChannelControls[0].edits()) {
        EXPECT_EQ(dialog.text(edit), "") << edit;
        EXPECT_FALSE(dialog.enabled(edit)) << edit;
    }
    EXPECT_EQ(dialog.itemIndex("rg1"), 0);
    EXPECT_TRUE(dialog.enabled("pnl1"));
    const std::string humidity = dialog.text("lblS1CurrentValue");
    EXPECT_EQ(humidity.substr(humidity.size() - 2), " %");
}

TEST_F(HltConfigurationDisplay, TypeCodesSelectGroupItems) {
    Types(0x16);
    Show();
    EXPECT_EQ(dialog.itemIndex("rg0"), 1);
    EXPECT_EQ(dialog.itemIndex("rg1"), 6);
    EXPECT_TRUE(dialog.visible("btnS0_H_select"));
    EXPECT_FALSE(dialog.enabled("pnl1"));
}

TEST_F(HltConfigurationDisplay, UndefinedTypeCodesSelectNothingAndShowLinearFields) {
    dialog.setItemIndex("rg0", 2);
    dialog.setItemIndex("rg1", 6);
    const int clicksBefore = dialog.groupClicks;
    Types(0x7F);
    state.HLTS.set(hlt_field::S1Max, 250);
    Show();
    EXPECT_EQ(dialog.itemIndex("rg0"), -1);
    EXPECT_EQ(dialog.itemIndex("rg1"), -1);
    EXPECT_EQ(dialog.groupClicks, clicksBefore);
    EXPECT_TRUE(dialog.enabled("pnl1"));
    EXPECT_EQ(dialog.color("pnl1"), colors::kButtonFace);
    EXPECT_TRUE(dialog.enabled("edtS1min"));
    EXPECT_EQ(dialog.text("edtS1Max"), "25");
    EXPECT_EQ(dialog.text("lblS1CurrentValue"), "Параметры?");
}

TEST_F(HltConfigurationDisplay, PanelColourTellsWhetherTheBlockCrcMatches) {
    Types(0x66);
    Show();
    EXPECT_EQ(dialog.color("pnl2"), colors::kButtonFace);
    state.HLT_Buf[12] ^= 0x40;
    ShowConfiguration(state, dialog);
    EXPECT_EQ(dialog.color("pnl2"), colors::kRed);

    // A blank block: its zeros pass the CRC, yet nobody ever configured it.
    state.HLT_Buf.fill(0);
    ASSERT_TRUE(HltBlockCrcMatches(state.HLTS));
    ShowConfiguration(state, dialog);
    EXPECT_EQ(dialog.color("pnl2"), colors::kRed);
}

TEST_F(HltConfigurationDisplay, FillsInTheDecodeOrder) {
    Types(0x21);
    Show();
    const auto& log = dialog.log;
    // Where the control was written last.
    auto last = [&](const std::string& prefix) {
        for (auto i = log.size(); i-- > 0;) {
            if (log[i].rfind(prefix, 0) == 0) {
                return static_cast<long>(i);
            }
        }
        ADD_FAILURE() << prefix << " was never written";
        return -1L;
    };
    EXPECT_EQ(log.front(), "pnl2.color");
    EXPECT_LT(last("rg0.index"), last("rg1.index"));
    // Both panels are set up before either channel's values are written.
    EXPECT_LT(last("rg1.index"), last("pnlS0.enabled"));
    EXPECT_LT(last("pnlS0.enabled"), last("pnl1.enabled"));
    EXPECT_LT(last("pnl1.enabled"), last("edtS0min="));
    EXPECT_LT(last("lblS0CurrentValue="), last("edtS1min="));
    EXPECT_LT(last("lblS1CurrentValue="), last("edtTdis="));
    EXPECT_LT(last("edtTdis="), last("chkUseT"));
    EXPECT_LT(last("chkUseT"), last("edtTupLimit="));
    EXPECT_LT(last("edtTupLimit="), last("edtTdownLimit="));
    EXPECT_EQ(last("lblTCurrentValue="), static_cast<long>(log.size()) - 1);
}

}  // namespace
}  // namespace velgrin
