// The bash completion of velgrin-cli, driven in bash as the shell drives it on Tab: its commands,
// options and port kinds are the tool's, and ROM arguments come from the last `list`.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>

#include "bench_folder.h"
#include "cli/command.h"
#include "common/clock.h"
#include "program_run.h"
#include "wire/port_registry.h"

namespace velgrin::cli::testing {
namespace {

using Words = std::set<std::string>;
using velgrin::testing::RunProgram;

class CompletionTest : public ::testing::Test {
  protected:
    // What Tab offers at the end of `line`; the completion's cache is the test's folder.
    Words complete(const std::string& line, const std::string& wordBreaks = "") const {
        const auto run = RunProgram("/bin/bash",
                                    {"--norc", "--noprofile", "-c",
                                     "source \"$1\" && COMP_LINE=$2 && COMP_POINT=${#COMP_LINE} && "
                                     "COMP_WORDBREAKS=${3:-$COMP_WORDBREAKS} && _velgrin_cli && "
                                     "printf '%s\\n' \"${COMPREPLY[@]}\"",
                                     "bash", VELGRIN_CLI_COMPLETION, line, wordBreaks},
                                    {"XDG_CACHE_HOME=" + folder_.path("cache")});
        EXPECT_EQ(run.status, 0) << line << ": " << run.err;
        EXPECT_EQ(run.err, "") << line;
        Words words;
        std::istringstream lines(run.out);
        for (std::string word; std::getline(lines, word);) {
            if (!word.empty()) {
                words.insert(word);
            }
        }
        return words;
    }

    // The same with only blanks breaking words, as a user may have set COMP_WORDBREAKS.
    Words completeWithBlankBreaks(const std::string& line) const { return complete(line, " \t\n"); }

    // Runs the tool with the test's cache folder.
    velgrin::testing::ProgramRun tool(const std::vector<std::string>& arguments) const {
        return RunProgram(VELGRIN_CLI_PATH, arguments, {"XDG_CACHE_HOME=" + folder_.path("cache")});
    }

    BenchFolder folder_;
};

// The tool's own options: the long ones of its help's "Options:" block.
Words GlobalOptions(const std::string& help) {
    Words options;
    const std::string block = help.substr(help.find("\nOptions:\n"));
    std::istringstream lines(block.substr(0, block.find("\n\n", 1)));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        for (std::string word; words >> word;) {
            if (word.rfind("--", 0) == 0) {
                options.insert(word.substr(0, word.find_first_of(",=")));
            }
        }
    }
    return options;
}

TEST_F(CompletionTest, OffersTheToolsCommandsAndSubcommands) {
    Words commands{"help"};
    Words hltCommands;
    for (const Command& command : Commands()) {
        commands.insert(command.name.substr(0, command.name.find(' ')));
        if (command.name.rfind("hlt ", 0) == 0) {
            hltCommands.insert(command.name.substr(4));
        }
    }
    EXPECT_EQ(complete("velgrin-cli "), commands);
    EXPECT_EQ(complete("velgrin-cli --port sim --json "), commands);
    EXPECT_EQ(complete("velgrin-cli hlt "), hltCommands);
    EXPECT_EQ(complete("velgrin-cli help hlt "), hltCommands);
    EXPECT_EQ(complete("velgrin-cli --json hlt s"), (Words{"set", "show"}));
    EXPECT_EQ(complete("velgrin-cli sa"), Words{"save-number"});
}

TEST_F(CompletionTest, OffersEachCommandsOptionsBesideTheToolsOwn) {
    const auto help = tool({"--help"});
    ASSERT_EQ(help.status, 0);
    const Words global = GlobalOptions(help.out);
    EXPECT_EQ(global, (Words{"--port", "--json", "--save-bench", "--reply-margin", "--trace",
                             "--help", "--version"}));
    EXPECT_EQ(complete("velgrin-cli --"), global);
    for (const Command& command : Commands()) {
        Words expected = global;
        for (const OptionSpec& option : command.options) {
            expected.insert(option.name);
        }
        EXPECT_EQ(complete("velgrin-cli " + command.name + " --"), expected) << command.name;
    }
    EXPECT_EQ(complete("velgrin-cli hlt set 09000001C4E98126 --S1M"),
              (Words{"--S1Max", "--S1MaxVoltage"}));
}

TEST_F(CompletionTest, OffersThePortKindsOfTheTool) {
    VirtualClock unused;
    Words kinds;
    const PortRegistry registry = BuiltInPorts(unused);
    for (const PortBackend& backend : registry.backends()) {
        kinds.insert(backend.kind);
    }
    Words offered;
    for (const std::string& word : complete("velgrin-cli --port ")) {
        offered.insert(word.substr(0, word.find(':')));
    }
    EXPECT_EQ(offered, kinds);
    EXPECT_EQ(complete("velgrin-cli --port s"), (Words{"sim", "sim:"}));
}

TEST_F(CompletionTest, CompletesFilesAfterTheColonAsBashReplacesThem) {
    folder_.write("bench.json", "{}");
    const std::string stem = folder_.path("ben");
    // bash replaces only what follows the last ':' or '=' of the word.
    EXPECT_EQ(complete("velgrin-cli --port sim:" + stem), Words{folder_.path("bench.json")});
    EXPECT_EQ(complete("velgrin-cli --port=sim:" + stem), Words{folder_.path("bench.json")});
    EXPECT_EQ(complete("velgrin-cli --port ds2480b:" + stem), Words{folder_.path("bench.json")});
    EXPECT_EQ(completeWithBlankBreaks("velgrin-cli --port=sim:" + stem),
              Words{"--port=sim:" + folder_.path("bench.json")});
    EXPECT_EQ(complete("velgrin-cli watch --auto-store " + stem),
              Words{folder_.path("bench.json")});
    EXPECT_EQ(complete("velgrin-cli hlt set 09000001C4E98126 --sensor0 HIH"),
              (Words{"HIH5031", "HIH4000"}));
    EXPECT_EQ(complete("velgrin-cli hlt set 09000001C4E98126 --Tdis h"), Words{"hidden"});
    EXPECT_EQ(complete("velgrin-cli alarms --th "), Words{});
}

TEST_F(CompletionTest, OffersTheRomsOfTheLastListByTheCommandsKindOfDevice) {
    EXPECT_EQ(complete("velgrin-cli temp "), Words{}) << "no list yet";

    const auto listed = tool({"--json", "list"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    Words thermometers, multisensors, registered, others;
    const auto document = nlohmann::json::parse(listed.out);
    for (const auto& device : document["devices"]) {
        const int group = device["group"];
        const std::string rom = device["rom"];
        (group == 16 || group == 40 ? thermometers
         : group == 38              ? multisensors
         : group == 33              ? registered
                                    : others)
            .insert(rom);
    }
    ASSERT_FALSE(thermometers.empty());
    ASSERT_FALSE(multisensors.empty());
    ASSERT_FALSE(registered.empty());
    EXPECT_EQ(complete("velgrin-cli temp "), thermometers);
    EXPECT_EQ(complete("velgrin-cli alarms --th 30 --tl 5 "), thermometers);
    EXPECT_EQ(complete("velgrin-cli hlt show "), multisensors);
    EXPECT_EQ(complete("velgrin-cli --port sim hlt set "), multisensors);
    EXPECT_EQ(complete("velgrin-cli save-number "), registered);
}

TEST_F(CompletionTest, IgnoresCacheLinesThatAreNoRomTexts) {
    std::filesystem::create_directories(folder_.path("cache/velgrin"));
    folder_.write("cache/velgrin/last-list",
                  "060000071D3E5A28\nrm -rf /\n060000071d3e5a28\n$(touch x)28\n"
                  "F3000802B31C4010 \n290000071D42B728");
    EXPECT_EQ(complete("velgrin-cli temp "), (Words{"060000071D3E5A28", "290000071D42B728"}));
}

}  // namespace
}  // namespace velgrin::cli::testing
