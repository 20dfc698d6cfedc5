#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "bench_folder.h"
#include "bench_roms.h"
#include "cli_process.h"
#include "spawned_process.h"

namespace velgrin::cli::testing {
namespace {

using velgrin::testing::Spawn;
using velgrin::testing::SpawnActions;

using nlohmann::json;

std::vector<json> JsonLines(const std::string& text) {
    std::vector<json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(json::parse(line));
    }
    return lines;
}

std::vector<std::string> TextLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

constexpr int kAskedTh = 30;
constexpr int kAskedTl = -10;
constexpr int kFactoryTh = 75;
constexpr int kFactoryTl = 70;

class StationTest : public ::testing::Test {
  protected:
    BenchFolder folder;

    // A DS18B20, or a DS18S20 when `bits` is 0.
    static json Thermometer(const std::string& rom, int th, int tl, int bits = 12) {
        json device{{"model", bits == 0 ? "DS18S20" : "DS18B20"},
                    {"rom", rom},
                    {"th", th},
                    {"tl", tl},
                    {"attached", false}};
        if (bits != 0) {
            device["resolution"] = bits;
        }
        return device;
    }

    CliRun station(const json& bench, std::vector<std::string> arguments) {
        std::vector<std::string> words{"--port",       folder.bench("bench.json", bench),
                                       "--save-bench", folder.path("after.json"),
                                       "--json",       "station",
                                       "--record",     folder.path("record.jsonl")};
        words.insert(words.end(), arguments.begin(), arguments.end());
        return RunTool(words);
    }

    // TH and TL in the EEPROM of the device as the bench holds it after the run.
    std::pair<int, int> Eeprom(const std::string& rom) const {
        const json device = SavedDevice(folder.readJson("after.json"), rom);
        return {device.at("th").get<int>(), device.at("tl").get<int>()};
    }

    // A whole multisensor configuration, as a blank block needs it.
    static json HltConfig() {
        return {{"sensor0", "Temperature"}, {"S0min", 0},        {"S0Max", 100},
                {"S0minVoltage", 1},        {"S0MaxVoltage", 5}, {"S0UpValue", 80},
                {"S0DownValue", 20},        {"sensor1", "None"}, {"Tdis", "hidden"},
                {"TupLimit", 40},           {"TdownLimit", -10}};
    }

    static json Multisensor(const std::string& rom, const json& block) {
        json device{{"model", "DS2438"}, {"rom", rom}, {"attached", false}};
        if (!block.is_null()) {
            device["hltConfig"] = block;
        }
        return device;
    }

    std::vector<json> Record() const {
        return folder.exists("record.jsonl") ? JsonLines(folder.read("record.jsonl"))
                                             : std::vector<json>{};
    }
};

TEST_F(StationTest, RefusesAnUnusableCommandLineBeforeTouchingTheBus) {
    const std::string rom = RomFor(0x28, 0x1001);
    const json bench{{"devices", {Thermometer(rom, kFactoryTh, kFactoryTl)}},
                     {"timeline", {{{"at", 1500}, {"attach", rom}}}}};
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{}, "nothing to set up"},
        {{"--th", "30"}, "both --th and --tl are needed"},
        {{"--th", "300", "--tl", "1"}, "too high"},
        {{"--th", "3e1", "--tl", "1"}, "3e1"},
        {{"--hlt", folder.write("bad.json", "{\"S0Max\": \"many\"}")}, "S0Max"},
        {{"--th", "30", "--tl", "1", "--record-format", "xml"}, "jsonl or csv"},
        {{"--th", "30", "--tl", "1", "--count", "0"}, "--count"},
        {{"--th", "30", "--tl", "1", "--number-log", folder.path("")}, "--number-log"},
        {{"--th", "30", "--tl", "1", "--resolution", "13"}, "9, 10, 11 or 12"},
        {{"--hlt", folder.write("ok.json", "{}"), "--resolution", "10"}, "goes with --th"},
    };
    for (const auto& [arguments, message] : cases) {
        SCOPED_TRACE(arguments.empty() ? "(none)" : arguments.front());
        const CliRun run = station(bench, arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_FALSE(folder.exists("record.jsonl"));
        EXPECT_FALSE(folder.exists("after.json"));
    }
}

// One thermometer arrives in each case; the station writes TH 30, TL -10 (and 10 bit).
TEST_F(StationTest, ReportsEachArrivalOnceWithWhatItsMemoryNowHolds) {
    struct Case {
        const char* name;
        bool arrivesSet;  // holding TH 30, TL -10 already
        json faults;      // set as it arrives
        const char* result;
        const char* reason;    // part of the reason of a failure
        bool endsSet;          // its EEPROM holds TH 30, TL -10 afterwards, else what it had
        bool askBits = false;  // --resolution 10
        int arrivesBits = 12;  // 0 for a DS18S20
        int endsBits = 12;     // in its EEPROM afterwards
    };
    const std::vector<Case> cases{
        {"unconfigured", false, nullptr, "OK", "", true},
        {"configured", true, nullptr, "already set", "", true},
        // Pulled during the write: before its copy to EEPROM, or after it but before the recall.
        {"leaves before the copy",
         false,
         {{"leaveAfterSlots", 1500}},
         "failed",
         "left the bus",
         false},
        {"leaves after the copy",
         false,
         {{"leaveAfterSlots", 2200}},
         "failed",
         "left the bus",
         true},
        {"one garbled bit", false, {{"flipBit", 3}}, "OK", "", true},
        // Every scratchpad read fails its CRC: nothing may be copied.
        {"garbled every read",
         false,
         {{"corruptByte", {{"index", 8}, {"mask", 1}}}},
         "failed",
         "nothing was copied",
         false},
        {"resolution differs", true, nullptr, "OK", "", true, true, 12, 10},
        {"resolution set", true, nullptr, "already set", "", true, true, 10, 10},
        {"DS18S20", false, nullptr, "failed", "fixed resolution", false, true, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string rom = RomFor(c.arrivesBits == 0 ? 0x10 : 0x28, 0x2002);
        const std::string asked = c.askBits ? "TH 30, TL -10, 10 bit" : "TH 30, TL -10";
        json timeline{{{"at", 1500}, {"attach", rom}}};
        if (!c.faults.is_null()) {
            timeline.push_back({{"at", 1500}, {"set", rom}, {"faults", c.faults}});
        }
        const json bench{{"devices",
                          {c.arrivesSet ? Thermometer(rom, kAskedTh, kAskedTl, c.arrivesBits)
                                        : Thermometer(rom, kFactoryTh, kFactoryTl, c.arrivesBits)}},
                         {"timeline", timeline}};
        std::remove(folder.path("record.jsonl").c_str());
        std::vector<std::string> arguments{"--th", "30.7", "--tl", "-9.5"};
        if (c.askBits) {
            arguments.insert(arguments.end(), {"--resolution", "10"});
        }
        const CliRun run = station(bench, arguments);
        EXPECT_EQ(run.status, std::string(c.result) == "failed" ? 1 : 0) << run.err;
        const auto record = Record();
        ASSERT_EQ(record.size(), 1u) << run.out;
        const json& line = record[0];
        EXPECT_EQ(line.at("rom"), rom);
        EXPECT_EQ(line.at("kind"),
                  c.arrivesBits == 0 ? "DS18S20 thermometer" : "DS18B20 thermometer");
        EXPECT_EQ(line.at("asked"), asked);
        EXPECT_EQ(line.at("result"), c.result);
        const bool failed = std::string(c.result) == "failed";
        EXPECT_EQ(line.at("read_back"), failed ? "" : asked);
        EXPECT_NE(line.at("reason").get<std::string>().find(c.reason), std::string::npos)
            << line.dump();
        EXPECT_TRUE(std::string(c.reason).empty() == line.at("reason").get<std::string>().empty());
        const auto held = Eeprom(rom);
        EXPECT_EQ(held,
                  c.endsSet ? std::pair(kAskedTh, kAskedTl) : std::pair(kFactoryTh, kFactoryTl));
        EXPECT_EQ(SavedDevice(folder.readJson("after.json"), rom).value("resolution", 0),
                  c.endsBits);
        // The device's line on standard output says the same as the record's.
        const auto events = JsonLines(run.out);
        ASSERT_EQ(events.size(), 2u) << run.out;
        EXPECT_EQ(events[0].at("result"), c.result);
        EXPECT_EQ(events[1].at("event"), "summary");
    }
}

// What the tool writes to a terminal on its standard error, its standard output discarded.
std::string TerminalErrorOutput(std::vector<std::string> words) {
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        return "openpty failed";
    }
    words.insert(words.begin(), VELGRIN_CLI_PATH);
    SpawnActions actions;
    actions.dup(slave, STDERR_FILENO).open(STDOUT_FILENO, "/dev/null", O_WRONLY);
    const pid_t pid = Spawn(std::move(words), actions);
    const bool started = pid > 0;
    ::close(slave);
    std::string text;
    char buffer[4096];
    // Ends with an error (EIO) once the tool has exited and closed the terminal.
    for (ssize_t got = 0; started && (got = ::read(master, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<size_t>(got));
    }
    ::close(master);
    if (started) {
        ::waitpid(pid, nullptr, 0);
    }
    return text;
}

TEST_F(StationTest, ATerminalShowsTheCountsAndTheDeviceBeingWrittenOnOneLine) {
    const std::string first = RomFor(0x28, 0x3001);
    const std::string second = RomFor(0x28, 0x3002);
    const json bench{
        {"devices",
         {Thermometer(first, kFactoryTh, kFactoryTl), Thermometer(second, kAskedTh, kAskedTl)}},
        {"timeline", {{{"at", 1500}, {"attach", first}}, {{"at", 4500}, {"attach", second}}}}};
    const std::string shown = TerminalErrorOutput(
        {"--port", folder.bench("bench.json", bench), "station", "--th", "30", "--tl", "-10"});
    const std::string redraw = "\r\x1B[K";
    for (const std::string& line :
         std::vector<std::string>{"done 0, already set 0, failed 0; waiting for a device",
                                  "done 0, already set 0, failed 0; writing " + first,
                                  "done 1, already set 0, failed 0; waiting for a device",
                                  "done 1, already set 0, failed 0; writing " + second,
                                  "done 1, already set 1, failed 0; waiting for a device"}) {
        EXPECT_NE(shown.find(redraw + line), std::string::npos) << line << "\n" << shown;
    }
    // Nothing of the line is left behind at the end.
    EXPECT_EQ(shown.substr(shown.size() - redraw.size()), redraw) << shown;
}

TEST_F(StationTest, SetsUpMultisensorsAsTheConfigurationFileSays) {
    const std::string blank = RomFor(0x26, 0x3003);
    const std::string configured = RomFor(0x26, 0x3004);
    const json config = HltConfig();
    const json bench{
        {"devices", {Multisensor(blank, nullptr), Multisensor(configured, config)}},
        {"timeline", {{{"at", 1500}, {"attach", blank}}, {{"at", 6500}, {"attach", configured}}}}};
    const CliRun run = station(bench, {"--hlt", folder.write("config.json", config.dump())});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto record = Record();
    ASSERT_EQ(record.size(), 2u);
    EXPECT_EQ(record[0].at("rom"), blank);
    EXPECT_EQ(record[0].at("result"), "OK");
    EXPECT_EQ(json::parse(record[0].at("read_back").get<std::string>()), config);
    EXPECT_EQ(record[1].at("rom"), configured);
    EXPECT_EQ(record[1].at("result"), "already set");
    EXPECT_EQ(json::parse(record[1].at("read_back").get<std::string>()), config);
}

// Fifty thermometers pass the bench one after the other; some are pulled during their write,
// some arrive set up already, some answer with garbled bits now and then.
TEST_F(StationTest, AFiftyArrivalBenchEndsWithOneFinalLinePerDeviceAndNoUnaskedConfiguration) {
    json devices = json::array();
    json timeline = json::array();
    std::map<std::string, std::string> expected;  // the result each device ends with
    std::vector<std::string> roms;
    for (int i = 0; i < 50; ++i) {
        const std::string rom = RomFor(0x28, 0x5000 + i);
        roms.push_back(rom);
        const bool leaves = i % 9 == 4;
        const bool configured = i % 7 == 3 && !leaves;
        devices.push_back(configured ? Thermometer(rom, kAskedTh, kAskedTl)
                                     : Thermometer(rom, kFactoryTh, kFactoryTl));
        const int at = 1500 + 5000 * i;
        timeline.push_back({{"at", at}, {"attach", rom}});
        if (leaves) {
            timeline.push_back({{"at", at}, {"set", rom}, {"faults", {{"leaveAfterSlots", 1500}}}});
            expected[rom] = "failed";
            continue;
        }
        if (i % 5 == 1) {
            timeline.push_back({{"at", at}, {"set", rom}, {"faults", {{"flipBit", i % 8}}}});
        }
        timeline.push_back({{"at", at + 4000}, {"detach", rom}});
        expected[rom] = configured ? "already set" : "OK";
    }
    const CliRun run =
        station({{"devices", devices}, {"timeline", timeline}},
                {"--th", "30", "--tl", "-10", "--number-log", folder.path("numbers.txt")});
    EXPECT_EQ(run.status, 1) << run.err;

    std::map<std::string, std::string> got;
    for (const json& line : Record()) {
        const std::string rom = line.at("rom");
        EXPECT_FALSE(got.contains(rom)) << "a second line for " << rom;
        got[rom] = line.at("result");
    }
    EXPECT_EQ(got, expected);
    for (const std::string& rom : roms) {
        const auto held = Eeprom(rom);
        EXPECT_TRUE(held == std::pair(kAskedTh, kAskedTl) ||
                    (expected[rom] == "failed" && held == std::pair(kFactoryTh, kFactoryTl)))
            << rom << " holds " << held.first << " " << held.second;
    }
    // The number log holds exactly the devices set up, each once.
    std::string numbers = folder.read("numbers.txt");
    for (const auto& [rom, result] : expected) {
        const size_t first = numbers.find(rom);
        EXPECT_EQ(first != std::string::npos, result != "failed") << rom;
        EXPECT_EQ(numbers.find(rom, first + 1), std::string::npos) << rom;
    }
    const json summary = JsonLines(run.out).back();
    EXPECT_EQ(summary.at("failed"), 6);
    EXPECT_EQ(summary.at("done").get<int>() + summary.at("already_set").get<int>(), 44);
}

TEST_F(StationTest, RecordShowSummarisesGoodDamagedAndCsvRecords) {
    const std::string a = RomFor(0x28, 0x6001);
    const std::string b = RomFor(0x28, 0x6002);
    const std::string c = RomFor(0x26, 0x6003);
    const auto line = [](const std::string& rom, const std::string& kind, const std::string& result,
                         const std::string& reason) {
        return json({{"time", "2026-12-09T10:00:00Z"},
                     {"port", "sim"},
                     {"rom", rom},
                     {"kind", kind},
                     {"asked", "TH 1"},
                     {"read_back", ""},
                     {"result", result},
                     {"reason", reason}})
                   .dump() +
               "\n";
    };
    const std::string t = "DS18B20 thermometer";
    const std::string m = "HLT multisensor";
    const std::string good = line(a, t, "failed", "left") + line(b, t, "OK", "") +
                             line(a, t, "OK", "") + line(c, m, "failed", "no answer") +
                             line(b, t, "already set", "");
    const std::string csv =
        "time,port,rom,kind,asked,read_back,result,reason\n"
        "\"T\",\"sim:a,b\",\"" +
        a + "\",\"" + t +
        "\",\"TH \"\"1\"\"\",\"\",\"failed\",\"x, y\"\n"
        "T,sim," +
        b + "," + t +
        ",TH 1,,OK,\n"
        "\"T\",\"sim\",\"" +
        a + "\",\"unclosed\n";
    struct Case {
        const char* name;
        std::string text;
        int status;
        std::string results;  // as the summary prints them
        std::vector<std::string> unresolved;
        std::vector<int> damaged;
    };
    const std::vector<Case> cases{
        {"good", good, 1, "OK 2, already set 1, failed 2", {c}, {}},
        {"damaged",
         line(a, t, "OK", "") + "garbage\n" + "{\"rom\": 5}\n" + line(b, t, "maybe", "") +
             line(b, t, "failed", "x") +
             line(a, t, "OK", "").substr(0, line(a, t, "OK", "").size() - 1),
         1,
         "OK 1, already set 0, failed 1",
         {b},
         {2, 3, 4, 6}},
        {"csv", csv, 1, "OK 1, already set 0, failed 1", {a}, {4}},
        {"empty", "", 0, "OK 0, already set 0, failed 0", {}, {}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const std::string file = folder.write("record.txt", k.text);
        const CliRun shown = RunTool({"--json", "record", "show", file});
        EXPECT_EQ(shown.status, k.status) << shown.err;
        const json summary = json::parse(shown.out);
        std::vector<std::string> unresolved;
        for (const json& device : summary.at("unresolved")) {
            unresolved.push_back(device.at("rom"));
        }
        EXPECT_EQ(unresolved, k.unresolved);
        EXPECT_EQ(summary.at("damaged_lines"), json(k.damaged));
        const CliRun text = RunTool({"record", "show", file});
        EXPECT_NE(text.out.find("results: " + k.results + "\n"), std::string::npos) << text.out;
    }
}

TEST_F(StationTest, ACsvRecordGetsOneHeaderAndQuotedFieldsThatReadBack) {
    const std::string rom = RomFor(0x28, 0x7001);
    const std::string hlt = RomFor(0x26, 0x7002);
    const json bench{
        {"devices", {Thermometer(rom, kFactoryTh, kFactoryTl), Multisensor(hlt, nullptr)}},
        {"timeline", {{{"at", 1500}, {"attach", rom}}, {{"at", 1500}, {"attach", hlt}}}}};
    const std::string record = folder.path("record.csv");
    for (int run = 0; run < 2; ++run) {
        const CliRun ran =
            RunTool({"--port", folder.bench("bench.json", bench), "station", "--th", "30", "--tl",
                     "-10", "--hlt", folder.write("config.json", HltConfig().dump()), "--record",
                     record, "--record-format", "csv"});
        ASSERT_EQ(ran.status, 0) << ran.err;
        EXPECT_NE(ran.out.find(rom + "  DS18B20 thermometer  TH 30, TL -10  OK"), std::string::npos)
            << ran.out;
    }
    const auto lines = TextLines(folder.read("record.csv"));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "time,port,rom,kind,asked,read_back,result,reason");
    for (const std::string& line : {lines[1], lines[2]}) {
        EXPECT_TRUE(
            line.find(",\"" + rom +
                      "\",\"DS18B20 thermometer\",\"TH 30, TL -10\",\"TH 30, "
                      "TL -10\",\"OK\",\"\"") != std::string::npos ||
            line.find(",\"" + hlt + "\",\"HLT multisensor (DS2438)\",\"{\"\"S0DownValue\"\":20,") !=
                std::string::npos)
            << line;
    }
    const CliRun shown = RunTool({"record", "show", record});
    EXPECT_EQ(shown.status, 0) << shown.out;
    EXPECT_NE(shown.out.find("4 records (CSV)"), std::string::npos) << shown.out;
}

}  // namespace
}  // namespace velgrin::cli::testing
