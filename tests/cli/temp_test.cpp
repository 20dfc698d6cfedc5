#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "bench_folder.h"
#include "bench_roms.h"
#include "cli_process.h"

namespace velgrin::cli::testing {
namespace {

using nlohmann::json;

class TempTest : public ::testing::Test {
  protected:
    BenchFolder folder;
    const std::string fine = RomFor(0x28, 0x071D3E5A);
    const std::string coarse = RomFor(0x28, 0x071D42B7);
    const std::string ds18s20 = RomFor(0x10, 0x0802B31C);
    const std::string hlt = RomFor(0x26, 0x01C4E981);
    const std::string ds1822 = RomFor(0x22, 0x00C0FFEE);

    json bench() const {
        return {{"devices",
                 {{{"model", "DS18B20"},
                   {"rom", fine},
                   {"temperature", 25.0625},
                   {"th", 30},
                   {"tl", -10}},
                  {{"model", "DS18B20"},
                   {"rom", coarse},
                   {"temperature", 21.5},
                   {"resolution", 9},
                   {"th", 8},
                   {"tl", 0}},
                  {{"model", "DS18S20"},
                   {"rom", ds18s20},
                   {"temperature", 24.8125},
                   {"th", 125},
                   {"tl", -55}},
                  {{"model", "DS2438"}, {"rom", hlt}},
                  {{"model", "DS1822"}, {"rom", ds1822}}}}};
    }

    static const json& Reading(const json& readings, const std::string& rom) {
        for (const json& reading : readings) {
            if (reading.at("rom") == rom) {
                return reading;
            }
        }
        throw std::runtime_error("no reading of " + rom);
    }
};

TEST_F(TempTest, MeasuresEveryListedThermometerWithTheWindowsArithmetic) {
    const CliRun run = RunTool({"--port", folder.bench("bench.json", bench()), "--json", "temp"});
    ASSERT_EQ(run.status, 0) << run.err;
    const json readings = json::parse(run.out).at("thermometers");
    ASSERT_EQ(readings.size(), 3u);
    EXPECT_EQ(Reading(readings, fine).at("temperature"), 25.0625);
    EXPECT_EQ(Reading(readings, fine).at("th"), 30);
    EXPECT_EQ(Reading(readings, fine).at("tl"), -10);
    EXPECT_EQ(Reading(readings, coarse).at("temperature"), 21.5);
    // 24.8125 from COUNT_REMAIN is stored to three decimals, the half going to the even side.
    EXPECT_EQ(Reading(readings, ds18s20).at("temperature"), 24.812);
    EXPECT_EQ(Reading(readings, ds18s20).at("th"), 125);
    EXPECT_EQ(Reading(readings, ds18s20).at("tl"), -55);
}

TEST_F(TempTest, NamedThermometersAreMeasuredInTheOrderGiven) {
    const std::string port = folder.bench("bench.json", bench());
    CliRun run = RunTool({"--port", port, "temp", ds18s20, fine});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto s20 = run.out.find(ds18s20 + "  24.812 C     125   -55\n");
    const auto b20 = run.out.find(fine + "  25.0625 C    30    -10\n");
    ASSERT_NE(s20, std::string::npos) << run.out;
    ASSERT_NE(b20, std::string::npos) << run.out;
    EXPECT_LT(s20, b20);
    EXPECT_EQ(run.out.find(coarse), std::string::npos);
}

TEST_F(TempTest, BadRomArgumentsAreRefusedBeforeAnythingIsMeasured) {
    const std::string port = folder.bench("bench.json", bench());
    std::string lower = fine;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(c));
    }
    const struct {
        std::vector<std::string> roms;
        int status;
        std::string message;
    } cases[] = {
        {{fine, lower}, 2, "'" + lower + "' is not a ROM text"},
        {{fine.substr(1)}, 2, "'" + fine.substr(1) + "' is not a ROM text"},
        {{RomFor(0x28, 0x99)}, 1, "no device with ROM " + RomFor(0x28, 0x99) + " on the bus"},
        {{hlt}, 2, hlt + " is not a DS18S20 or DS18B20 thermometer (it is: HLT multisensor"},
        {{ds1822}, 2, ds1822 + " is not a DS18S20 or DS18B20 thermometer"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments{"--port", port, "temp"};
        arguments.insert(arguments.end(), c.roms.begin(), c.roms.end());
        const CliRun run = RunTool(arguments);
        EXPECT_EQ(run.status, c.status) << c.message;
        EXPECT_EQ(run.out, "") << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
}

TEST_F(TempTest, AThermometerThatLeavesDuringTheConversionIsReportedNotGivenOldBytes) {
    json description = bench();
    description["timeline"] = {{{"at", 200}, {"detach", coarse}}};
    const CliRun run =
        RunTool({"--port", folder.bench("bench.json", description), "--json", "temp"});
    EXPECT_EQ(run.status, 1);
    const json readings = json::parse(run.out).at("thermometers");
    EXPECT_EQ(Reading(readings, coarse).at("error"),
              "no intact scratchpad came back (no answer or a bad CRC)");
    EXPECT_FALSE(Reading(readings, coarse).contains("temperature"));
    EXPECT_EQ(Reading(readings, fine).at("temperature"), 25.0625);
}

TEST_F(TempTest, AScratchpadThatFailsItsCrcIsNoReading) {
    json description = bench();
    description["devices"][0]["faults"] = {{"corruptByte", {{"index", 0}, {"mask", 0x10}}}};
    const CliRun run =
        RunTool({"--port", folder.bench("bench.json", description), "--json", "temp"});
    EXPECT_EQ(run.status, 1);
    const json readings = json::parse(run.out).at("thermometers");
    EXPECT_FALSE(Reading(readings, fine).contains("temperature"));
    EXPECT_EQ(Reading(readings, coarse).at("temperature"), 21.5);
}

TEST_F(TempTest, OneByOneGivesTheSameReadingsAsTogether) {
    const std::string port = folder.bench("bench.json", bench());
    const CliRun together = RunTool({"--port", port, "temp"});
    const CliRun oneByOne = RunTool({"--port", port, "temp", "--one-by-one"});
    ASSERT_EQ(together.status, 0) << together.err;
    EXPECT_EQ(oneByOne.status, 0) << oneByOne.err;
    EXPECT_EQ(oneByOne.out, together.out);
    EXPECT_NE(together.out.find(coarse + "  21.5 C       8     0\n"), std::string::npos)
        << together.out;
}

TEST_F(TempTest, PowerOnValueWithoutAConversionIsNotATemperature) {
    json description = bench();
    description["devices"][0]["faults"] = {{"busyForever", true}};
    const std::string port = folder.bench("bench.json", description);
    for (const char* sequence : {"", "--one-by-one"}) {
        SCOPED_TRACE(sequence);
        std::vector<std::string> arguments{"--port", port, "temp"};
        if (*sequence != 0) {
            arguments.push_back(sequence);
        }
        const CliRun text = RunTool(arguments);
        EXPECT_EQ(text.status, 1);
        EXPECT_NE(text.out.find(fine + "  power-on value, no conversion\n"), std::string::npos)
            << text.out;
        arguments.insert(arguments.begin(), "--json");
        const CliRun run = RunTool(arguments);
        EXPECT_EQ(run.status, 1);
        const json readings = json::parse(run.out).at("thermometers");
        EXPECT_EQ(Reading(readings, fine).at("error"), "power-on value, no conversion");
        EXPECT_FALSE(Reading(readings, fine).contains("temperature"));
        EXPECT_EQ(Reading(readings, coarse).at("temperature"), 21.5);
    }
}

TEST_F(TempTest, ARealEightyFiveDegreesIsATemperature) {
    json description = bench();
    description["devices"][0]["temperature"] = 85;
    description["devices"][2]["temperature"] = 85;
    const std::string port = folder.bench("bench.json", description);
    for (const char* sequence : {"", "--one-by-one"}) {
        SCOPED_TRACE(sequence);
        std::vector<std::string> arguments{"--port", port, "--json", "temp"};
        if (*sequence != 0) {
            arguments.push_back(sequence);
        }
        const CliRun run = RunTool(arguments);
        ASSERT_EQ(run.status, 0) << run.err;
        const json readings = json::parse(run.out).at("thermometers");
        EXPECT_EQ(Reading(readings, fine).at("temperature"), 85);
        EXPECT_EQ(Reading(readings, ds18s20).at("temperature"), 85);
    }
}

// A brown-out while the set converts: the device is back with its power-on value by the time
// it is read.
TEST_F(TempTest, AThermometerThatBrownsOutBeforeItsReadIsMeasuredAgain) {
    json description = bench();
    description["timeline"] = {{{"at", 400}, {"powerCycle", fine}}};
    const CliRun run =
        RunTool({"--port", folder.bench("bench.json", description), "--json", "temp"});
    ASSERT_EQ(run.status, 0) << run.err;
    const json readings = json::parse(run.out).at("thermometers");
    EXPECT_EQ(Reading(readings, fine).at("temperature"), 25.0625);
}

TEST_F(TempTest, AThermometerThatBrownsOutAndCannotConvertShowsThePowerOnValue) {
    json description = bench();
    description["timeline"] = {
        {{"at", 400}, {"powerCycle", fine}},
        {{"at", 400}, {"set", fine}, {"faults", {{"busyForever", true}}}},
    };
    const CliRun run =
        RunTool({"--port", folder.bench("bench.json", description), "--json", "temp"});
    EXPECT_EQ(run.status, 1);
    const json readings = json::parse(run.out).at("thermometers");
    EXPECT_EQ(Reading(readings, fine).at("error"), "power-on value, no conversion");
    EXPECT_EQ(Reading(readings, coarse).at("temperature"), 21.5);
}

TEST_F(TempTest, ABusWithoutThermometersMeasuresNothing) {
    const std::string port = folder.bench("bench.json", {{"devices", {{{"rom", hlt}}}}});
    EXPECT_EQ(RunTool({"--port", port, "temp"}).out, "no thermometers on the bus\n");
    const CliRun run = RunTool({"--port", port, "--json", "temp"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(json::parse(run.out), json({{"thermometers", json::array()}, {"complete", true}}));
}

}  // namespace
}  // namespace velgrin::cli::testing
