#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "app/frm_main.h"
#include "bench_rig.h"
#include "qt_test_app.h"
#include "scripted_host.h"
#include "ui/central_exception_handler.h"
#include "wire/rom_code.h"
#include "wire/sim/sim_ds18b20.h"
#include "wire/sim/sim_ds18s20.h"
#include "wire/sim/sim_models.h"

namespace velgrin {
namespace {

using sim::Ds18x20Device;

const std::string kInvalid = "Неверные параметры температурных порогов !!!";
const std::string kTooHigh = kInvalid + "\r\nСлишком большое значение!";
const std::string kTooLow = kInvalid + "\r\nСлишком маленькое значение!";

// What the all-thermometers write disables while it runs.
constexpr const char* kWriteControls[] = {"cmb1820", "Chk1820wr_all", "btn1820wr", "edt1820up",
                                          "edt1820down"};

// The main window over a bench holding only what the test attaches, on the virtual clock with
// scripted dialogs. Ticks arrive as the timer thread delivers them.
class ThermometerWindow : public ::testing::Test {
  protected:
    ThermometerWindow() { SetExceptionReportHost(&host); }
    ~ThermometerWindow() override { SetExceptionReportHost(nullptr); }

    Ds18x20Device& AttachDs18b20(uint64_t serial, int8_t th, int8_t tl) {
        return Attach(std::make_unique<sim::Ds18b20Device>(testing::TestRom(0x28, serial)), th, tl);
    }
    Ds18x20Device& AttachDs18s20(uint64_t serial, int8_t th, int8_t tl) {
        return Attach(std::make_unique<sim::Ds18s20Device>(testing::TestRom(0x10, serial)), th, tl);
    }
    // A device of no thermometer family: the bench is not empty, the thermometer list is.
    void AttachPlainRom() {
        bench->bus().attach(sim::MakeDevice("rom", testing::TestRom(0x01, 7)));
    }

    void Tick() {
        TksTimerTickEvent tick(++callbacks_);
        QCoreApplication::sendEvent(window.tmrg().WindowHandle(), &tick);
    }

    template <typename Widget>
    Widget* Find(const char* name) {
        return window.findChild<Widget*>(QString::fromUtf8(name));
    }
    ControlSurface& ui() { return window.controls(); }
    bool editPending() { return window.thermometerTab().ThresholdEditPending; }

    // Replaces a box's text as the user does: select all, delete, type.
    void TypeInto(const char* box, const QString& text) {
        auto* edit = Find<QLineEdit>(box);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }
    void Type(const QString& upper, const QString& lower) {
        TypeInto("edt1820up", upper);
        TypeInto("edt1820down", lower);
    }
    void ClickWrite() { Find<QPushButton>("btn1820wr")->click(); }

    // The device behind the list's entry `i`.
    Ds18x20Device& Listed(int i) {
        const std::string rom = Find<QComboBox>("cmb1820")->itemText(i).mid(3).toStdString();
        for (Ds18x20Device* device : thermometers_) {
            if (RomText(device->rom()) == rom) {
                return *device;
            }
        }
        throw std::logic_error("no attached thermometer behind entry " + std::to_string(i));
    }

    // The tab as the user sees it: the progress bar, which write controls are usable and, by
    // list position, which thermometers' scratchpads hold TH and TL.
    std::string TabState(uint8_t th, uint8_t tl) {
        auto* bar = Find<QProgressBar>("Progress_wr_1820");
        std::string state = "at " + std::to_string(bar->value()) + " in " +
                            std::to_string(bar->minimum()) + ".." + std::to_string(bar->maximum()) +
                            (ui().visible("Progress_wr_1820") ? " shown" : " hidden");
        for (const char* name : kWriteControls) {
            state += ui().enabled(name) ? std::string(", ") + name : "";
        }
        state += ", written ";
        for (int i = 0; i < Find<QComboBox>("cmb1820")->count(); ++i) {
            const auto pad = Listed(i).scratchpad();
            state += pad[2] == th && pad[3] == tl ? '1' : '0';
        }
        return state;
    }

    QApplication& app = testing::TestApp();
    VirtualClock clock;
    testing::ScriptedHost host{clock};
    std::shared_ptr<sim::SimBench> bench = std::make_shared<sim::SimBench>(clock);
    TmexDriver driver{testing::BenchRegistry(bench), PortSpec{"bench", ""}};
    TFrmMain window{driver, host};

  private:
    Ds18x20Device& Attach(std::unique_ptr<Ds18x20Device> device, int8_t th, int8_t tl) {
        device->setAlarmThresholds(th, tl);
        thermometers_.push_back(device.get());
        bench->bus().attach(std::move(device));
        return *thermometers_.back();
    }

    std::vector<Ds18x20Device*> thermometers_;
    uint32_t callbacks_ = 0;
};

// One DS18B20 holding TH 30 and TL 10, listed and selected; the boxes are empty.
class ThresholdsOnOneThermometer : public ThermometerWindow {
  protected:
    ThresholdsOnOneThermometer() : device(AttachDs18b20(1, 30, 10)) { Tick(); }

    std::vector<uint8_t> Eeprom() {
        const auto bytes = device.eeprom();
        return {bytes[0], bytes[1]};
    }

    Ds18x20Device& device;
};

struct Rejected {
    const char* upper;
    const char* lower;
    std::string message;
};

void PrintTo(const Rejected& typed, std::ostream* os) {
    *os << '"' << typed.upper << "\" and \"" << typed.lower << '"';
}

class RejectedThresholds : public ThresholdsOnOneThermometer,
                           public ::testing::WithParamInterface<Rejected> {};

TEST_P(RejectedThresholds, ShowOneMessageAndWriteNothing) {
    Type(GetParam().upper, GetParam().lower);
    ASSERT_FALSE(window.tmrg().Enabled());
    ClickWrite();

    EXPECT_EQ(host.messages, std::vector<std::string>{GetParam().message});
    EXPECT_EQ(Eeprom(), (std::vector<uint8_t>{30, 10}));
    EXPECT_EQ(ui().text("edt1820up"), GetParam().upper);
    EXPECT_EQ(ui().text("edt1820down"), GetParam().lower);
    EXPECT_FALSE(editPending());
    EXPECT_TRUE(window.tmrg().Enabled());
}

INSTANTIATE_TEST_SUITE_P(
    Window, RejectedThresholds,
    ::testing::Values(Rejected{"125,5", "0", kTooHigh}, Rejected{"30", "-55,1", kTooLow},
                      Rejected{"200", "-60", kTooHigh}, Rejected{"", "10", kInvalid},
                      Rejected{"30", "", kInvalid}, Rejected{"30C", "10", kInvalid}));

TEST_F(ThresholdsOnOneThermometer, BoundsAreAcceptedAndWritten) {
    Type("125", "-55");
    ClickWrite();
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(Eeprom(), (std::vector<uint8_t>{0x7D, 0xC9}));
}

TEST_F(ThresholdsOnOneThermometer, UpperBelowLowerIsWrittenAsTyped) {
    Type("10", "20");
    ClickWrite();
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(Eeprom(), (std::vector<uint8_t>{10, 20}));
}

TEST_F(ThresholdsOnOneThermometer, AfterAWriteTheBoxesAreEmptyUntilThePollShowsTheDevice) {
    Tick();
    ASSERT_EQ(ui().text("edt1820up"), "30");
    Type("40", "-5");
    ClickWrite();

    EXPECT_EQ(ui().text("edt1820up"), "");
    EXPECT_EQ(ui().text("edt1820down"), "");
    // Emptying the boxes is a change like any other.
    EXPECT_TRUE(ui().enabled("btn1820wr"));
    EXPECT_TRUE(editPending());
    EXPECT_TRUE(window.tmrg().Enabled());
    EXPECT_FALSE(ui().visible("Progress_wr_1820"));

    Tick();
    EXPECT_EQ(ui().text("edt1820up"), "40");
    EXPECT_EQ(ui().text("edt1820down"), "-5");
    EXPECT_TRUE(host.messages.empty());
}

// Two thermometers listed; the technician writes with the keyboard, one or all of them.
class FocusAfterWrite : public ThermometerWindow, public ::testing::WithParamInterface<bool> {
  protected:
    FocusAfterWrite() {
        AttachDs18b20(1, 30, 10);
        AttachDs18b20(2, 25, 15);
        Tick();
        window.show();
        QApplication::setActiveWindow(&window);
    }
    static std::string Name(QWidget* widget) {
        return widget != nullptr ? widget->objectName().toStdString() : "nothing";
    }
};

TEST_P(FocusAfterWrite, ReturnsToWriteAndNeverRestsOnTheReadOnlyNumber) {
    if (GetParam()) {
        Find<QCheckBox>("Chk1820wr_all")->click();
    }
    Type("40", "-5");
    auto* write = Find<QPushButton>("btn1820wr");
    write->setFocus();
    std::vector<std::string> focusDuringWrite;
    host.onProcessMessages = [&] { focusDuringWrite.push_back(Name(QApplication::focusWidget())); };
    QTest::keyClick(write, Qt::Key_Space);
    host.onProcessMessages = nullptr;

    ASSERT_FALSE(focusDuringWrite.empty());
    for (const std::string& name : focusDuringWrite) {
        EXPECT_NE(name, "Stat1");
    }
    EXPECT_EQ(Name(QApplication::focusWidget()), "btn1820wr");
    EXPECT_EQ(Listed(0).eeprom()[0], 40);
    EXPECT_EQ(Listed(1).eeprom()[0] == 40, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Window, FocusAfterWrite, ::testing::Bool());

class WriteToAll : public ThermometerWindow {
  protected:
    void CheckWriteToAll() { Find<QCheckBox>("Chk1820wr_all")->click(); }
};

TEST_F(WriteToAll, WritesEachThermometerOnceInListOrderWithTheProgressBarShown) {
    AttachDs18b20(1, 30, 10);
    AttachDs18s20(2, 25, 15);
    AttachDs18b20(3, 8, 0);
    Tick();
    ASSERT_EQ(Find<QComboBox>("cmb1820")->count(), 3);
    CheckWriteToAll();
    Type("40", "-5");

    std::vector<std::string> duringWrites;
    host.onProcessMessages = [&] { duringWrites.push_back(TabState(40, 0xFB)); };
    ClickWrite();
    host.onProcessMessages = nullptr;

    EXPECT_EQ(duringWrites, (std::vector<std::string>{"at 0 in 0..3 shown, written 100",
                                                      "at 1 in 0..3 shown, written 110",
                                                      "at 2 in 0..3 shown, written 111"}));
    EXPECT_EQ(host.sleeps, (std::vector<uint32_t>{300, 300, 300}));
    EXPECT_EQ(TabState(40, 0xFB),
              "at 0 in 0..3 hidden, cmb1820, Chk1820wr_all, btn1820wr, edt1820up, edt1820down, "
              "written 111");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Listed(i).eeprom()[0], 40) << i;
        EXPECT_EQ(Listed(i).eeprom()[1], 0xFB) << i;
    }
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(ui().text("edt1820up"), "");
    EXPECT_TRUE(editPending());
    EXPECT_TRUE(window.tmrg().Enabled());
}

TEST_F(WriteToAll, EmptyListWritesNothingAndRestoresTheWindow) {
    AttachPlainRom();
    Tick();
    CheckWriteToAll();
    Type("30", "10");
    const int pumps = host.messagePumps;
    ClickWrite();

    EXPECT_EQ(host.messagePumps, pumps);
    EXPECT_TRUE(host.sleeps.empty());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(TabState(0, 0),
              "at 0 in 0..0 hidden, cmb1820, Chk1820wr_all, btn1820wr, edt1820up, edt1820down, "
              "written ");
    EXPECT_EQ(ui().text("edt1820up"), "");
    EXPECT_EQ(ui().text("edt1820down"), "");
    EXPECT_TRUE(editPending());
    EXPECT_TRUE(window.tmrg().Enabled());
}

class TemperatureDisplay : public ThermometerWindow {};

TEST_F(TemperatureDisplay, ThermometerGoneAfterTheSearchShowsThePreviousReadingQuietly) {
    AttachDs18b20(1, 0, 0);
    AttachDs18b20(2, 0, 0);
    Tick();
    Ds18x20Device& first = Listed(0);
    Ds18x20Device& second = Listed(1);
    first.setTemperature(sim::SimValue::Constant(21.5));
    first.setAlarmThresholds(30, 10);
    second.setTemperature(sim::SimValue::Constant(5));
    Tick();
    ASSERT_EQ(ui().text("lblT1820"), "21,5");

    // A poll with nothing selected costs exactly the search.
    auto* list = Find<QComboBox>("cmb1820");
    list->lineEdit()->selectAll();
    QTest::keyClick(list->lineEdit(), Qt::Key_Backspace);
    ASSERT_EQ(ui().text("lblT1820"), "--,--");
    const uint64_t before = bench->bus().slots();
    Tick();
    const uint64_t searchSlots = bench->bus().slots() - before;

    QTest::keyClick(list, Qt::Key_Down);
    ASSERT_EQ(list->currentIndex(), 1);
    first.setTemperature(sim::SimValue::Constant(23));
    const auto untouched = second.scratchpad();
    ASSERT_TRUE(bench->bus().leaveAfterSlots(second.rom(), searchSlots));
    Tick();

    // Found by the search, gone before its measurement could reach it.
    EXPECT_EQ(bench->bus().find(second.rom()), nullptr);
    EXPECT_EQ(second.scratchpad(), untouched);
    EXPECT_EQ(list->count(), 2);
    EXPECT_EQ(ui().text("cmb1820"), list->itemText(1).toStdString());
    EXPECT_EQ(ui().text("lblT1820"), "21,5");
    EXPECT_EQ(ui().text("edt1820up"), "30");
    EXPECT_EQ(ui().text("edt1820down"), "10");
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(TemperatureDisplay, EmptyListKeepsTheDashes) {
    AttachPlainRom();
    Tick();
    Tick();
    EXPECT_EQ(ui().text("lblT1820"), "--,--");
    EXPECT_EQ(ui().text("edt1820up"), "");
    EXPECT_EQ(ui().text("edt1820down"), "");
    EXPECT_FALSE(ui().enabled("btn1820wr"));
    EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace velgrin
