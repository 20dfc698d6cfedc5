#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <QComboBox>
#include <QLabel>
#include <QTest>

#include "common/number_text.h"
#include "window_rig.h"
#include "wire/rom_code.h"
#include "wire/sim/sim_device.h"

namespace velgrin {
namespace {

// A logger whose subtype probe, inside the poll's search, meets an exception once.
class ThrowingLogger final : public sim::SimDevice {
  public:
    using SimDevice::SimDevice;
    std::string model() const override { return "throwing logger"; }
    bool thrown = false;

  protected:
    void onFunctionByte(uint8_t, uint64_t) override {
        if (!thrown) {
            thrown = true;
            throw std::runtime_error("probe went wrong");
        }
    }
};

// The demo bench as the search finds it: table index and ROM text by tab.
const QStringList kThermometers{"00 F3000802B31C4010", "01 060000071D3E5A28",
                                "02 290000071D42B728"};
const QStringList kMultisensors{"03 09000001C4E98126"};
const QStringList kLoggers{"06 890000003A7C1141", "07 E02540009F123421"};
constexpr const char* kAdapterChip = "EC00000024A1C381";

class Poll : public ::testing::Test, public testing::WindowRig {
  protected:
    bool AllListsEmpty() {
        for (const char* list : {"cmb1820", "cmbhlt", "cmbSN", "cmbDs192x"}) {
            if (!Items(list).isEmpty() || !ui().text(list).empty()) {
                return false;
            }
        }
        return true;
    }
};

TEST_F(Poll, FirstTickListsTheBenchByTabAndShowsTheAdapter) {
    Tick();

    EXPECT_EQ(ui().text("stat11"), "Адаптер найден");
    EXPECT_EQ(ui().color("shpindik"), colors::kLime);
    EXPECT_EQ(ui().text("Stat1"), kAdapterChip);
    EXPECT_EQ(Items("cmb1820"), kThermometers);
    EXPECT_EQ(ui().text("cmb1820"), kThermometers[0].toStdString());
    EXPECT_EQ(Items("cmbhlt"), kMultisensors);
    EXPECT_EQ(Items("cmbSN"), kLoggers);
    EXPECT_EQ(Items("cmbDs192x"), kLoggers);
    EXPECT_EQ(ui().text("cmbSN"), kLoggers[0].toStdString());
    for (const char* page : {"ds1820", "HLT", "Reg", "ds192x", "Настр", "TabInfo"}) {
        EXPECT_TRUE(ui().enabled(page)) << page;
    }
    EXPECT_FALSE(ui().visible("ds192x"));
    EXPECT_TRUE(window.tmrg().Enabled());
}

TEST_F(Poll, NextTickShowsTheSelectedThermometersValues) {
    Tick();
    Tick();
    // Entry 00 is the DS18S20 with TH 25 and TL 15, near 19 degrees.
    EXPECT_EQ(ui().text("edt1820up"), "25");
    EXPECT_EQ(ui().text("edt1820down"), "15");
    const auto shown = ParseNumber(ui().text("lblT1820"));
    ASSERT_TRUE(shown.has_value()) << ui().text("lblT1820");
    EXPECT_NEAR(*shown, 19.0, 1.0);
    EXPECT_EQ(Items("cmb1820"), kThermometers);
}

TEST_F(Poll, UnpluggedAdapterEmptiesTheViewsWithoutDisablingTabsUntilReplugged) {
    Tick();
    bench->unplugged = true;
    Tick();

    EXPECT_EQ(ui().text("stat11"), " Проверьте подключение адаптера 1Wire!!!");
    EXPECT_EQ(Find<QLabel>("stat11")->toolTip(),
              "the simulated adapter is unplugged\nnext step: velgrin-cli doctor");
    EXPECT_EQ(ui().color("shpindik"), colors::kRed);
    EXPECT_EQ(ui().text("Stat1"), "");
    EXPECT_TRUE(AllListsEmpty());
    EXPECT_EQ(ui().text("lblT1820"), "--,--");
    for (const char* page : {"ds1820", "HLT", "Reg"}) {
        EXPECT_TRUE(ui().enabled(page)) << page;
    }

    bench->unplugged = false;
    Tick();
    EXPECT_EQ(ui().text("stat11"), "Адаптер найден");
    EXPECT_EQ(Find<QLabel>("stat11")->toolTip(), "");
    EXPECT_EQ(ui().color("shpindik"), colors::kLime);
    EXPECT_EQ(ui().text("Stat1"), kAdapterChip);
    EXPECT_EQ(Items("cmb1820"), kThermometers);
    EXPECT_EQ(Items("cmbSN"), kLoggers);
}

TEST_F(Poll, ARemovedMultisensorDisablesItsTabAtTheRebuild) {
    Tick();
    ASSERT_TRUE(bench->park(*ParseRomText("09000001C4E98126")));
    Tick();
    EXPECT_FALSE(ui().enabled("HLT"));
    EXPECT_TRUE(Items("cmbhlt").isEmpty());
    EXPECT_TRUE(ui().enabled("Reg"));
    EXPECT_EQ(Items("cmb1820").size(), 3);
}

TEST_F(Poll, RefusedSessionChangesNothingOnTheWindow) {
    Tick();
    Tick();
    const auto snapshot = [this] {
        std::vector<std::string> texts;
        for (const char* name : {"stat11", "Stat1", "lblT1820", "edt1820up", "edt1820down",
                                 "cmb1820", "cmbhlt", "cmbSN"}) {
            texts.push_back(ui().text(name));
        }
        for (const char* list : {"cmb1820", "cmbhlt", "cmbSN", "cmbDs192x"}) {
            texts.push_back(Items(list).join("|").toStdString());
        }
        for (const char* page : {"ds1820", "HLT", "Reg"}) {
            texts.push_back(ui().enabled(page) ? "on" : "off");
        }
        return texts;
    };
    const auto before = snapshot();
    bench->sessionRefused = true;
    Tick();
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(ui().color("shpindik"), colors::kLime);
}

class NoDefaultPort : public ::testing::Test, public testing::WindowRig {
  public:
    NoDefaultPort() : WindowRig(false) {}
};

TEST_F(NoDefaultPort, FirstTickAsksForManualSetUpOnceAndShowsNoPortChosen) {
    Tick();
    EXPECT_EQ(host.messages, std::vector<std::string>{
                                 "Порт 1-wire \"по умолчанию\" не найден. Произведите настройку "
                                 "вручную."});
    EXPECT_EQ(ui().text("stat11"), "Не выбран порт для подключения!!!");
    EXPECT_EQ(ui().color("shpindik"), colors::kRed);
    EXPECT_EQ(ui().text("cbbPort"), "1");
    EXPECT_EQ(ui().text("cbAdapter"), "USB");
    // Shown by the program, not picked by the user: the choices stay unmade.
    EXPECT_EQ(window.core().defaultPort, 0);
    EXPECT_EQ(window.core().defaultAdapter, 0);

    Tick();
    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(ui().text("stat11"), "Ошибка настройки драйвера порта!!!");
    EXPECT_TRUE(Items("cmb1820").isEmpty());
}

TEST_F(Poll, TimerSquareTurnsRedWithinOneStatusTickOfThePollStopping) {
    window.setPollTimerEnabled(false);
    // The status timer runs every 200 ms; the wait ends as soon as it has, and its bound only
    // keeps a loaded machine from failing the test.
    EXPECT_TRUE(QTest::qWaitFor([this] { return ui().color("shpTimer") == colors::kRed; }, 20000));
    window.setPollTimerEnabled(true);
    EXPECT_TRUE(
        QTest::qWaitFor([this] { return ui().color("shpTimer") == colors::kGreen; }, 20000));
    window.setPollTimerEnabled(false);
}

TEST_F(Poll, TypedThermometerListTextIsReportedAndStopsThePoll) {
    Tick();
    QLineEdit* typing = Find<QComboBox>("cmb1820")->lineEdit();
    QTest::keyClick(typing, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(typing, "ab");
    ASSERT_EQ(ui().text("cmb1820"), "ab");
    ASSERT_TRUE(window.tmrg().Enabled());
    Tick();

    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("\"ab\""), std::string::npos) << host.messages[0];
    EXPECT_FALSE(window.tmrg().Enabled());

    // A pick from the list switches the poll on again.
    auto* list = Find<QComboBox>("cmb1820");
    list->setCurrentIndex(1);
    Q_EMIT list->activated(1);
    EXPECT_TRUE(window.tmrg().Enabled());
    Tick();
    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(ui().text("edt1820up"), "30");
}

TEST_F(Poll, ATickArrivingInsideARunningTickIsDropped) {
    Tick();
    Tick();
    const uint64_t resetsBefore = bench->bus().resets();
    Tick();
    const uint64_t plainTickResets = bench->bus().resets() - resetsBefore;

    int nested = 0;
    host.onProcessMessages = [&] {
        if (nested++ == 0) {
            Tick();
        }
    };
    const uint64_t before = bench->bus().resets();
    Tick();
    host.onProcessMessages = nullptr;

    EXPECT_EQ(window.droppedTicks(), 1);
    EXPECT_EQ(bench->bus().resets() - before, plainTickResets);
    EXPECT_TRUE(window.tmrg().Enabled());
}

TEST_F(Poll, AnExceptionInThePollIsReportedOnceAndTheNextPollRuns) {
    bench->bus().attach(std::make_unique<ThrowingLogger>(testing::TestRom(0x41, 0x77)));
    Tick();
    EXPECT_EQ(host.messages, std::vector<std::string>{"probe went wrong"});
    EXPECT_EQ(ui().color("shpindik"), colors::kRed);
    EXPECT_TRUE(window.tmrg().Enabled());

    Tick();
    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(ui().color("shpindik"), colors::kLime);
    EXPECT_EQ(Items("cmb1820"), kThermometers);
}

}  // namespace
}  // namespace velgrin
