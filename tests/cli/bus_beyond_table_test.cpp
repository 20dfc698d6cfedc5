#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "bench_folder.h"
#include "bench_roms.h"
#include "cli_process.h"

namespace velgrin::cli::testing {
namespace {

using nlohmann::json;

// 150 thermometers and the adapter's chip, which the search finds last (family 0x81 has its
// lowest bit set): more than the device table's 100 records.
class BusBeyondTableTest : public ::testing::Test {
  protected:
    static constexpr int kThermometers = 150;
    BenchFolder folder;
    const std::string serialChip = RomFor(0x81, 0x24A1C3);
    std::string port;

    void SetUp() override {
        json devices = json::array();
        for (int i = 0; i < kThermometers; ++i) {
            devices.push_back({{"model", "DS18B20"},
                               {"rom", RomFor(0x28, 0x100000 + static_cast<uint64_t>(i))},
                               {"th", 70},
                               {"tl", 1}});
        }
        port = folder.bench("bench.json",
                            {{"adapter", {{"serialChip", serialChip}}}, {"devices", devices}});
    }
};

TEST_F(BusBeyondTableTest, ListSaysTheBusHoldsMoreAndFindsTheAdapterChipBeyondTheTable) {
    const CliRun run = RunTool({"--port", port, "--json", "list"});
    EXPECT_EQ(run.status, 1);
    const json document = json::parse(run.out);
    EXPECT_EQ(document.at("devices").size(), 100u);
    EXPECT_EQ(document.at("devices_on_bus"), kThermometers + 1);
    EXPECT_EQ(document.at("complete"), false);
    EXPECT_EQ(document.at("adapter_serial"), serialChip);
    EXPECT_NE(run.err.find("the bus holds 151 devices and the device table only the first 100"),
              std::string::npos)
        << run.err;
}

TEST_F(BusBeyondTableTest, AllCommandsReportNotAll) {
    const struct {
        std::vector<std::string> words;
        std::string said;  // on standard output or error
    } cases[] = {
        {{"alarms", "--all", "--th", "42", "--tl", "7"}, "NOT ALL: the bus holds 151 devices"},
        {{"temp"}, "not all thermometers were measured: the bus holds 151 devices"},
        {{"watch", "--count", "1"}, "not all devices are watched: the bus holds 151 devices"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> words{"--port", port, "--save-bench",
                                       folder.path(c.words[0] + ".json")};
        words.insert(words.end(), c.words.begin(), c.words.end());
        const CliRun run = RunTool(words);
        EXPECT_EQ(run.status, 1) << c.words[0] << run.err;
        EXPECT_NE((run.out + run.err).find(c.said), std::string::npos) << c.words[0] << "\n"
                                                                       << run.out << run.err;
        EXPECT_EQ(run.out.find("of 100 thermometers"), std::string::npos) << run.out;
    }

    // The first hundred got their thresholds and said so; the rest kept theirs.
    const json after = folder.readJson("alarms.json");
    int written = 0;
    for (const json& device : after.at("devices")) {
        written += device.at("th") == 42 ? 1 : 0;
    }
    EXPECT_EQ(written, 100);
}

}  // namespace
}  // namespace velgrin::cli::testing
