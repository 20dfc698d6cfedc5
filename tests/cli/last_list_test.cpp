// `list` keeps the ROM texts it printed for the shell's completion, in the user's cache.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "bench_folder.h"
#include "program_run.h"

namespace velgrin::cli::testing {
namespace {

using velgrin::testing::ProgramRun;
using velgrin::testing::RunProgram;

ProgramRun List(const std::string& cacheHome, const std::vector<std::string>& arguments) {
    return RunProgram(VELGRIN_CLI_PATH, arguments, {"XDG_CACHE_HOME=" + cacheHome});
}

TEST(LastListTest, ListKeepsItsRomsInListOrderAndTheNextListReplacesThem) {
    BenchFolder folder;
    const auto demo = List(folder.path("cache"), {"--json", "list"});
    ASSERT_EQ(demo.status, 0) << demo.err;
    std::string roms;
    const auto document = nlohmann::json::parse(demo.out);
    for (const auto& device : document["devices"]) {
        roms += device["rom"].get<std::string>() + "\n";
    }
    EXPECT_EQ(folder.read("cache/velgrin/last-list"), roms);

    const std::string bench = folder.bench(
        "one.json", {{"devices", {{{"model", "DS18B20"}, {"rom", "060000071D3E5A28"}}}}});
    const auto one = List(folder.path("cache"), {"--port", bench, "list"});
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(folder.read("cache/velgrin/last-list"), "060000071D3E5A28\n");
}

TEST(LastListTest, ACacheThatCannotBeWrittenIsAWarningAndTheListStillSucceeds) {
    BenchFolder folder;
    folder.write("file", "not a folder");
    const auto run = List(folder.path("file/cache"), {"list"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("060000071D3E5A28"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("velgrin-cli: could not keep the listed ROMs for completion in " +
                           folder.path("file/cache/velgrin/last-list") + ": Not a directory"),
              std::string::npos)
        << run.err;
}

TEST(LastListTest, ARelativeCacheHomeFallsBackToTheHomeFolder) {
    BenchFolder folder;
    const auto run = RunProgram(VELGRIN_CLI_PATH, {"list"},
                                {"XDG_CACHE_HOME=relative", "HOME=" + folder.path("home")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(folder.exists("home/.cache/velgrin/last-list"));
    EXPECT_FALSE(folder.exists("relative"));
}

}  // namespace
}  // namespace velgrin::cli::testing
