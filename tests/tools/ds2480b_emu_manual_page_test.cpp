// velgrin-ds2480b-emu(1) against the emulator's --help, and the command line they describe.
#include <gtest/gtest.h>

#include "common/version.h"
#include "manual_page.h"
#include "program_run.h"

namespace velgrin::testing {
namespace {

ProgramRun Emulator(const std::vector<std::string>& arguments) {
    return RunProgram(VELGRIN_EMULATOR_PATH, arguments);
}

TEST(EmulatorManualPageTest, NamesExactlyTheOptionsOfTheHelp) {
    const std::string page = ReadText(VELGRIN_EMULATOR_MANUAL);
    ASSERT_FALSE(page.empty()) << "no page at " << VELGRIN_EMULATOR_MANUAL;
    const ProgramRun help = Emulator({"--help"});
    ASSERT_EQ(help.status, 0) << help.err;
    EXPECT_EQ(PageOptions(page, "velgrin-ds2480b-emu"), LongOptionsIn(help.out));
    EXPECT_EQ(LongOptionsIn(help.out),
              (std::set<std::string>{"--adapter", "--bench", "--timing", "--link", "--max-baud",
                                     "--noise", "--seed", "--help", "--version"}));
}

TEST(EmulatorCommandLineTest, HelpAndVersionAnswerOnStandardOutput) {
    const ProgramRun version = Emulator({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("velgrin-ds2480b-emu ") + VELGRIN_VERSION + "\n");
    const ProgramRun help = Emulator({"-h"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: velgrin-ds2480b-emu", 0), 0u) << help.out;
}

TEST(EmulatorCommandLineTest, RefusesNumbersThatAreNotWholeAndInRange) {
    const struct {
        std::vector<std::string> arguments;
        std::string message;
    } refused[] = {
        {{"--noise", "1.5"}, "--noise takes a share from 0 to 1, such as 0.05"},
        {{"--noise", "-0.1"}, "--noise takes a share from 0 to 1, such as 0.05"},
        {{"--noise", "nan"}, "--noise takes a share from 0 to 1, such as 0.05"},
        {{"--noise", "0,5"}, "--noise takes a share from 0 to 1, such as 0.05"},
        {{"--seed", "-1"}, "--seed takes a whole number from 0 to 4294967295"},
        {{"--seed", "12abc"}, "--seed takes a whole number from 0 to 4294967295"},
        {{"--seed", "4294967296"}, "--seed takes a whole number from 0 to 4294967295"},
        {{"--max-baud", "9600x"}, "--max-baud takes 9600, 19200, 57600 or 115200"},
        {{"--max-baud", "4800"}, "--max-baud takes 9600, 19200, 57600 or 115200"},
        {{"--bench"}, "--bench needs a value"},
        {{"--adapter", "ds9097"}, "--adapter takes ds2480b or passive"},
    };
    for (const auto& [arguments, message] : refused) {
        const ProgramRun run = Emulator(arguments);
        EXPECT_EQ(run.status, 2) << arguments[0];
        EXPECT_EQ(run.err, "velgrin-ds2480b-emu: " + message + "\n") << arguments[0];
    }
}

}  // namespace
}  // namespace velgrin::testing
