#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "bench_folder.h"
#include "bench_roms.h"
#include "cli_process.h"

namespace velgrin::cli::testing {
namespace {

// The tool's output on a comma desktop is byte for byte what it is under the C locale.
TEST(CliUnderACommaLocale, PrintsAndReadsNumbersAsUnderTheCLocale) {
    BenchFolder folder;
    const std::string hlt = RomFor(0x26, 0x01C4E981);
    const nlohmann::json bench{
        {"devices",
         {{{"model", "DS18B20"}, {"rom", RomFor(0x28, 0x071D3E5A)}, {"temperature", -10.0625}},
          {{"model", "DS2438"},
           {"rom", hlt},
           {"temperature", 23.03125},
           {"hltConfig", {{"S0minVoltage", 0.826}, {"TupLimit", 40.5}}}}}}};
    const std::string port = folder.bench("bench.json", bench);
    const std::vector<std::vector<std::string>> commands{
        {"--port", port, "temp"},
        {"--port", port, "--json", "temp"},
        {"--port", port, "hlt", "show", hlt},
        {"--port", port, "--json", "hlt", "show", hlt},
        {"--port", port, "--save-bench", folder.path("after.json"), "hlt", "set", hlt,
         "--S0UpValue", "85.5"}};

    auto runAll = [&](const char* locale) {
        setenv("LC_ALL", locale, 1);
        std::vector<std::string> outputs;
        for (const auto& command : commands) {
            const CliRun run = RunTool(command);
            outputs.push_back(std::to_string(run.status) + "\n" + run.out + run.err);
        }
        outputs.push_back(folder.read("after.json"));
        return outputs;
    };
    const char* const before = std::getenv("LC_ALL");
    const std::string saved = before ? before : "";
    const auto plain = runAll("C.UTF-8");
    const auto russian = runAll("ru_RU.UTF-8");
    const auto german = runAll("de_DE.UTF-8");
    before ? setenv("LC_ALL", saved.c_str(), 1) : unsetenv("LC_ALL");

    EXPECT_EQ(russian, plain);
    EXPECT_EQ(german, plain);
    EXPECT_NE(plain[0].find("-10.0625"), std::string::npos) << plain[0];
    EXPECT_NE(plain[2].find("0.826"), std::string::npos) << plain[2];
}

}  // namespace
}  // namespace velgrin::cli::testing
