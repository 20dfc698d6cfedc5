#include <gtest/gtest.h>

#include <array>
#include <string>

#include <QPushButton>
#include <QTest>

#include "dialog_rig.h"
#include "hlt/hlt_config.h"

namespace velgrin {
namespace {

using Texts = std::array<std::string, 6>;
using States = std::array<bool, 6>;

// Channel 0 stores min -12.5, max 100, 0.826..3.9743 V, thresholds 80 and 20.
class TypeSelection : public ::testing::Test, public testing::DialogRig {
  protected:
    TypeSelection() {
        HLTConfig& b = state().HLTS;
        b.set(hlt_field::S0min, -125);
        b.set(hlt_field::S0Max, 1000);
        b.set(hlt_field::S0minVoltage, 8260);
        b.set(hlt_field::S0MaxVoltage, 39743);
        b.set(hlt_field::S0UpValue, 800);
        b.set(hlt_field::S0DownValue, 200);
        b.set(hlt_field::S1UpValue, 15);
        b.set(hlt_field::S1DownValue, -15);
        dialog.show();
        QTest::mouseClick(dialog.findChild<QWidget*>("btnChange"), Qt::LeftButton);
    }

    void select(const std::string& group, int index) {
        auto* item = dialog.findChild<QWidget*>(QString::fromStdString(group + "_") +
                                                QString::number(index));
        ASSERT_NE(item, nullptr);
        setPollRunning(true);
        QTest::mouseClick(item, Qt::LeftButton);
        ASSERT_EQ(controls().itemIndex(group), index);
    }
    Texts texts(const char* s) {
        Texts t;
        for (size_t i = 0; i < 6; ++i) {
            t[i] = controls().text(edit(s, i));
        }
        return t;
    }
    States enabled(const char* s) {
        States e;
        for (size_t i = 0; i < 6; ++i) {
            e[i] = controls().enabled(edit(s, i));
        }
        return e;
    }
    static std::string edit(const char* s, size_t i) {
        const char* fields[] = {"min", "Max", "minVoltage", "MaxVoltage", "UpValue", "DownValue"};
        return std::string("edt") + s + fields[i];
    }
};

TEST_F(TypeSelection, Hih4000ShowsEveryStoredFieldAndTheAssistantButton) {
    select("rg0", 1);
    EXPECT_FALSE(pollRunning());
    EXPECT_TRUE(controls().enabled("pnlS0"));
    EXPECT_EQ(controls().color("pnlS0"), colors::kButtonFace);
    EXPECT_EQ(controls().text("lblS0CurrentValue"), "");
    EXPECT_EQ(texts("S0"), (Texts{"-12,5", "100", "0,826", "3,9743", "80", "20"}));
    EXPECT_EQ(enabled("S0"), (States{true, true, true, true, true, true}));
    EXPECT_TRUE(controls().visible("btnS0_H_select"));
    EXPECT_FALSE(controls().visible("btnS1_H_select"));
}

TEST_F(TypeSelection, NoSensorGreysThePanelAndEmptiesItsEdits) {
    select("rg0", 6);
    EXPECT_FALSE(pollRunning());
    EXPECT_FALSE(controls().enabled("pnlS0"));
    EXPECT_EQ(controls().color("pnlS0"), colors::kButtonShadow);
    EXPECT_EQ(controls().text("lblS0CurrentValue"), "ОТКЛЮЧЕН");
    EXPECT_EQ(texts("S0"), Texts{});
    EXPECT_EQ(enabled("S0"), States{});
    EXPECT_FALSE(controls().visible("btnS0_H_select"));
}

TEST_F(TypeSelection, Hih5031AfterNoSensorKeepsOnlyTheThresholds) {
    select("rg1", 6);
    select("rg1", 0);
    EXPECT_FALSE(pollRunning());
    EXPECT_TRUE(controls().enabled("pnl1"));
    EXPECT_EQ(controls().color("pnl1"), colors::kButtonFace);
    EXPECT_EQ(controls().text("lblS1CurrentValue"), "");
    EXPECT_EQ(texts("S1"), (Texts{"", "", "", "", "1,5", "-1,5"}));
    EXPECT_EQ(enabled("S1"), (States{false, false, false, false, true, true}));
    EXPECT_FALSE(controls().visible("btnS1_H_select"));
}

TEST_F(TypeSelection, LinearTypesSetThePanelUpAsHih4000WithoutTheButton) {
    for (int type = 2; type <= 5; ++type) {
        select("rg0", 6);
        select("rg0", type);
        EXPECT_FALSE(pollRunning()) << type;
        EXPECT_TRUE(controls().enabled("pnlS0")) << type;
        EXPECT_EQ(texts("S0"), (Texts{"-12,5", "100", "0,826", "3,9743", "80", "20"})) << type;
        EXPECT_EQ(enabled("S0"), (States{true, true, true, true, true, true})) << type;
        EXPECT_FALSE(controls().visible("btnS0_H_select")) << type;
    }
}

TEST_F(TypeSelection, AProgrammaticSelectionRunsTheHandlerButNoSelectionDoesNot) {
    controls().setItemIndex("rg0", 1);
    EXPECT_TRUE(controls().visible("btnS0_H_select"));

    setPollRunning(true);
    controls().setItemIndex("rg0", -1);
    EXPECT_TRUE(pollRunning());
    EXPECT_TRUE(controls().visible("btnS0_H_select"));

    controls().setItemIndex("rg0", 6);
    EXPECT_FALSE(pollRunning());
    EXPECT_FALSE(controls().visible("btnS0_H_select"));
}

TEST_F(TypeSelection, ASelectionStoresNothingInTheBlock) {
    const auto before = state().HLT_Buf;
    select("rg0", 6);
    select("rg1", 1);
    EXPECT_EQ(state().HLT_Buf, before);
}

TEST_F(TypeSelection, UncheckingShowOnDeviceMarksTheOffsetUnusedAndShowsZero) {
    state().HLTS.set(hlt_field::Tdis, -5);
    controls().setText("edtTdis", "-0,05");
    auto* box = dialog.findChild<QWidget*>("chkUseT");

    QTest::mouseClick(box, Qt::LeftButton);  // checked: nothing happens
    ASSERT_TRUE(controls().checked("chkUseT"));
    EXPECT_EQ(state().HLTS.get(hlt_field::Tdis), -5);
    EXPECT_EQ(controls().text("edtTdis"), "-0,05");

    setPollRunning(true);
    QTest::mouseClick(box, Qt::LeftButton);
    ASSERT_FALSE(controls().checked("chkUseT"));
    EXPECT_EQ(state().HLTS.get(hlt_field::Tdis), kTdisNotShown);
    EXPECT_EQ(controls().text("edtTdis"), "0");
    EXPECT_FALSE(pollRunning());
}

}  // namespace
}  // namespace velgrin
