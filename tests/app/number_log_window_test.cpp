#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QCheckBox>
#include <QDir>
#include <QTemporaryDir>

#include "bench_rig.h"
#include "log_lines.h"
#include "window_rig.h"
#include "wire/rom_code.h"
#include "wire/sim/sim_ds18s20.h"

namespace velgrin {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::Matcher;
using testing::TypeLine;

constexpr const char* kDs18S20Type = "DS18S20 Temperature Sensor -50..+125C";
constexpr const char* kDs1922Type = "DS1922L - Термохрон";
// A DS18B20 of the demo bench, listed after its first thermometer, the DS18S20 F3000802B31C4010.
constexpr const char* kLaterThermometer = "060000071D3E5A28";

// The main window's auto-store on the demo bench, driven by the window's own poll ticks; the
// log files are read back line by line.
class WindowNumberLog : public ::testing::Test, public testing::WindowRig {
  protected:
    WindowNumberLog() {
        logFile = QDir(folder.path()).filePath("numbers.txt").toStdString();
        host.saveAnswers.push_back(logFile);
        Find<QCheckBox>("chkFileDs1820")->click();
    }

    std::vector<std::string> MainLines() const { return testing::LogLines(logFile); }
    std::vector<std::string> CompanionLines() const {
        return testing::LogLines(logFile + "_e_.txt");
    }

    QTemporaryDir folder;
    std::string logFile;
};

// The main file's lines are checked by the wiring test.
TEST_F(WindowNumberLog, TheFirstRebuildStoresTheFirstThermometerAndTheFirstLoggerOnceEach) {
    Tick();

    EXPECT_THAT(CompanionLines(),
                ElementsAre("Adapters SN EC00000024A1C381", " ", " ", TypeLine(kDs18S20Type),
                            "10401CB3020800F3", " ", TypeLine(kDs1922Type), "41117C3A00000089"));
    // Three thermometers and two loggers listed: the later steps find their list's first
    // number stored already.
    EXPECT_EQ(host.beeps, 2 + 1);
    EXPECT_EQ(ui().color("shp1"), colors::kGreen);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(WindowNumberLog, TicksWithoutAChangeOnTheBusWriteNothing) {
    Tick();
    const std::vector<std::string> after = MainLines();
    Tick();
    Tick();
    EXPECT_EQ(MainLines(), after);
    EXPECT_EQ(host.beeps, 3);
}

TEST_F(WindowNumberLog, ADeviceLeavingAndComingBackAddsNoLine) {
    Tick();
    const std::vector<std::string> after = MainLines();
    const RomCode later = *ParseRomText(kLaterThermometer);
    auto device = bench->bus().detach(later);
    ASSERT_NE(device, nullptr);
    Tick();
    EXPECT_EQ(MainLines(), after);
    bench->bus().attach(std::move(device));
    Tick();
    EXPECT_EQ(MainLines(), after);
    // Every step of the two rebuilds (two thermometers and two loggers listed, then three and
    // two) offered a number stored already.
    EXPECT_EQ(host.beeps, 3 + 4 + 5);
}

TEST_F(WindowNumberLog, ANewFirstThermometerIsAppendedAfterEverythingStoredBefore) {
    Tick();
    std::vector<Matcher<const std::string&>> expected;
    for (const std::string& line : MainLines()) {
        expected.push_back(line);
    }
    // Serial byte 0x00 where the first thermometer has 0x40: the search lists it first.
    const RomCode newcomer = testing::TestRom(0x10, 0x0100);
    bench->bus().attach(std::make_unique<sim::Ds18s20Device>(newcomer));
    Tick();

    ASSERT_EQ(ui().text("cmb1820"), "00 " + RomText(newcomer));
    // The last type written was the logger's: the thermometer's type comes again.
    expected.push_back(" ");
    expected.push_back(TypeLine(kDs18S20Type));
    expected.push_back(RomText(newcomer));
    EXPECT_THAT(MainLines(), ElementsAreArray(expected));
}

}  // namespace
}  // namespace velgrin
