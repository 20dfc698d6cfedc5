#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "bench_folder.h"
#include "bench_roms.h"
#include "cli_process.h"

namespace velgrin::cli::testing {
namespace {

using nlohmann::json;

class AlarmsTest : public ::testing::Test {
  protected:
    BenchFolder folder;
    const std::string first = RomFor(0x28, 0x071D3E5A);
    const std::string second = RomFor(0x28, 0x071D42B7);
    const std::string ds18s20 = RomFor(0x10, 0x0802B31C);
    const std::string hlt = RomFor(0x26, 0x01C4E981);

    json bench() const {
        return {{"devices",
                 {{{"model", "DS18B20"}, {"rom", first}, {"th", 70}, {"tl", 1}},
                  {{"model", "DS18B20"}, {"rom", second}, {"th", 71}, {"tl", 2}},
                  {{"model", "DS18S20"}, {"rom", ds18s20}, {"th", 72}, {"tl", 3}},
                  {{"model", "DS2438"}, {"rom", hlt}}}}};
    }

    // Runs the tool on the bench with --save-bench; the saved bench is "after.json".
    CliRun alarms(const json& description, std::vector<std::string> arguments) {
        std::vector<std::string> words{"--port",       folder.bench("bench.json", description),
                                       "--save-bench", folder.path("after.json"),
                                       "--json",       "alarms"};
        words.insert(words.end(), arguments.begin(), arguments.end());
        return RunTool(words);
    }

    std::pair<int, int> thresholdsAfter(const std::string& rom) const {
        const json device = SavedDevice(folder.readJson("after.json"), rom);
        return {device.at("th").get<int>(), device.at("tl").get<int>()};
    }
};

TEST_F(AlarmsTest, WritesTheNamedThermometerReadsItBackAndLeavesTheOthersAlone) {
    const CliRun run = alarms(bench(), {"--th", "30.9", "--tl", "-10.2", first});
    ASSERT_EQ(run.status, 0) << run.err;
    const json document = json::parse(run.out);
    EXPECT_EQ(document.at("requested"), json({{"th", 30.9}, {"tl", -10.2}}));
    EXPECT_EQ(document.at("thresholds"), json({{"th", 30}, {"tl", -11}}));
    ASSERT_EQ(document.at("devices").size(), 1u);
    const json& device = document.at("devices")[0];
    EXPECT_EQ(device.at("rom"), first);
    EXPECT_EQ(device.at("th"), 30);
    EXPECT_EQ(device.at("tl"), -11);
    EXPECT_EQ(device.at("holds"), true);
    EXPECT_EQ(device.at("verified"), true);

    EXPECT_EQ(thresholdsAfter(first), std::make_pair(30, -11));
    EXPECT_EQ(thresholdsAfter(second), std::make_pair(71, 2));
    EXPECT_EQ(thresholdsAfter(ds18s20), std::make_pair(72, 3));
}

TEST_F(AlarmsTest, AllWritesEveryThermometerWithTheWindowsReadingOfTheValues) {
    // A comma as in the window; the upper below the lower is written as given.
    const CliRun run = alarms(bench(), {"--all", "--th", "10", "--tl", "20,5"});
    ASSERT_EQ(run.status, 0) << run.err;
    const json devices = json::parse(run.out).at("devices");
    EXPECT_EQ(devices.size(), 3u);
    for (const json& device : devices) {
        EXPECT_EQ(device.at("holds"), true) << device;
    }
    for (const auto& rom : {first, second, ds18s20}) {
        EXPECT_EQ(thresholdsAfter(rom), std::make_pair(10, 20)) << rom;
    }
}

TEST_F(AlarmsTest, TheBoundsAreInclusive) {
    const CliRun run = alarms(bench(), {"--th", "125", "--tl", "-55", second});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(thresholdsAfter(second), std::make_pair(125, -55));
}

TEST_F(AlarmsTest, InvalidThresholdsAreRefusedWithTheWindowsMeaningAndNothingIsTouched) {
    const struct {
        std::string th, tl, message;
    } cases[] = {
        {"125.5", "0", "invalid temperature thresholds: a value is too high (the highest is 125)"},
        {"0", "-55.1", "invalid temperature thresholds: a value is too low (the lowest is -55)"},
        {"200", "-60", "invalid temperature thresholds: a value is too high (the highest is 125)"},
        {"abc", "0", "--th 'abc': expected a decimal number such as 25, -10.5 or 0.826"},
        {"", "0", "--th '': expected a decimal number such as 25, -10.5 or 0.826"},
        {"30", "1e1", "--tl '1e1': expected a decimal number such as 25, -10.5 or 0.826"},
    };
    for (const auto& c : cases) {
        const CliRun run = alarms(bench(), {"--th", c.th, "--tl", c.tl, "--all"});
        EXPECT_EQ(run.status, 2) << c.th << " " << c.tl;
        EXPECT_EQ(run.err, "velgrin-cli: " + c.message + "\n");
        // The port was never opened, so there is no bench state to save.
        EXPECT_FALSE(folder.exists("after.json"));
    }
}

TEST_F(AlarmsTest, ACommandLineThatNamesNoValidTargetsIsAUsageError) {
    const struct {
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        {{"--th", "30", first}, "both --th and --tl are needed"},
        {{"--th", "30", "--tl", "0"}, "name the thermometers by their ROM texts, or give --all"},
        {{"--th", "30", "--tl", "0", "--all", first},
         "name the thermometers by their ROM texts, or give --all"},
        {{"--th", "30", "--tl", "0", first, "XYZ"}, "'XYZ' is not a ROM text"},
    };
    for (const auto& c : cases) {
        const CliRun run = alarms(bench(), c.arguments);
        EXPECT_EQ(run.status, 2) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_FALSE(folder.exists("after.json"));
    }
}

TEST_F(AlarmsTest, AnUnknownOrWrongDeviceStopsTheWriteBeforeAnyThermometerIsWritten) {
    const std::string absent = RomFor(0x28, 0x424242);
    CliRun run = alarms(bench(), {"--th", "30", "--tl", "0", first, absent});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no device with ROM " + absent + " on the bus"), std::string::npos);
    EXPECT_EQ(thresholdsAfter(first), std::make_pair(70, 1));

    run = alarms(bench(), {"--th", "30", "--tl", "0", first, hlt});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(hlt + " is not a DS18S20 or DS18B20 thermometer"), std::string::npos);
    EXPECT_EQ(thresholdsAfter(first), std::make_pair(70, 1));
}

TEST_F(AlarmsTest, AThermometerWhoseScratchpadCannotBeReadIntactIsNeitherCopiedNorWritten) {
    json description = bench();
    // Every scratchpad the second thermometer sends has bit 0 of TH flipped.
    description["devices"][1]["faults"] = {{"corruptByte", {{"index", 2}, {"mask", 1}}}};
    const CliRun run = alarms(description, {"--all", "--th", "30", "--tl", "0"});
    EXPECT_EQ(run.status, 1);
    const json report = json::parse(run.out);
    // All three thermometers are in the report, the damaged one among them.
    ASSERT_EQ(report.at("devices").size(), 3u) << run.out;
    for (const json& device : report.at("devices")) {
        const bool corrupted = device.at("rom") == second;
        EXPECT_EQ(device.at("holds"), !corrupted) << device;
        EXPECT_EQ(device.contains("error"), corrupted) << device;
    }
    // Its scratchpad could not be seen to hold the values, so they were not copied.
    EXPECT_EQ(thresholdsAfter(second), std::make_pair(71, 2));
}

TEST_F(AlarmsTest, AThermometerGoneBeforeTheReadBackDoesNotHold) {
    json description = bench();
    // During the copy wait of the first write.
    description["timeline"] = {{{"at", 100}, {"detach", first}}};
    const CliRun run = alarms(description, {"--th", "30", "--tl", "0", first});
    EXPECT_EQ(run.status, 1);
    const json device = json::parse(run.out).at("devices").at(0);
    EXPECT_EQ(device.at("holds"), false);
    EXPECT_EQ(device.at("error"),
              "the EEPROM did not read back as written (no intact recall, or other values)");
}

TEST_F(AlarmsTest, AThermometerGoneMidWayIsReportedAndNeverCalledWritten) {
    json description = bench();
    // Gone during the copy wait of the second of three writes.
    description["timeline"] = {{{"at", 1000}, {"detach", second}}};
    const CliRun run = alarms(description, {"--all", "--th", "44", "--tl", "4"});
    EXPECT_EQ(run.status, 1);
    const json devices = json::parse(run.out).at("devices");
    ASSERT_EQ(devices.size(), 3u);
    int verified = 0;
    for (const json& device : devices) {
        verified += device.at("verified").get<bool>() ? 1 : 0;
        EXPECT_EQ(device.at("verified"), device.at("rom") != second) << device;
    }
    EXPECT_EQ(verified, 2);

    const CliRun text = RunTool({"--port", folder.bench("gone.json", description), "alarms",
                                 "--all", "--th", "44", "--tl", "4"});
    EXPECT_EQ(text.status, 1);
    EXPECT_NE(text.out.find("written and verified on 2 of 3 thermometers"), std::string::npos)
        << text.out;
    EXPECT_EQ(text.out.find("written: "), std::string::npos) << text.out;
}

TEST_F(AlarmsTest, AllOnABusWithoutThermometersIsAFailure) {
    const CliRun run = alarms({{"devices", {{{"rom", hlt}}}}}, {"--all", "--th", "1", "--tl", "0"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no thermometers on the bus: nothing written"), std::string::npos);
}

}  // namespace
}  // namespace velgrin::cli::testing
