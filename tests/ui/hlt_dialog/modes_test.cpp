#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <QLineEdit>
#include <QTest>

#include "dialog_rig.h"
#include "ui/hlt_dialog/hlt_set_layout.h"

namespace velgrin {
namespace {

class DialogModes : public ::testing::Test, public testing::DialogRig {
  protected:
    void click(const char* name) {
        QWidget* w = dialog.findChild<QWidget*>(name);
        ASSERT_NE(w, nullptr) << name;
        QTest::mouseClick(w, Qt::LeftButton);
    }
    std::vector<std::string> enabledTopLevel() {
        std::vector<std::string> names;
        for (const char* name : kTopLevelControls) {
            if (controls().enabled(name)) {
                names.push_back(name);
            }
        }
        return names;
    }
    void openInEditMode() {
        dialog.show();
        click("btnChange");
    }
};

const std::vector<std::string> kAllButChange{"rg1",       "rg0",       "pnlS0", "pnl1", "btnWrite",
                                             "btnCancel", "btnReload", "pnl2",  "pnl3"};

TEST_F(DialogModes, StartsInViewModeWithOnlyChangeUsable) {
    EXPECT_FALSE(dialog.flgEditHLT);
    EXPECT_EQ(enabledTopLevel(), std::vector<std::string>{"btnChange"});
}

TEST_F(DialogModes, ChangeEntersEditModeAndLeavesThePollAlone) {
    for (const bool running : {true, false}) {
        setPollRunning(running);
        openInEditMode();
        EXPECT_TRUE(dialog.flgEditHLT);
        EXPECT_EQ(enabledTopLevel(), kAllButChange);
        EXPECT_EQ(pollRunning(), running);
        click("btnCancel");
    }
}

TEST_F(DialogModes, CancelReturnsToViewModeHiddenWithThePollStillStopped) {
    openInEditMode();
    click("edtS0min");
    ASSERT_FALSE(pollRunning());

    click("btnCancel");
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(dialog.flgEditHLT);
    EXPECT_EQ(enabledTopLevel(), std::vector<std::string>{"btnChange"});
    EXPECT_FALSE(pollRunning());
}

TEST_F(DialogModes, CloseBoxInEditModeHidesButKeepsEditMode) {
    openInEditMode();
    dialog.close();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.flgEditHLT);
    EXPECT_EQ(enabledTopLevel(), kAllButChange);
}

TEST_F(DialogModes, BecomingVisibleResetsFourLiveLabels) {
    controls().setText("lblCurrentT", "T = 23,44C");
    controls().setText("lblUvhoda", "Uвхода2 = 1,2V");
    dialog.show();
    EXPECT_EQ(controls().text("lblCurrentADC1"), "ADC1 = XX,XX");
    EXPECT_EQ(controls().text("lblCurrentADC0"), "ADC0 = XX,XX");
    EXPECT_EQ(controls().text("lblCurrentT"), "T = XX,XX");
    EXPECT_EQ(controls().text("lblCurrentVDD"), "VDD = XX,XX");
    EXPECT_EQ(controls().text("lblUvhoda"), "Uвхода2 = 1,2V");

    // Shown again while visible: not "becoming visible".
    controls().setText("lblCurrentT", "T = 23,44C");
    dialog.show();
    EXPECT_EQ(controls().text("lblCurrentT"), "T = 23,44C");
}

TEST_F(DialogModes, EveryTouchOfAnEditStopsThePoll) {
    const char* edits[] = {
        "edtS0min",       "edtS0Max",       "edtS0minVoltage", "edtS0MaxVoltage", "edtS0UpValue",
        "edtS0DownValue", "edtS1min",       "edtS1Max",        "edtS1minVoltage", "edtS1MaxVoltage",
        "edtS1UpValue",   "edtS1DownValue", "edtTdis",         "edtTupLimit",     "edtTdownLimit"};
    openInEditMode();
    for (const char* name : edits) {
        auto* edit = dialog.findChild<QLineEdit*>(name);
        ASSERT_NE(edit, nullptr) << name;

        setPollRunning(true);
        QTest::mouseClick(edit, Qt::LeftButton);
        EXPECT_FALSE(pollRunning()) << name << " click";

        setPollRunning(true);
        QTest::keyClicks(edit, "5");
        EXPECT_FALSE(pollRunning()) << name << " typing";

        // The decode writing a new text counts as a change as well.
        setPollRunning(true);
        controls().setText(name, "7");
        EXPECT_FALSE(pollRunning()) << name << " fill";
    }
}

TEST_F(DialogModes, OpeningWithAnEntryWithoutANumberShowsAnErrorAndNothingElse) {
    state().curIndxHLT = 4;
    setPollRunning(false);
    dialog.Open("");
    dialog.Open("x1 0000000000000026");
    EXPECT_EQ(host.messages, (std::vector<std::string>{"Неверный номер датчика в списке: \"\"",
                                                       "Неверный номер датчика в списке: \"x1\""}));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(state().curIndxHLT, 4);
    EXPECT_FALSE(pollRunning());
}

TEST_F(DialogModes, OpeningForADeviceNotOnTheBusShowsNothing) {
    setPollRunning(false);
    dialog.Open("03 2A00000000000026");
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(state().curIndxHLT, 3);
    EXPECT_FALSE(pollRunning());
}

}  // namespace
}  // namespace velgrin
