#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "dialog_rig.h"
#include "hlt/hlt_config.h"
#include "reference_crc.h"
#include "ui/central_exception_handler.h"

namespace velgrin {
namespace {

using Block = sim::Ds2438Device::ConfigBlock;

// Channel 0 a HIH-4000, channel 1 a linear sensor, the temperature shown with -0,05 offset.
sim::HltBlockFields Configured() {
    sim::HltBlockFields f;
    f.sensor0Type = 1;
    f.s0Min = 0;
    f.s0Max = 100;
    f.s0MinVoltage = 0.826;
    f.s0MaxVoltage = 3.9743;
    f.s0UpValue = 80;
    f.s0DownValue = 20;
    f.sensor1Type = 5;
    f.s1Min = -50;
    f.s1Max = 150;
    f.s1MinVoltage = 0.01;
    f.s1MaxVoltage = 0.2;
    f.s1UpValue = 100;
    f.s1DownValue = -12.5;
    f.temperatureOffset = -0.05;
    f.tUpLimit = 40;
    f.tDownLimit = -10;
    return f;
}

int32_t Field(Block block, HltField field) {
    return HLTConfig(std::span<uint8_t, kHltBlockSize>(block)).get(field);
}

bool Sealed(Block block) {
    return block[5] == kHltConfigMark && testing::ReferenceCrc8(block) == 0;
}

class DialogOnHlt : public ::testing::Test, public testing::DialogRig {
  protected:
    void click(const char* name) {
        QWidget* w = dialog.findChild<QWidget*>(name);
        ASSERT_NE(w, nullptr) << name;
        QTest::mouseClick(w, Qt::LeftButton);
    }
    void type(const char* name, const char* text) {
        auto* edit = dialog.findChild<QLineEdit*>(name);
        ASSERT_NE(edit, nullptr) << name;
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromUtf8(text));
    }
    std::string text(const char* name) { return controls().text(name); }
    void openForEditing() {
        dialog.Open(cmbhlt);
        click("btnChange");
    }

    sim::Ds2438Device& device = AttachHlt(Configured());
};

TEST_F(DialogOnHlt, OpeningReadsTheDeviceShowsTheDialogAndLetsThePollRun) {
    setPollRunning(false);
    dialog.Open(cmbhlt);

    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(state().curIndxHLT, std::stoi(cmbhlt.substr(0, 2)));
    EXPECT_TRUE(pollRunning());
    EXPECT_EQ(controls().itemIndex("rg0"), 1);
    EXPECT_EQ(controls().itemIndex("rg1"), 5);
    EXPECT_TRUE(controls().visible("btnS0_H_select"));
    EXPECT_FALSE(controls().visible("btnS1_H_select"));
    EXPECT_EQ(text("edtS0minVoltage"), "0,826");
    EXPECT_EQ(text("edtS1DownValue"), "-12,5");
    EXPECT_EQ(text("edtTdis"), "-0,05");
    EXPECT_TRUE(controls().checked("chkUseT"));
    EXPECT_EQ(text("edtTupLimit"), "40");
    EXPECT_EQ(text("lblTCurrentValue"), "24,95C");
    EXPECT_EQ(controls().color("pnl2"), colors::kButtonFace);
    // The dialog became visible after the read: the live labels wait for the next tick.
    EXPECT_EQ(text("lblCurrentT"), "T = XX,XX");
    Tick();
    EXPECT_EQ(text("lblCurrentT"), "T = 25C");
}

TEST_F(DialogOnHlt, AChangedConfigurationIsWrittenAndReadBack) {
    const Block before = device.configBlock();
    openForEditing();
    click("rg1_6");
    type("edtS0UpValue", "85,5");
    type("edtTupLimit", "45");
    click("btnWrite");

    EXPECT_TRUE(host.messages.empty());
    const Block after = device.configBlock();
    EXPECT_TRUE(Sealed(after));
    EXPECT_EQ(Field(after, hlt_field::SensorTypes), 0x16);
    EXPECT_EQ(Field(after, hlt_field::S0UpValue), 855);
    EXPECT_EQ(Field(after, hlt_field::TupLimit), 450);
    // Fields that "Без датчика" leaves unchecked go back as they were.
    for (HltField f :
         {hlt_field::S1min, hlt_field::S1Max, hlt_field::S1minVoltage, hlt_field::S1MaxVoltage,
          hlt_field::S1UpValue, hlt_field::S1DownValue, hlt_field::S0minVoltage, hlt_field::Tdis}) {
        EXPECT_EQ(Field(after, f), Field(before, f)) << int(f.offset);
    }

    EXPECT_FALSE(dialog.flgEditHLT);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(pollRunning());
    EXPECT_TRUE(controls().enabled("btnChange"));
    EXPECT_FALSE(controls().enabled("btnWrite"));

    controls().setColor("pnl2", colors::kRed);
    Tick();
    EXPECT_EQ(controls().color("pnl2"), colors::kButtonFace);
    EXPECT_EQ(text("edtS0UpValue"), "85,5");
    EXPECT_EQ(text("edtTupLimit"), "45");
    EXPECT_EQ(text("lblS1CurrentValue"), "ОТКЛЮЧЕН");
}

TEST_F(DialogOnHlt, AnInvalidEditKeepsEditModeAndWritesNothing) {
    const Block before = device.configBlock();
    openForEditing();
    type("edtTupLimit", "150,1");
    click("btnWrite");

    EXPECT_EQ(host.messages, std::vector<std::string>{"Неверное значение параметра Температура "
                                                      "Верхний предел!\r\nДолжно быть -50..150"});
    EXPECT_EQ(text("edtTupLimit"), "40");
    EXPECT_EQ(device.configBlock(), before);
    EXPECT_TRUE(dialog.flgEditHLT);
    EXPECT_TRUE(controls().enabled("btnWrite"));
    EXPECT_FALSE(pollRunning());
}

TEST_F(DialogOnHlt, CancelWritesNothingAndTheNextTickShowsTheDeviceAgain) {
    const Block before = device.configBlock();
    openForEditing();
    click("rg0_6");
    type("edtTupLimit", "99");
    click("btnCancel");

    EXPECT_EQ(device.configBlock(), before);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(dialog.flgEditHLT);

    Tick();
    EXPECT_EQ(controls().itemIndex("rg0"), 1);
    EXPECT_EQ(text("edtTupLimit"), "40");
}

TEST_F(DialogOnHlt, WriteCrcSealsADamagedBlockAsTheDeviceHoldsIt) {
    Block damaged = device.configBlock();
    damaged[31] ^= 0x5A;
    device.setConfigBlock(damaged);
    openForEditing();
    ASSERT_EQ(controls().color("pnl2"), colors::kRed);
    type("edtS0UpValue", "1");

    click("btnReload");
    const Block after = device.configBlock();
    EXPECT_TRUE(Sealed(after));
    EXPECT_TRUE(std::equal(after.begin(), after.begin() + 31, damaged.begin()));
    // The re-read replaced what was typed; the typed value never reached the device.
    EXPECT_EQ(text("edtS0UpValue"), "80");
    EXPECT_TRUE(controls().enabled("btnReload"));
    EXPECT_FALSE(host.busyCursor);
    EXPECT_TRUE(pollRunning());

    click("btnCancel");
    Tick();
    EXPECT_EQ(controls().color("pnl2"), colors::kButtonFace);
}

TEST_F(DialogOnHlt, AWriteAfterWriteCrcStartsFromTheSealedBlock) {
    openForEditing();
    click("btnReload");
    ASSERT_TRUE(host.messages.empty());
    type("edtS0UpValue", "85,5");
    click("btnWrite");

    EXPECT_TRUE(host.messages.empty());
    const Block after = device.configBlock();
    EXPECT_TRUE(Sealed(after));
    EXPECT_EQ(Field(after, hlt_field::S0UpValue), 855);
    EXPECT_FALSE(dialog.flgEditHLT);
}

TEST_F(DialogOnHlt, WriteCrcOnADeviceThatCouldNotBeReadWritesNothing) {
    openForEditing();
    // An edit held in the buffer only: sealed, it would reach the device unseen.
    click("chkUseT");
    const Block before = device.configBlock();
    const RomCode rom = device.rom();
    ASSERT_TRUE(bench->park(rom));
    // Back in time for a write's first access retry.
    bench->schedule(bench->elapsedMs() + 100, "back", [rom](sim::SimBench& b) { b.unpark(rom); });

    click("btnReload");
    EXPECT_EQ(host.messages, std::vector<std::string>{"Не удалось записать параметры"});
    EXPECT_TRUE(controls().enabled("btnReload"));
    EXPECT_FALSE(host.busyCursor);

    host.sleep(100);
    bench->catchUp();
    ASSERT_EQ(bench->parked(rom), nullptr);
    EXPECT_EQ(device.configBlock(), before);
}

TEST_F(DialogOnHlt, AFailureDuringWriteCrcIsReportedAndLeavesThePollStopped) {
    openForEditing();
    const Block before = device.configBlock();
    SetExceptionReportHost(&host);
    host.onProcessMessages = [] { throw std::runtime_error("bus gone"); };
    click("btnReload");
    host.onProcessMessages = nullptr;
    SetExceptionReportHost(nullptr);

    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(device.configBlock(), before);
    EXPECT_TRUE(controls().enabled("btnReload"));
    EXPECT_FALSE(host.busyCursor);
    EXPECT_FALSE(pollRunning());
}

TEST_F(DialogOnHlt, InViewModeEveryTickRefreshesTheDialog) {
    dialog.Open(cmbhlt);
    for (auto [celsius, shown] : {std::pair{30.0, "30"}, {31.5, "31,5"}}) {
        device.setTemperature(sim::SimValue::Constant(celsius));
        sim::HltBlockFields changed = Configured();
        changed.s0UpValue = celsius;
        device.setConfigBlock(sim::EncodeHltBlock(changed));

        Tick();
        EXPECT_EQ(text("lblCurrentT"), std::string("T = ") + shown + "C");
        EXPECT_EQ(text("edtS0UpValue"), shown);
        EXPECT_TRUE(pollRunning());
        EXPECT_EQ(controls().color("shpindik"), colors::kLime);
    }
}

TEST_F(DialogOnHlt, ClosedInEditModeTheDialogHoldsThePollOffUntilCancelled) {
    openForEditing();
    dialog.close();
    EXPECT_TRUE(dialog.flgEditHLT);

    device.setTemperature(sim::SimValue::Constant(30));
    bench->bus().clearEvents();
    bench->bus().setRecording(true);
    Tick();
    EXPECT_TRUE(bench->bus().events().empty());
    controls().setText("lblCurrentT", "T = 25C");

    dialog.Open(cmbhlt);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(controls().enabled("btnChange"));
    click("btnCancel");
    Tick();
    EXPECT_EQ(text("lblCurrentT"), "T = 30C");
}

TEST_F(DialogOnHlt, UncheckingShowOnDeviceWritesTheNotShownMark) {
    openForEditing();
    click("chkUseT");
    EXPECT_EQ(text("edtTdis"), "0");
    click("btnWrite");

    EXPECT_EQ(Field(device.configBlock(), hlt_field::Tdis), kTdisNotShown);
    Tick();
    EXPECT_FALSE(controls().checked("chkUseT"));
    EXPECT_EQ(text("edtTdis"), "0");
    EXPECT_EQ(text("lblTCurrentValue"), "25C");
}

// Where the keyboard focus rests after each of the dialog's writes, started with the keyboard.
TEST_F(DialogOnHlt, AfterEachWriteTheFocusIsWhereTheTechnicianCanGoOn) {
    openForEditing();
    QApplication::setActiveWindow(&dialog);
    const auto pressWithKeyboard = [&](const char* name) {
        auto* button = dialog.findChild<QPushButton*>(name);
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Space);
        QWidget* focus = QApplication::focusWidget();
        return focus != nullptr ? focus->objectName().toStdString() : "nothing";
    };
    // "Записать" ends edit mode, so "Изменить" is next; "Записать CRC" is usable again
    // afterwards.
    EXPECT_EQ(pressWithKeyboard("btnWrite"), "btnChange");
    click("btnChange");
    EXPECT_EQ(pressWithKeyboard("btnReload"), "btnReload");
    EXPECT_EQ(host.messages, std::vector<std::string>{});
    EXPECT_TRUE(Sealed(device.configBlock()));
}

TEST_F(DialogOnHlt, AssistantButtonsFillTheirChannelsEdits) {
    openForEditing();
    host.inputAnswers = {"0,8", "30"};
    click("btnS0_H_select");
    EXPECT_EQ(text("edtS0minVoltage"), "0,8");
    EXPECT_EQ(text("edtS0MaxVoltage"), "3,8");
    EXPECT_EQ(state().HLTS.get(hlt_field::S0MaxVoltage), 38000);

    host.inputAnswers = {"0", "100", "10", "90", "1", "0,", "4,0"};
    click("btnWiz");
    EXPECT_EQ(text("edtS1Max"), "100");
    // 4 V at the input over the divider's 20,54545.
    EXPECT_EQ(text("edtS1MaxVoltage"), "0,194690308559803");
    EXPECT_EQ(host.messages.back(), "Перемычка на плате J4 должна быть установлена!");
}

}  // namespace
}  // namespace velgrin
