#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "bench_folder.h"
#include "bench_roms.h"
#include "cli/hex_bytes.h"
#include "cli_process.h"
#include "reference_crc.h"

namespace velgrin::cli::testing {
namespace {

using nlohmann::json;

// 32 zero bytes: a multisensor nobody configured.
std::string Blank() {
    std::string bytes = "00";
    for (int i = 1; i < 32; ++i) {
        bytes += " 00";
    }
    return bytes;
}

// A block's hexadecimal bytes with a matching CRC again, after a test changed them.
std::string Resealed(const std::string& hex) {
    std::vector<uint8_t> bytes = *ParseHexBytes(hex);
    bytes.back() = velgrin::testing::ReferenceCrc8(std::span(bytes).first(bytes.size() - 1));
    return HexText(bytes);
}

// The block of a bench file's multisensor, as written by --save-bench.
std::string SavedBlock(const BenchFolder& folder, const std::string& rom) {
    return SavedDevice(folder.readJson("after.json"), rom).at("hltBytes").get<std::string>();
}

class HltTest : public ::testing::Test {
  protected:
    BenchFolder folder;
    const std::string hlt = RomFor(0x26, 0x01C4E981);
    const std::string other = RomFor(0x26, 0x01C4E982);
    const std::string thermometer = RomFor(0x28, 0x071D3E5A);

    static json config() {
        return {{"sensor0", "Temperature"}, {"S0min", 0},        {"S0Max", 100},
                {"S0minVoltage", 1},        {"S0MaxVoltage", 5}, {"S0UpValue", 80},
                {"S0DownValue", 20},        {"sensor1", "None"}, {"Tdis", -0.05},
                {"TupLimit", 40},           {"TdownLimit", -10}};
    }

    json multisensor(const std::string& rom, const json& block) const {
        json device{{"model", "DS2438"}, {"rom", rom}, {"temperature", 20.5},
                    {"vdd", 5},          {"vad", 3},   {"currentInput", 0.0625}};
        device[block.is_string() ? "hltBytes" : "hltConfig"] = block;
        return device;
    }

    std::string bench(const json& block = config()) const {
        return folder.bench(
            "bench.json",
            {{"devices", {multisensor(hlt, block), {{"model", "DS18B20"}, {"rom", thermometer}}}}});
    }

    CliRun run(const std::string& port, std::vector<std::string> arguments) {
        std::vector<std::string> words{"--port", port, "--save-bench", folder.path("after.json")};
        words.insert(words.end(), arguments.begin(), arguments.end());
        return RunTool(words);
    }

    // The 32 bytes a bench file's "hltConfig" gives, as `hlt dump` reads them from the device.
    std::string encoded(const json& fields) {
        const std::string port =
            folder.bench("reference.json", {{"devices", {multisensor(other, fields)}}});
        const CliRun dump = RunTool({"--port", port, "--json", "hlt", "dump", other});
        EXPECT_EQ(dump.status, 0) << dump.err;
        return json::parse(dump.out).at("bytes");
    }
};

TEST_F(HltTest, ShowGivesTheLiveReadingsTheDecodedBlockAndItsCrc) {
    const CliRun result = run(bench(), {"--json", "hlt", "show", hlt});
    ASSERT_EQ(result.status, 0) << result.err;
    const json shown = json::parse(result.out);
    EXPECT_EQ(shown.at("readings").at("temperature"), 20.5);
    EXPECT_EQ(shown.at("readings").at("vdd"), 5);
    EXPECT_EQ(shown.at("readings").at("vad"), 3);
    EXPECT_EQ(shown.at("readings").at("current_input"), 256 * 0.0002441);
    EXPECT_EQ(shown.at("crc_ok"), true);
    json expected = config();
    expected["S1min"] = expected["S1Max"] = expected["S1minVoltage"] = expected["S1MaxVoltage"] =
        expected["S1UpValue"] = expected["S1DownValue"] = 0;
    EXPECT_EQ(shown.at("config"), expected);
    // A linear channel: (100 - 0) * (3 - 1) / (5 - 1) + 0.
    EXPECT_EQ(shown.at("values").at("sensor0"), json({{"value", 50}}));
    EXPECT_EQ(shown.at("values").at("sensor1"), json({{"value", nullptr}, {"note", "no sensor"}}));
    EXPECT_EQ(shown.at("values").at("temperature"), 20.45);
}

TEST_F(HltTest, ShowWarnsOfABlockWhoseCrcDoesNotMatch) {
    std::string bytes = encoded(config());
    bytes.replace(bytes.size() - 2, 2, bytes.substr(bytes.size() - 2) == "00" ? "01" : "00");
    const CliRun result = run(bench(bytes), {"hlt", "show", hlt});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("configuration block: CRC DOES NOT MATCH"), std::string::npos)
        << result.out;
}

TEST_F(HltTest, SetWritesWhatTheDialogWouldAndKeepsWhatItIsNotGiven) {
    json changes{{"sensor1", "HIH5031"}, {"S1UpValue", 2.25}, {"S1DownValue", -3}};
    const std::string file = folder.write("config.json", changes.dump());
    const CliRun result =
        run(bench(), {"--json", "hlt", "set", hlt, "--file", file, "--TupLimit", "45.5"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(json::parse(result.out).at("verified"), true);

    // 2.25 is stored as 22 tenths, its half going to the even side.
    json expected = config();
    expected.update(changes);
    expected["S1UpValue"] = 2.2;
    expected["TupLimit"] = 45.5;
    EXPECT_EQ(SavedBlock(folder, hlt), encoded(expected));
}

TEST_F(HltTest, SetStopsAtTheFirstInvalidFieldAndWritesNothing) {
    const std::string port = bench();
    const std::string original = encoded(config());
    const struct {
        std::vector<std::string> options;
        std::string message;
    } cases[] = {
        {{"--S0min", "3276.8"}, "invalid value of S0min: must be -3276.7..3276.7"},
        {{"--S0MaxVoltage", "6.5536"}, "invalid value of S0MaxVoltage: must be 0..6.5535 V"},
        {{"--sensor1", "HIH4000", "--S1MaxVoltage", "0.25"},
         "invalid value of S1MaxVoltage: must be 0..0.249 V"},
        {{"--Tdis", "1.27"}, "invalid value of Tdis: must be -1.26..1.26"},
        {{"--TupLimit", "150.1"}, "invalid value of TupLimit: must be -50..150"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments{"hlt", "set", hlt};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const CliRun result = run(port, arguments);
        EXPECT_EQ(result.status, 2) << c.message;
        EXPECT_EQ(result.err, "velgrin-cli: " + c.message + "; nothing written\n");
        EXPECT_EQ(SavedBlock(folder, hlt), original) << c.message;
    }
    for (const char* text : {"many", "1e2", "8 0"}) {
        const CliRun result = run(port, {"hlt", "set", hlt, "--S0UpValue", text});
        EXPECT_EQ(result.status, 2) << text;
        EXPECT_EQ(result.err, std::string("velgrin-cli: --S0UpValue '") + text +
                                  "': expected a decimal number such as 25, -10.5 or 0.826\n");
        EXPECT_EQ(SavedBlock(folder, hlt), original) << text;
    }
}

TEST_F(HltTest, SetRefusesUndefinedTypesUnlessTheyAreGiven) {
    std::string bytes = encoded(config());
    bytes.replace(0, 2, "7F");
    bytes = Resealed(bytes);
    const std::string port = bench(bytes);
    CliRun result = run(port, {"hlt", "set", hlt, "--S0UpValue", "10"});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("the sensor types are not defined; nothing written"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(SavedBlock(folder, hlt), bytes);

    result = run(port, {"hlt", "set", hlt, "--sensor0", "2", "--sensor1", "None"});
    EXPECT_EQ(result.status, 0) << result.err;
}

TEST_F(HltTest, AnUpperThresholdBelowTheLowerIsAWarningAndStillWritten) {
    const CliRun result =
        run(bench(), {"hlt", "set", hlt, "--S0UpValue", "10", "--S0DownValue", "20"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err,
              "velgrin-cli: sensor 0's upper threshold is below its lower threshold: the alarm "
              "will not work properly\n");
    json expected = config();
    expected["S0UpValue"] = 10;
    EXPECT_EQ(SavedBlock(folder, hlt), encoded(expected));
}

TEST_F(HltTest, AnOptionTheSensorTypeDoesNotUseIsRefusedNotDropped) {
    const std::string port = bench();
    const struct {
        std::vector<std::string> options;
        std::string message;
    } cases[] = {
        {{"--sensor0", "HIH5031", "--S0Max", "45.6", "--S0UpValue", "70"},
         "--S0Max has no meaning for sensor 0 of type HIH5031"},
        {{"--sensor1", "None", "--S1UpValue", "12.5"},
         "--S1UpValue has no meaning for sensor 1 of type None"},
        // config() leaves channel 1 without a sensor.
        {{"--S1min", "3"},
         "--S1min has no meaning for sensor 1 of type None (as the device holds it)"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments{"hlt", "set", hlt};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const CliRun result = run(port, arguments);
        EXPECT_EQ(result.status, 2) << c.message;
        EXPECT_EQ(result.err, "velgrin-cli: " + c.message + "; nothing written\n");
        EXPECT_EQ(SavedBlock(folder, hlt), encoded(config())) << c.message;
    }
}

TEST_F(HltTest, AConfigurationCopiedThroughShowAndSetGivesTheSameBlock) {
    // Every field set, also those the types leave unused: the copy must keep them too.
    const json source{{"sensor0", "HIH5031"}, {"S0min", -12.5},      {"S0Max", 45.6},
                      {"S0minVoltage", 1.5},  {"S0MaxVoltage", 4.2}, {"S0UpValue", 70},
                      {"S0DownValue", 30},    {"sensor1", "None"},   {"S1min", 3},
                      {"S1Max", 35},          {"S1minVoltage", 0.3}, {"S1MaxVoltage", 0.2},
                      {"S1UpValue", 12.5},    {"S1DownValue", -40},  {"Tdis", 0.05},
                      {"TupLimit", 40},       {"TdownLimit", -10}};
    const std::string port = folder.bench(
        "two.json", {{"devices", {multisensor(hlt, source), multisensor(other, config())}}});
    const CliRun shown = RunTool({"--port", port, "--json", "hlt", "show", hlt});
    ASSERT_EQ(shown.status, 0) << shown.err;
    const std::string file = folder.write("copy.json", json::parse(shown.out).at("config").dump());

    const CliRun result = run(port, {"hlt", "set", other, "--file", file});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(SavedBlock(folder, other), encoded(source));
    EXPECT_EQ(SavedBlock(folder, other), SavedBlock(folder, hlt));
}

TEST_F(HltTest, ABlockTheDeviceDoesNotTrustIsReplacedOnlyWhole) {
    std::string damaged = encoded(config());
    damaged.replace(93, 2, damaged.substr(93, 2) == "00" ? "01" : "00");
    const std::string never = Blank();
    for (const auto& [bytes, says] :
         {std::pair{damaged, "'s CRC does not match"}, {never, " was never configured"}}) {
        const std::string port = bench(bytes);
        CliRun result = run(port, {"hlt", "set", hlt, "--Tdis", "0.5"});
        EXPECT_EQ(result.status, 2) << says;
        EXPECT_NE(result.err.find("the configuration block of " + hlt + says), std::string::npos)
            << result.err;
        EXPECT_NE(result.err.find("nothing written"), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("missing: sensor0, sensor1, S0"), std::string::npos)
            << result.err;
        EXPECT_NE(result.err.find("hlt restore " + hlt), std::string::npos) << result.err;
        EXPECT_EQ(SavedBlock(folder, hlt), bytes);

        // Every field the types use: the block is whole again.
        result =
            run(port, {"hlt", "set", hlt, "--file", folder.write("all.json", config().dump())});
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(SavedBlock(folder, hlt), encoded(config())) << says;
    }
}

TEST_F(HltTest, ADevicesStoredInvalidValueIsNamedAsTheDevicesWithTheOptionThatMendsIt) {
    json stored = config();
    stored["sensor1"] = "Temperature";
    stored["S1minVoltage"] = 0.3;
    const std::string port = bench(stored);
    CliRun result = run(port, {"hlt", "set", hlt, "--TupLimit", "45"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err,
              "velgrin-cli: invalid value of S1minVoltage: must be 0..0.249 V: the device holds "
              "0.3 there and this write would keep it; give --S1minVoltage to mend it; nothing "
              "written\n");
    EXPECT_EQ(SavedBlock(folder, hlt), encoded(stored));

    result = run(port, {"hlt", "set", hlt, "--TupLimit", "45", "--S1minVoltage", "0.03"});
    EXPECT_EQ(result.status, 0) << result.err;
}

TEST_F(HltTest, ABlankBlockReadsAsNeverConfigured) {
    const std::string port = bench(Blank());
    CliRun result = run(port, {"hlt", "show", hlt});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("configuration block: NEVER CONFIGURED"), std::string::npos)
        << result.out;
    EXPECT_EQ(result.out.find("CRC matches"), std::string::npos) << result.out;
    result = run(port, {"--json", "hlt", "show", hlt});
    EXPECT_EQ(json::parse(result.out).at("never_configured"), true);
    result = run(port, {"hlt", "dump", hlt});
    EXPECT_NE(result.out.find("(never configured: its mark byte is 0)"), std::string::npos)
        << result.out;
}

TEST_F(HltTest, AMalformedConfigurationOrCommandLineNeverReachesTheBus) {
    const std::string port = bench();
    const struct {
        std::string file;
        std::vector<std::string> options;
        std::string message;
    } cases[] = {
        {"{\"S0min\": 1,", {}, "config.json: not JSON:1:13: syntax error"},
        {"{\"S0min\": 1e400}", {}, "config.json: not JSON: number overflow parsing '1e400'"},
        {"{\"S0min\": 1, \"S0min\": 2}", {}, "the key \"S0min\" appears twice in one object"},
        {"[1, 2]", {}, "config.json: expected a JSON object of fields"},
        {"{\"S0Minimum\": 1}", {}, "config.json: \"S0Minimum\": unknown field"},
        {"{\"S0min\": \"1,5\"}", {}, "config.json: \"S0min\": expected a number"},
        {"{\"sensor0\": \"Thermometer\"}", {}, "config.json: \"sensor0\": expected a sensor type"},
        {"{\"sensor0\": 7}", {}, "config.json: \"sensor0\": expected a sensor type"},
        {"{\"Tdis\": true}", {}, "config.json: \"Tdis\": expected an offset"},
        {"", {"--sensor1", "Thermometer"}, "--sensor1 'Thermometer': expected a sensor type"},
        {"", {}, "nothing to set"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments{"hlt", "set", hlt};
        if (!c.file.empty()) {
            arguments.push_back("--file");
            arguments.push_back(folder.write("config.json", c.file));
        }
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const CliRun result = run(port, arguments);
        EXPECT_EQ(result.status, 2) << c.message;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_FALSE(folder.exists("after.json")) << c.message;
    }
}

TEST_F(HltTest, EveryHltCommandWantsAMultisensorOnTheBus) {
    const std::string port = bench();
    const std::string absent = RomFor(0x26, 0x42);
    for (const std::string sub : {"show", "set", "reseal", "dump", "restore"}) {
        std::vector<std::string> tail;
        if (sub == "set") {
            tail = {"--S0min", "1"};
        } else if (sub == "restore") {
            tail = {"--file", folder.write("block.txt", encoded(config()))};
        }
        auto with = [&](const std::string& rom) {
            std::vector<std::string> arguments{"hlt", sub, rom};
            arguments.insert(arguments.end(), tail.begin(), tail.end());
            return run(port, arguments);
        };
        CliRun result = with(absent);
        EXPECT_EQ(result.status, 1) << sub;
        EXPECT_NE(result.err.find("no device with ROM " + absent + " on the bus"),
                  std::string::npos);
        result = with(thermometer);
        EXPECT_EQ(result.status, 2) << sub;
        EXPECT_NE(result.err.find(thermometer + " is not an HLT multisensor"), std::string::npos);
        result = with("26");
        EXPECT_EQ(result.status, 2) << sub;
        EXPECT_NE(result.err.find("'26' is not a ROM text"), std::string::npos);
    }
}

TEST_F(HltTest, ResealGivesTheBlockAsItIsAFreshMarkAndCrc) {
    std::string damaged = encoded(config());
    damaged.replace(15, 2, "00");                                         // byte 5, the mark
    damaged.replace(93, 2, damaged.substr(93, 2) == "00" ? "01" : "00");  // byte 31, the CRC
    const CliRun result = run(bench(damaged), {"--json", "hlt", "reseal", hlt});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(json::parse(result.out).at("crc_was_ok"), false);
    EXPECT_EQ(SavedBlock(folder, hlt), encoded(config()));
}

TEST_F(HltTest, ADumpRestoredOnAnotherMultisensorGivesItTheSameBytes) {
    json changed = config();
    changed["S0UpValue"] = 99;
    const std::string source = encoded(changed);
    for (const bool asJson : {false, true}) {
        std::vector<std::string> arguments{"--port", bench(changed), "hlt", "dump", hlt};
        if (asJson) {
            arguments.insert(arguments.begin(), "--json");
        }
        const CliRun dump = RunTool(arguments);
        ASSERT_EQ(dump.status, 0) << dump.err;
        const std::string backup = folder.write("backup", dump.out);

        const CliRun restore = run(bench(), {"hlt", "restore", hlt, "--file", backup});
        EXPECT_EQ(restore.status, 0) << restore.err;
        EXPECT_EQ(restore.err, "");
        EXPECT_EQ(SavedBlock(folder, hlt), source);
    }
}

TEST_F(HltTest, RestoreWritesABlockWithABadCrcAsItIsButSaysSo) {
    std::string bytes = encoded(config());
    bytes.replace(0, 2, "66");
    const CliRun result =
        run(bench(), {"hlt", "restore", hlt, "--file", folder.write("block.txt", bytes)});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err,
              "velgrin-cli: the block's CRC does not match: the device will not trust it\n");
    EXPECT_EQ(SavedBlock(folder, hlt), bytes);
}

TEST_F(HltTest, AMalformedBackupIsRefusedBeforeTheBus) {
    const std::string port = bench();
    const std::string full = encoded(config());
    for (const std::string& text : {full.substr(3), full + " 00", full.substr(0, 94) + "G",
                                    std::string("{\"bytes\": 12}"), std::string("{\"rom\": 12}")}) {
        const CliRun result =
            run(port, {"hlt", "restore", hlt, "--file", folder.write("block.txt", text)});
        EXPECT_EQ(result.status, 2) << text;
        EXPECT_NE(result.err.find("block.txt: expected"), std::string::npos) << result.err;
        EXPECT_FALSE(folder.exists("after.json"));
    }
    // What the strict reader found is passed on, not hidden behind "expected".
    for (const auto& [text, says] :
         {std::pair{"{\"bytes\": \"" + full + "\", \"bytes\": \"" + full + "\"}",
                    "the key \"bytes\" appears twice in one object"},
          {std::string("{"), "block.txt: not JSON:1:2"},
          {"{\"bytes\": \"" + full + "\", \"crc_ok\": 1e400}", "block.txt: not JSON"}}) {
        const CliRun result =
            run(port, {"hlt", "restore", hlt, "--file", folder.write("block.txt", text)});
        EXPECT_EQ(result.status, 2) << text;
        EXPECT_NE(result.err.find(says), std::string::npos) << result.err;
        EXPECT_FALSE(folder.exists("after.json"));
    }
}

TEST_F(HltTest, ABackupOfAnotherDeviceIsWrittenOnlyWhenTheUserSaysSo) {
    json changed = config();
    changed["S0UpValue"] = 99;
    const std::string source = encoded(changed);
    const std::string port =
        folder.bench("other.json", {{"devices", {multisensor(other, changed)}}});
    const CliRun dump = RunTool({"--port", port, "hlt", "dump", other});
    ASSERT_EQ(dump.status, 0) << dump.err;
    const std::string backup = folder.write("backup.txt", dump.out);

    CliRun result = run(bench(), {"hlt", "restore", hlt, "--file", backup});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "velgrin-cli: " + backup + " is the backup of " + other + ", not of " +
                              hlt + "; give --other-device to write it into " + hlt +
                              " all the same\n");
    EXPECT_EQ(SavedBlock(folder, hlt), encoded(config()));

    result = run(bench(), {"hlt", "restore", hlt, "--file", backup, "--other-device"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(SavedBlock(folder, hlt), source);
}

TEST_F(HltTest, AMultisensorThatStopsAnsweringFailsTheCommandWithoutAStaleWrite) {
    json device = multisensor(hlt, config());
    device["faults"] = {{"busyForever", true}};
    const std::string stuck = folder.bench("stuck.json", {{"devices", {device}}});
    for (const std::string sub : {"show", "reseal"}) {
        const CliRun result = run(stuck, {"hlt", sub, hlt});
        EXPECT_EQ(result.status, 1) << sub;
        EXPECT_NE(result.err.find("did not answer its measurement"), std::string::npos);
        EXPECT_EQ(SavedBlock(folder, hlt), encoded(config())) << sub;
    }

    // Gone after the read, in the middle of the first page write: its copy may have run, and the
    // old page cannot be put back.
    const std::string leaving =
        folder.bench("leaving.json", {{"devices", {multisensor(hlt, config())}},
                                      {"timeline", {{{"at", 400}, {"detach", hlt}}}}});
    const CliRun result = RunTool({"--port", leaving, "hlt", "set", hlt, "--S0min", "5"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("may be a mix of old and new pages"), std::string::npos)
        << result.err;
}

}  // namespace
}  // namespace velgrin::cli::testing
