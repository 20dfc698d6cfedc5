#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "bench_folder.h"
#include "cli_process.h"

namespace velgrin::cli::testing {
namespace {

using nlohmann::json;

TEST(CommandLine, ToolHelpNamesEveryCommandTheDefaultPortAndTheExitStatuses) {
    const CliRun run = RunTool({"--help"});
    EXPECT_EQ(run.status, 0);
    for (const char* word :
         {"list", "temp [ROM...]", "alarms --th X --tl Y", "watch", "save-number", "default: sim",
          "0 success", "1 the bus", "2 usage error"}) {
        EXPECT_NE(run.out.find(word), std::string::npos) << word;
    }
    EXPECT_EQ(RunTool({"help"}).out, run.out);
}

TEST(CommandLine, EveryCommandExplainsItself) {
    for (const std::string command : {"list", "temp", "alarms", "watch", "save-number", "hlt show",
                                      "hlt set", "hlt reseal", "hlt dump", "hlt restore"}) {
        std::vector<std::string> words;
        std::istringstream split(command);
        for (std::string word; split >> word;) {
            words.push_back(word);
        }
        std::vector<std::string> asked = words;
        asked.push_back("--help");
        const CliRun run = RunTool(asked);
        EXPECT_EQ(run.status, 0) << command;
        EXPECT_EQ(run.out.rfind("Usage: velgrin-cli [--port SPEC] [--json] " + command, 0), 0u)
            << run.out;
        words.insert(words.begin(), "help");
        EXPECT_EQ(RunTool(words).out, run.out) << command;
    }
}

TEST(CommandLine, TheHltGroupListsItsCommands) {
    const CliRun run = RunTool({"hlt", "--help"});
    EXPECT_EQ(run.status, 0);
    for (const char* command : {"hlt show", "hlt set", "hlt reseal", "hlt dump", "hlt restore"}) {
        EXPECT_NE(run.out.find(command), std::string::npos) << command;
    }
    EXPECT_EQ(RunTool({"help", "hlt"}).out, run.out);
    const CliRun bare = RunTool({"hlt"});
    EXPECT_EQ(bare.status, 2);
    EXPECT_EQ(bare.err, "velgrin-cli: 'hlt' needs a subcommand; see 'velgrin-cli hlt --help'\n");
}

TEST(CommandLine, VersionIsTheProjectVersion) {
    const CliRun run = RunTool({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "velgrin-cli 3.2.0\n");
}

TEST(CommandLine, MistakesOnTheCommandLineExitWithStatus2AndSayWhat) {
    const struct {
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        {{}, "no command given"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"list", "--colour"}, "unknown option '--colour'"},
        {{"list", "extra"}, "unexpected argument 'extra'"},
        {{"list", "--port"}, "option '--port' needs a value"},
        {{"--json=yes", "list"}, "option '--json' takes no value"},
        {{"help", "frobnicate"}, "unknown command 'frobnicate'"},
        {{"--reply-margin", "0", "list"},
         "--reply-margin needs whole milliseconds from 1 to 60000, not '0'"},
        {{"--reply-margin", "60001", "list"},
         "--reply-margin needs whole milliseconds from 1 to 60000, not '60001'"},
        {{"--reply-margin", "1,5", "list"},
         "--reply-margin needs whole milliseconds from 1 to 60000, not '1,5'"},
        {{"--reply-margin", "+50", "list"},
         "--reply-margin needs whole milliseconds from 1 to 60000, not '+50'"},
        {{"--reply-margin", "99999999999", "list"},
         "--reply-margin needs whole milliseconds from 1 to 60000, not '99999999999'"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunTool(c.arguments);
        EXPECT_EQ(run.status, 2) << c.message;
        EXPECT_EQ(run.out, "") << c.message;
        EXPECT_EQ(run.err.rfind("velgrin-cli: " + c.message, 0), 0u) << run.err;
    }
}

TEST(CommandLine, PortsThatCannotBeUsedAreUsageErrorsNamingTheProblem) {
    BenchFolder folder;
    const std::string broken = folder.write("broken.json", "{\n  \"devices\": [\n    {,\n");
    const std::string missing = folder.path("missing.json");

    CliRun run = RunTool({"--port", "sim:" + missing, "list"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(missing), std::string::npos) << run.err;

    run = RunTool({"--port", "sim:" + broken, "list"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(broken + ":3:"), std::string::npos) << run.err;

    run = RunTool({"--port", "telepathy:x", "list"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("unknown kind 'telepathy'"), std::string::npos) << run.err;
}

TEST(CommandLine, SavingTheBenchNeedsASimulatedPort) {
    BenchFolder folder;
    const CliRun run =
        RunTool({"--port", "ds2480b:/dev/null", "--save-bench", folder.path("out.json"), "list"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("--save-bench needs a simulated bench"), std::string::npos);
    EXPECT_FALSE(folder.exists("out.json"));
}

TEST(CommandLine, WithJsonAFailureIsAlsoADocumentOnStandardOutput) {
    const CliRun run = RunTool({"--json", "temp", "not-a-rom"});
    EXPECT_EQ(run.status, 2);
    const json document = json::parse(run.out);
    EXPECT_EQ(document.at("exit_status"), 2);
    EXPECT_NE(document.at("error").get<std::string>().find("'not-a-rom' is not a ROM text"),
              std::string::npos);
}

TEST(CommandLine, TheToolsOptionsMayFollowTheCommand) {
    BenchFolder folder;
    const std::string port = folder.bench("empty.json", json::object());
    const CliRun run = RunTool({"list", "--port", port, "--json"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(json::parse(run.out).at("devices"), json::array());
}

TEST(CommandLine, WithoutPortTheToolRunsOnTheDemoBench) {
    const CliRun run = RunTool({"--json", "list"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(json::parse(run.out).at("devices").empty());
    EXPECT_EQ(run.out, RunTool({"--port", "sim", "--json", "list"}).out);
}

}  // namespace
}  // namespace velgrin::cli::testing
