// velgrin-cli doctor --port on simulated benches: what the probe of a port reports for each
// fault of its bus. The rest of the report depends on the machine and is left to the fixture
// tests.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "bench_folder.h"
#include "bench_roms.h"
#include "cli_process.h"

namespace velgrin::cli::testing {
namespace {

using nlohmann::json;

struct PortCase {
    std::string name;
    json bench;
    std::string found;  // the "bus" finding, or the adapter's when it does not answer
    std::vector<std::string> fixes;
};

void PrintTo(const PortCase& c, std::ostream* out) {
    *out << c.name;
}

const std::vector<PortCase>& PortCases() {
    static const std::vector<PortCase> cases{
        {"Healthy",
         {{"devices", {{{"model", "DS18B20"}, {"rom", RomFor(0x28, 1)}}}}},
         "presence pulse at 3 of 3 resets",
         {}},
        {"Shorted",
         {{"faults", {{"shorted", true}}}, {"devices", json::array()}},
         "presence pulse at 0 of 3 resets",
         {"find where DATA touches GND: unplug the sensors one by one until a reset sees them "
          "again"}},
        {"NobodyThere",
         {{"devices", json::array()}},
         "presence pulse at 0 of 3 resets",
         {"check the cable and the sensors' wiring (DATA, GND, and VDD where they are powered "
          "externally)"}},
        {"Unplugged",
         {{"faults", {{"unplugged", true}}}, {"devices", json::array()}},
         "does not answer",
         {"mend what the message names, then run 'velgrin-cli doctor --port sim:"}},
    };
    return cases;
}

class DoctorPort : public ::testing::TestWithParam<PortCase> {};

TEST_P(DoctorPort, ReportsTheBusAndItsFix) {
    const PortCase& c = GetParam();
    BenchFolder folder;
    const std::string port = folder.bench("bench.json", c.bench);
    const CliRun run = RunTool({"--json", "doctor", "--port", port});
    ASSERT_TRUE(run.status == 0 || run.status == 1) << run.err;
    const json report = json::parse(run.out);
    const json& findings = report.at("port");
    ASSERT_FALSE(findings.empty()) << run.out;
    const json& reported = findings.size() > 1 ? findings.at(1) : findings.at(0);
    EXPECT_EQ(reported.at("found"), c.found) << run.out;
    std::vector<std::string> fixes;
    for (const json& finding : findings) {
        for (const json& problem : finding.at("problems")) {
            fixes.push_back(problem.at("fix"));
        }
    }
    ASSERT_EQ(fixes.size(), c.fixes.size()) << run.out;
    for (size_t i = 0; i < fixes.size(); ++i) {
        EXPECT_EQ(fixes[i].substr(0, c.fixes[i].size()), c.fixes[i]);
    }
    EXPECT_GE(report.at("adapters"), c.name == "Unplugged" ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Benches, DoctorPort, ::testing::ValuesIn(PortCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace velgrin::cli::testing
