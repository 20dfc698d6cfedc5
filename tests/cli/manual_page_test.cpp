// velgrin-cli(1) against the tool: the options and port kinds the page names are the ones the
// tool's help names and accepts, so the page cannot fall behind the tool.
#include "manual_page.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "cli/command.h"
#include "cli_process.h"
#include "common/clock.h"
#include "wire/port_registry.h"

namespace velgrin::cli::testing {
namespace {

using velgrin::testing::LongOptionsIn;

std::vector<std::string> Words(const std::string& name) {
    std::vector<std::string> words;
    for (size_t start = 0; start <= name.size();) {
        const size_t space = std::min(name.find(' ', start), name.size());
        words.push_back(name.substr(start, space - start));
        start = space + 1;
    }
    return words;
}

std::string CommandHelpText(const Command& command) {
    std::vector<std::string> arguments = Words(command.name);
    arguments.push_back("--help");
    const CliRun run = RunTool(arguments);
    EXPECT_EQ(run.status, 0) << command.name << ": " << run.err;
    return run.out;
}

const std::string& Page() {
    static const std::string page = velgrin::testing::ReadText(VELGRIN_CLI_MANUAL);
    return page;
}

TEST(CliManualPageTest, NamesExactlyTheOptionsOfTheHelp) {
    ASSERT_FALSE(Page().empty()) << "no page at " << VELGRIN_CLI_MANUAL;
    const CliRun help = RunTool({"--help"});
    ASSERT_EQ(help.status, 0);
    std::set<std::string> accepted = LongOptionsIn(help.out);
    for (const Command& command : Commands()) {
        const auto options = LongOptionsIn(CommandHelpText(command));
        accepted.insert(options.begin(), options.end());
    }
    EXPECT_EQ(velgrin::testing::PageOptions(Page(), "velgrin-cli"), accepted);
}

TEST(CliManualPageTest, EveryOptionACommandTakesIsInItsHelp) {
    for (const Command& command : Commands()) {
        const auto named = LongOptionsIn(CommandHelpText(command));
        for (const OptionSpec& option : command.options) {
            EXPECT_TRUE(named.count(option.name)) << command.name << " " << option.name;
        }
    }
}

TEST(CliManualPageTest, DescribesEveryCommandAndPortKind) {
    for (const Command& command : Commands()) {
        EXPECT_NE(Page().find("\\fB" + command.name + "\\fR"), std::string::npos) << command.name;
    }
    VirtualClock unused;
    std::set<std::string> kinds;
    const PortRegistry registry = BuiltInPorts(unused);
    for (const PortBackend& backend : registry.backends()) {
        kinds.insert(backend.kind);
    }
    EXPECT_EQ(velgrin::testing::PagePortKinds(Page()), kinds);
    for (const std::string section :
         {"SYNOPSIS", "OPTIONS", "COMMANDS", "PORTS", "EXIT STATUS", "FILES", "EXAMPLES"}) {
        EXPECT_NE(Page().find("\n.SH " + section + "\n"), std::string::npos) << section;
    }
}

}  // namespace
}  // namespace velgrin::cli::testing
