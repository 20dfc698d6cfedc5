#include "hlt/channel_panel.h"

#include <gtest/gtest.h>

#include "hlt/hlt_state.h"
#include "hlt/sensor_type.h"
#include "recording_surface.h"

namespace velgrin {
namespace {

using testing::RecordingSurface;

class ChannelPanelSetUp : public ::testing::Test {
  protected:
    ChannelPanelSetUp() {
        state.HLTS.set(hlt_field::S1min, -125);
        state.HLTS.set(hlt_field::S1Max, 1000);
        state.HLTS.set(hlt_field::S1minVoltage, 390);
        state.HLTS.set(hlt_field::S1MaxVoltage, 1947);
        state.HLTS.set(hlt_field::S1UpValue, 800);
        state.HLTS.set(hlt_field::S1DownValue, 200);
    }

    HltState state;
    RecordingSurface dialog;
};

TEST_F(ChannelPanelSetUp, LinearTypesShowAllStoredFieldsInOrder) {
    SetUpChannelPanel(dialog, state.HLTS, 1, stHIH4000);
    const std::vector<std::string> expected{
        "btnS1_H_select.shown",
        "pnl1.enabled",
        "pnl1.color",
        "lblS1CurrentValue=",
        "edtS1min=-12,5",
        "edtS1Max=100",
        "edtS1minVoltage=0,039",
        "edtS1MaxVoltage=0,1947",
        "edtS1UpValue=80",
        "edtS1DownValue=20",
        "edtS1min.enabled",
        "edtS1Max.enabled",
        "edtS1minVoltage.enabled",
        "edtS1MaxVoltage.enabled",
        "edtS1UpValue.enabled",
        "edtS1DownValue.enabled",
    };
    EXPECT_EQ(dialog.log, expected);
    EXPECT_EQ(dialog.color("pnl1"), colors::kButtonFace);
}

TEST_F(ChannelPanelSetUp, TypesTwoToFiveWorkLikeHih4000WithoutTheAssistant) {
    for (int type : {stTemperature, stPressure, stCO2, stOther}) {
        SCOPED_TRACE(type);
        SetUpChannelPanel(dialog, state.HLTS, 1, stNone);
        SetUpChannelPanel(dialog, state.HLTS, 1, type);
        EXPECT_FALSE(dialog.visible("btnS1_H_select"));
        EXPECT_TRUE(dialog.enabled("pnl1"));
        EXPECT_EQ(dialog.text("lblS1CurrentValue"), "");
        EXPECT_EQ(dialog.text("edtS1minVoltage"), "0,039");
        EXPECT_TRUE(dialog.enabled("edtS1MaxVoltage"));
        EXPECT_EQ(dialog.text("edtS1DownValue"), "20");
    }
}

TEST_F(ChannelPanelSetUp, NoSensorGreysThePanelAndHih5031KeepsOnlyThresholds) {
    SetUpChannelPanel(dialog, state.HLTS, 1, stNone);
    EXPECT_FALSE(dialog.enabled("pnl1"));
    EXPECT_EQ(dialog.color("pnl1"), colors::kButtonShadow);
    EXPECT_EQ(dialog.text("lblS1CurrentValue"), "ОТКЛЮЧЕН");
    EXPECT_EQ(dialog.text("edtS1UpValue"), "");
    EXPECT_FALSE(dialog.enabled("edtS1UpValue"));

    SetUpChannelPanel(dialog, state.HLTS, 1, stHIH5031);
    EXPECT_TRUE(dialog.enabled("pnl1"));
    EXPECT_EQ(dialog.text("lblS1CurrentValue"), "");
    EXPECT_EQ(dialog.text("edtS1min"), "");
    EXPECT_FALSE(dialog.enabled("edtS1min"));
    EXPECT_FALSE(dialog.enabled("edtS1MaxVoltage"));
    EXPECT_EQ(dialog.text("edtS1UpValue"), "80");
    EXPECT_TRUE(dialog.enabled("edtS1UpValue"));
    EXPECT_FALSE(dialog.visible("btnS1_H_select"));
}

}  // namespace
}  // namespace velgrin
