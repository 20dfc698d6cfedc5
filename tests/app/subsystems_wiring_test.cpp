#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>

#include "log_lines.h"
#include "window_rig.h"

namespace velgrin {
namespace {

using ::testing::ElementsAre;

class Wiring : public ::testing::Test, public testing::WindowRig {};

TEST_F(Wiring, SettingsDialogOpensFromTheMultisensorTabAndTicksPaintItsIndicator) {
    Tick();
    Find<QPushButton>("btnSetHum")->click();
    ASSERT_TRUE(dialog.isVisible());

    dialog.controls().setColor("shpindik", colors::kRed);
    Tick();
    EXPECT_EQ(dialog.controls().color("shpindik"), colors::kLime);
    dialog.hide();
}

TEST_F(Wiring, TicksDoNothingWhileTheSettingsDialogEdits) {
    Tick();
    dialog.flgEditHLT = true;
    const uint64_t resets = bench->bus().resets();
    Tick();
    EXPECT_EQ(bench->bus().resets(), resets);
    EXPECT_TRUE(window.tmrg().Enabled());
}

TEST_F(Wiring, AutoStoreLogsTheFirstThermometerAtTheRebuild) {
    QTemporaryDir folder;
    const std::string log = QDir(folder.path()).filePath("numbers.txt").toStdString();
    host.saveAnswers.push_back(log);
    Find<QCheckBox>("chkFileDs1820")->click();
    ASSERT_TRUE(ui().checked("ChkAutoStore"));

    Tick();
    // The first thermometer and the first logger in search order, each once, in table order.
    EXPECT_THAT(
        testing::LogLines(log),
        ElementsAre("Adapters SN EC00000024A1C381", " ", " ",
                    testing::TypeLine("DS18S20 Temperature Sensor -50..+125C"), "F3000802B31C4010",
                    " ", testing::TypeLine("DS1922L - Термохрон"), "890000003A7C1141"));
}

}  // namespace
}  // namespace velgrin
