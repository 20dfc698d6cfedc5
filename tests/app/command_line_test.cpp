#include "app/command_line.h"

#include <gtest/gtest.h>

namespace velgrin {
namespace {

CommandLine Parsed(const std::vector<std::string>& args) {
    auto result = ParseCommandLine(args);
    EXPECT_TRUE(std::holds_alternative<CommandLine>(result))
        << std::get<CommandLineError>(result).message;
    return std::get<CommandLine>(result);
}

std::string Refusal(const std::vector<std::string>& args) {
    auto result = ParseCommandLine(args);
    EXPECT_TRUE(std::holds_alternative<CommandLineError>(result));
    return std::holds_alternative<CommandLineError>(result)
               ? std::get<CommandLineError>(result).message
               : "";
}

TEST(CommandLineTest, PortInBothForms) {
    EXPECT_EQ(Parsed({"--port", "sim"}).port, "sim");
    EXPECT_EQ(Parsed({"--port=sim:bench.json"}).port, "sim:bench.json");
    EXPECT_FALSE(Parsed({}).port.has_value());
    EXPECT_EQ(Parsed({"--trace=bus.trace", "--port", "sim"}).trace, "bus.trace");
}

TEST(CommandLineTest, HelpVersionAndQtArguments) {
    EXPECT_TRUE(Parsed({"--help"}).help);
    EXPECT_TRUE(Parsed({"-h"}).help);
    EXPECT_TRUE(Parsed({"--version"}).version);
    EXPECT_EQ(Parsed({"-platform", "offscreen", "--port", "sim"}).toolkitArguments,
              (std::vector<std::string>{"-platform", "offscreen"}));
}

TEST(CommandLineTest, RefusesWhatItDoesNotKnow) {
    EXPECT_EQ(Refusal({"--port"}), "--port needs a port, for example --port sim");
    EXPECT_EQ(Refusal({"--port="}), "--port needs a port, for example --port sim");
    EXPECT_EQ(Refusal({"--trace"}), "--trace needs a file");
    EXPECT_EQ(Refusal({"--frob"}), "unknown option --frob");
    EXPECT_EQ(Refusal({"sim"}), "unexpected argument sim");
}

}  // namespace
}  // namespace velgrin
