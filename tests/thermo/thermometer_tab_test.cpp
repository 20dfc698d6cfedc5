#include <gtest/gtest.h>

#include "tab_rig.h"
#include "thermo/list_lookup.h"
#include "wire/rom_code.h"
#include "wire/sim/sim_ds18b20.h"

namespace velgrin {
namespace {

using testing::TabRig;

const std::string kInvalid = "Неверные параметры температурных порогов !!!";

struct ThresholdBoxes : ::testing::Test {
    TabRig t;
};

TEST_F(ThresholdBoxes, TypingStopsThePollAndEnablesTheButton) {
    t.controls.setText(thermo_control::kUpper, "3");
    EXPECT_TRUE(t.tab.ThresholdEditPending);
    EXPECT_FALSE(t.poll.enabled);
    EXPECT_TRUE(t.controls.enabled(thermo_control::kWrite));
}

TEST_F(ThresholdBoxes, ListChangeEmptiesTheBoxesAndRestartsThePoll) {
    t.Type("30", "10");
    t.controls.log.clear();
    t.tab.cmb1820Change();
    // Each emptied box runs its change handler, which enables the button.
    EXPECT_EQ(t.controls.log,
              (std::vector<std::string>{"edt1820up=", "btn1820wr.enabled",
                                        "edt1820down=", "btn1820wr.enabled", "lblT1820=--,--"}));
    EXPECT_FALSE(t.tab.ThresholdEditPending);
    EXPECT_TRUE(t.poll.enabled);
}

struct ThresholdValidation
    : ::testing::TestWithParam<std::tuple<const char*, const char*, std::string>> {
    TabRig t;
};

TEST_P(ThresholdValidation, MessageAndNothingWritten) {
    const auto& [upper, lower, message] = GetParam();
    // A listed thermometer that a write would reach.
    auto& device = static_cast<sim::Ds18x20Device&>(
        t.rig.bus().attach(std::make_unique<sim::Ds18b20Device>(testing::TestRom(0x28, 0x1A2B3C))));
    device.setAlarmThresholds(30, 10);
    (void)t.rig.core.ScanSessionAndSearch();
    const std::string entry = "00 " + RomText(device.rom());
    t.controls.setText(thermo_control::kList, entry);
    t.Type(upper, lower);
    t.rig.bus().clearEvents();
    t.tab.btn1820wrClick({entry});
    EXPECT_EQ(t.rig.host.messages, std::vector<std::string>{message});
    EXPECT_TRUE(t.rig.bus().events().empty());
    EXPECT_EQ(device.scratchpad()[2], 30);
    EXPECT_EQ(device.scratchpad()[3], 10);
    EXPECT_FALSE(t.tab.ThresholdEditPending);
    EXPECT_TRUE(t.poll.enabled);
    EXPECT_EQ(t.controls.text(thermo_control::kUpper), upper);
    EXPECT_EQ(t.controls.text(thermo_control::kLower), lower);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ThresholdValidation,
    ::testing::Values(std::make_tuple("125,5", "0", kInvalid + "\r\nСлишком большое значение!"),
                      std::make_tuple("30", "-55,1", kInvalid + "\r\nСлишком маленькое значение!"),
                      std::make_tuple("200", "-60", kInvalid + "\r\nСлишком большое значение!"),
                      std::make_tuple("", "10", kInvalid),
                      std::make_tuple("30", "десять", kInvalid)));

struct WriteWithoutDevice : ::testing::Test {
    TabRig t;
};

TEST_F(WriteWithoutDevice, EmptyListAllWriteRestoresTheWindow) {
    t.controls.setChecked(thermo_control::kWriteAll, true);
    t.Type("125", "-55");
    t.controls.log.clear();
    t.tab.btn1820wrClick({});
    EXPECT_TRUE(t.rig.host.messages.empty());
    EXPECT_TRUE(t.rig.bus().events().empty());
    EXPECT_EQ(t.progress.maximum, 0);
    EXPECT_EQ(t.progress.positions, (std::vector<int>{0, 0}));
    EXPECT_FALSE(t.controls.visible(thermo_control::kProgress));
    for (const char* name : {"cmb1820", "Chk1820wr_all", "edt1820up", "edt1820down"}) {
        EXPECT_TRUE(t.controls.enabled(name)) << name;
    }
    // Emptying the boxes counts as a change: the button is usable again and the edit pending.
    EXPECT_EQ(t.controls.text(thermo_control::kUpper), "");
    EXPECT_EQ(t.controls.text(thermo_control::kLower), "");
    EXPECT_TRUE(t.controls.enabled(thermo_control::kWrite));
    EXPECT_TRUE(t.tab.ThresholdEditPending);
    EXPECT_TRUE(t.poll.enabled);
}

TEST_F(WriteWithoutDevice, UnknownSelectedEntryLeavesTheBoxesAndRestartsThePoll) {
    t.controls.setText(thermo_control::kList, "00 d20000001a2b3c28");
    t.Type("30", "10");
    t.tab.btn1820wrClick({"00 d20000001a2b3c28"});
    EXPECT_TRUE(t.rig.host.messages.empty());
    EXPECT_TRUE(t.rig.bus().events().empty());
    EXPECT_EQ(t.controls.text(thermo_control::kUpper), "30");
    EXPECT_TRUE(t.controls.enabled(thermo_control::kWrite));
    EXPECT_FALSE(t.controls.visible(thermo_control::kProgress));
    EXPECT_FALSE(t.tab.ThresholdEditPending);
    EXPECT_TRUE(t.poll.enabled);
}

TEST_F(WriteWithoutDevice, UnknownEntryInAnAllWriteRestoresTheWindow) {
    t.controls.setChecked(thermo_control::kWriteAll, true);
    t.Type("30", "10");
    t.poll.enabled = false;
    t.tab.btn1820wrClick({"00 D20000001A2B3C28", "01 7E06050403020110"});
    EXPECT_EQ(t.progress.positions, (std::vector<int>{0, 0, 0}));
    EXPECT_FALSE(t.controls.visible(thermo_control::kProgress));
    for (const char* name : {"cmb1820", "Chk1820wr_all", "btn1820wr", "edt1820up", "edt1820down"}) {
        EXPECT_TRUE(t.controls.enabled(name)) << name;
    }
    EXPECT_EQ(t.controls.text(thermo_control::kLower), "10");
    EXPECT_TRUE(t.poll.enabled);
}

TEST(ThermometerDisplay, EmptyListKeepsTheDashes) {
    TabRig t;
    t.tab.RefreshSelectedThermometer();
    EXPECT_EQ(t.controls.text(thermo_control::kTemperature), "--,--");
    EXPECT_TRUE(t.controls.log.empty());
    EXPECT_TRUE(t.rig.bus().events().empty());
}

TEST(ThermometerDisplay, ListTextWithoutAnIndexIsAnError) {
    TabRig t;
    t.controls.setText(thermo_control::kList, "xy D20000001A2B3C28");
    EXPECT_THROW(t.tab.RefreshSelectedThermometer(), ListIndexError);
    EXPECT_TRUE(t.rig.bus().events().empty());
}

}  // namespace
}  // namespace velgrin
