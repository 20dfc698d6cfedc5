#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "bench_folder.h"
#include "bench_roms.h"
#include "cli_process.h"

namespace velgrin::cli::testing {
namespace {

using nlohmann::json;

class ListTest : public ::testing::Test {
  protected:
    BenchFolder folder;
    const std::string serialChip = RomFor(0x81, 0x0000A1C3EC24);
    const std::string ds18b20 = RomFor(0x28, 0x07123456);
    const std::string ds18s20 = RomFor(0x10, 0x0802B31C);
    const std::string hlt = RomFor(0x26, 0x01C4E981);
    // Subtype code 100 in ROM bytes 5 and 6.
    const std::string ds1921 = RomFor(0x21, 0x06409F1234AB);
    const std::string ds1922t = RomFor(0x41, 0x3A7C11);
    const std::string unlisted = RomFor(0x01, 0x13B5F27C);

    json bench() const {
        return {{"adapter", {{"serialChip", serialChip}}},
                {"devices",
                 {{{"model", "DS18B20"}, {"rom", ds18b20}},
                  {{"model", "DS18S20"}, {"rom", ds18s20}},
                  {{"model", "DS2438"}, {"rom", hlt}},
                  {{"model", "DS1921"}, {"rom", ds1921}},
                  {{"model", "DS1922T"}, {"rom", ds1922t}},
                  {{"rom", unlisted}}}}};
    }
};

TEST_F(ListTest, OneScanListsEveryDeviceWithItsFamilyGroupAndSubtype) {
    const CliRun run = RunTool({"--port", folder.bench("bench.json", bench()), "--json", "list"});
    ASSERT_EQ(run.status, 0) << run.err;
    const json document = json::parse(run.out);
    EXPECT_EQ(document.at("adapter_serial"), serialChip);

    const struct {
        std::string rom, family;
        int group;
        json subtype;
    } expected[] = {
        {ds18b20, "28", 40, nullptr},
        {ds18s20, "10", 16, nullptr},
        {hlt, "26", 38, nullptr},
        {ds1921, "21", 33, "DS1921L-F50 -40..+85(C)"},
        {ds1922t, "41", 33, "DS1922T Thermochron"},
        {unlisted, "01", 0, nullptr},
        {serialChip, "81", 0, nullptr},
    };
    const json& devices = document.at("devices");
    ASSERT_EQ(devices.size(), std::size(expected));
    for (const auto& e : expected) {
        const auto found = std::find_if(devices.begin(), devices.end(),
                                        [&](const json& d) { return d.at("rom") == e.rom; });
        ASSERT_NE(found, devices.end()) << e.rom;
        EXPECT_EQ(found->at("family"), e.family) << e.rom;
        EXPECT_EQ(found->at("group"), e.group) << e.rom;
        EXPECT_EQ(found->at("subtype"), e.subtype) << e.rom;
    }
    for (size_t i = 0; i < devices.size(); ++i) {
        EXPECT_EQ(devices[i].at("index"), i);
    }
}

TEST_F(ListTest, TextShowsTheAdapterAndOneLinePerDeviceUnderItsListIndex) {
    const CliRun run = RunTool({"--port", folder.bench("bench.json", bench()), "list"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("adapter serial number: " + serialChip + "\n", 0), 0u) << run.out;
    // One row per device: its two-digit index, the ROM text and the family code.
    std::vector<std::string> rows;
    for (size_t start = 0; start < run.out.size();) {
        const size_t end = run.out.find('\n', start);
        const std::string line = run.out.substr(start, end - start);
        if (line.size() > 25 && std::isdigit(static_cast<unsigned char>(line[0])) &&
            std::isdigit(static_cast<unsigned char>(line[1])) && line.substr(2, 5) == "     ") {
            rows.push_back(line);
        }
        start = end == std::string::npos ? run.out.size() : end + 1;
    }
    const std::pair<std::string, std::string> expected[] = {
        {ds18b20, "28"}, {ds18s20, "10"},  {hlt, "26"},       {ds1921, "21"},
        {ds1922t, "41"}, {unlisted, "01"}, {serialChip, "81"}};
    ASSERT_EQ(rows.size(), std::size(expected)) << run.out;
    std::set<std::string> indexes;
    for (const auto& [rom, family] : expected) {
        const auto row = std::find_if(rows.begin(), rows.end(), [&](const std::string& r) {
            return r.substr(7, 18) == rom + "  " && r.substr(25, 2) == family;
        });
        ASSERT_NE(row, rows.end()) << rom << "\n" << run.out;
        indexes.insert(row->substr(0, 2));
    }
    EXPECT_EQ(indexes, (std::set<std::string>{"00", "01", "02", "03", "04", "05", "06"}));
    EXPECT_NE(run.out.find("DS1922T Thermochron"), std::string::npos);
}

TEST_F(ListTest, AnEmptyBusWithoutASerialChipIsNoFailure) {
    const std::string port = folder.bench("empty.json", {{"devices", json::array()}});
    CliRun run = RunTool({"--port", port, "list"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "adapter serial number: none found\nno devices on the bus\n");

    run = RunTool({"--port", port, "--json", "list"});
    EXPECT_EQ(json::parse(run.out), json({{"adapter_serial", nullptr},
                                          {"devices", json::array()},
                                          {"devices_on_bus", 0},
                                          {"complete", true}}));
}

TEST_F(ListTest, AnAdapterThatCannotServeTheScanFailsWithStatus1) {
    const struct {
        json faults;
        std::string message;
    } cases[] = {
        {{{"unplugged", true}}, "the adapter does not answer"},
        {{{"sessionRefused", true}}, "the driver granted no session"},
    };
    for (const auto& c : cases) {
        json description = bench();
        description["faults"] = c.faults;
        const CliRun run =
            RunTool({"--port", folder.bench("faulty.json", description), "--json", "list"});
        EXPECT_EQ(run.status, 1) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(json::parse(run.out).at("exit_status"), 1);
    }
}

TEST_F(ListTest, ADeviceWhoseCodeFailsItsCrcFailsTheListRatherThanShorteningIt) {
    json description = bench();
    std::string broken = ds18b20;
    broken[0] = broken[0] == '0' ? '1' : '0';
    description["devices"].push_back({{"rom", broken}, {"faulty", true}});
    const CliRun run =
        RunTool({"--port", folder.bench("broken.json", description), "--json", "list"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("bus error: the bus search met answers no set of devices can give"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(json::parse(run.out).at("exit_status"), 1);
}

}  // namespace
}  // namespace velgrin::cli::testing
