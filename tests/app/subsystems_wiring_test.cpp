#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include "window_rig.h"

namespace velgrin {
namespace {

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
    const QString log = QDir(folder.path()).filePath("numbers.txt");
    host.saveAnswers.push_back(log.toStdString());
    Find<QCheckBox>("chkFileDs1820")->click();
    ASSERT_TRUE(ui().checked("ChkAutoStore"));

    Tick();
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("F3000802B31C4010"));
}

}  // namespace
}  // namespace velgrin
