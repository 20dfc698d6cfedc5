#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "number_log_fixture.h"

namespace velgrin::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using AutoStoreSwitchTest = NumberLogTest;

TEST_F(AutoStoreSwitchTest, IndicatorShowsTheTypeEvenWithAutoStoreOff) {
    Rebuild({kDs18B20First});

    EXPECT_EQ(surface.color("shp1"), colors::kGreen);
    EXPECT_EQ(core.TypeButtonString, "DS18B20 Temperature Sensor +125C..-50C");
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    EXPECT_EQ(host.beeps, 0);
}

TEST_F(AutoStoreSwitchTest, CheckingAsksForTheFileOnceWithTxtExtension) {
    SwitchAutoStoreOn(logFile);
    log.ChkAutoStoreClick();

    EXPECT_THAT(host.saveExtensions, ElementsAre("txt"));
    EXPECT_EQ(log.autoStore().tmpStoreFile, logFile.string());
}

TEST_F(AutoStoreSwitchTest, CancelledDialogLeavesTheBoxCheckedAndStoresNothing) {
    surface.setChecked("ChkAutoStore", true);
    log.ChkAutoStoreClick();
    Rebuild({kDs18B20First});

    EXPECT_TRUE(surface.checked("ChkAutoStore"));
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    EXPECT_THAT(log.autoStore().List, IsEmpty());

    SwitchAutoStoreOff();
    SwitchAutoStoreOn(logFile);
    Rebuild({kDs18B20First});
    EXPECT_EQ(MainLines().back(), "6C0000045A8B1A28");
}

TEST_F(AutoStoreSwitchTest, UncheckedBoxStopsStoringAndForgetsTheFile) {
    SwitchAutoStoreOn(logFile);
    SwitchAutoStoreOff();
    Rebuild({kDs18B20First});

    EXPECT_TRUE(log.autoStore().tmpStoreFile.empty());
    EXPECT_FALSE(std::filesystem::exists(logFile));
}

TEST_F(AutoStoreSwitchTest, ThermometerTabBoxSwitchesAutoStoreOnAndOff) {
    host.saveAnswers.push_back(logFile.string());
    surface.setChecked("chkFileDs1820", true);
    log.chkFileDs1820Click();

    EXPECT_TRUE(surface.checked("ChkAutoStore"));
    EXPECT_EQ(log.autoStore().tmpStoreFile, logFile.string());

    surface.setChecked("chkFileDs1820", false);
    log.chkFileDs1820Click();

    EXPECT_FALSE(surface.checked("ChkAutoStore"));
    EXPECT_TRUE(log.autoStore().tmpStoreFile.empty());
    EXPECT_THAT(host.saveExtensions, ElementsAre("txt"));
}

}  // namespace
}  // namespace velgrin::testing
