#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>

#include "bench_folder.h"
#include "bench_roms.h"
#include "cli_process.h"

namespace velgrin::cli::testing {
namespace {

using nlohmann::json;

class SaveNumberTest : public ::testing::Test {
  protected:
    BenchFolder folder;
    const std::string logger = RomFor(0x41, 0x3A7C11);
    const std::string ds1822 = RomFor(0x22, 0x00C0FFEE);
    const std::string thermometer = RomFor(0x28, 0x071D3E5A);
    std::string port =
        folder.bench("bench.json", {{"devices",
                                     {{{"model", "DS1922L"}, {"rom", logger}},
                                      {{"model", "DS1822"}, {"rom", ds1822}},
                                      {{"model", "DS18B20"}, {"rom", thermometer}}}}});

    CliRun save(std::vector<std::string> arguments) {
        std::vector<std::string> words{"--port", port, "save-number"};
        words.insert(words.end(), arguments.begin(), arguments.end());
        return RunTool(words);
    }
};

TEST_F(SaveNumberTest, AppendsTheManualSaveLineEachTime) {
    const std::string file = folder.path("numbers.txt");
    CliRun run = save({logger, "--comment", "bench 3", "--file", file});
    ASSERT_EQ(run.status, 0) << run.err;
    run = save({"--json", ds1822, "--file", file});
    ASSERT_EQ(run.status, 0) << run.err;
    const json document = json::parse(run.out);
    EXPECT_EQ(document.at("comment"), "Датчик");

    const std::regex kLines("(\\d\\d\\.\\d\\d\\.\\d{4}): bench 3 " + logger +
                            "\r\n(\\d\\d\\.\\d\\d\\.\\d{4}): Датчик " + ds1822 + "\r\n");
    std::smatch lines;
    const std::string text = folder.read("numbers.txt");
    ASSERT_TRUE(std::regex_match(text, lines, kLines)) << text;
    EXPECT_EQ(document.at("line"), lines[2].str() + ": Датчик " + ds1822);
}

TEST_F(SaveNumberTest, BadInputWritesNothing) {
    const std::string file = folder.path("numbers.txt");
    const std::string absent = RomFor(0x41, 0x777777);
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    } cases[] = {
        {{thermometer, "--file", file}, 2, thermometer + " is not on the registration list"},
        {{absent, "--file", file}, 1, "no device with ROM " + absent + " on the bus"},
        {{"41117C3A0000008", "--file", file}, 2, "'41117C3A0000008' is not a ROM text"},
        {{logger}, 2, "--file is needed"},
        {{"--file", file}, 2, "missing the ROM text of the device"},
        {{logger, ds1822, "--file", file}, 2, "unexpected argument '" + ds1822 + "'"},
        {{logger, "--comment", "a\r\nFAKE 0000000000000000", "--file", file},
         2,
         "--comment must be one line of text"},
    };
    for (const auto& c : cases) {
        const CliRun run = save(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_FALSE(folder.exists("numbers.txt")) << c.message;
    }
}

TEST_F(SaveNumberTest, AFileThatCannotBeWrittenIsADeviceSideFailure) {
    const std::string file = folder.path("missing/numbers.txt");
    const CliRun run = save({logger, "--file", file});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("could not write to the file: " + file), std::string::npos) << run.err;
}

}  // namespace
}  // namespace velgrin::cli::testing
