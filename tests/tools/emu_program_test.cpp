// velgrin-emu as a program: its command line and page, and velgrin-cli listing the demo bench
// through every kind of adapter it emulates, each run a real child process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "common/version.h"
#include "manual_page.h"
#include "program_run.h"

namespace velgrin::testing {
namespace {

ProgramRun Emu(const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment = {}) {
    return RunProgram(VELGRIN_EMU_PATH, arguments, environment);
}

// A sanitized velgrin-cli would refuse the preload library ahead of its runtime; umockdev's
// wrappers only pass calls on, so that order is harmless.
std::vector<std::string> PreloadFriendly() {
    const char* asan = std::getenv("ASAN_OPTIONS");
    return {std::string("ASAN_OPTIONS=") + (asan != nullptr ? std::string(asan) + ":" : "") +
            "verify_asan_link_order=0"};
}

TEST(EmuProgramTest, ManualPageNamesExactlyTheOptionsOfTheHelp) {
    const std::string page = ReadText(VELGRIN_EMU_MANUAL);
    ASSERT_FALSE(page.empty()) << "no page at " << VELGRIN_EMU_MANUAL;
    const ProgramRun help = Emu({"--help"});
    ASSERT_EQ(help.status, 0) << help.err;
    EXPECT_EQ(PageOptions(page, "velgrin-emu"), LongOptionsIn(help.out));
    EXPECT_EQ(LongOptionsIn(help.out),
              (std::set<std::string>{"--adapter", "--bench", "--save-bench", "--timing", "--link",
                                     "--max-baud", "--noise", "--seed", "--help", "--version"}));
}

TEST(EmuProgramTest, AnswersUnderTheNameItWasCalledBy) {
    for (const std::string program : {"velgrin-emu", "velgrin-ds2480b-emu"}) {
        const std::string path = std::string(VELGRIN_EMU_DIR) + "/" + program;
        const ProgramRun version = RunProgram(path, {"--version"});
        EXPECT_EQ(version.status, 0);
        EXPECT_EQ(version.out, program + " " + VELGRIN_VERSION + "\n");
        const ProgramRun help = RunProgram(path, {"-h"});
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind("usage: " + program + " [--adapter KIND]", 0), 0u) << help.out;
    }
}

TEST(EmuProgramTest, RefusesWhatItCannotServe) {
    const struct {
        std::vector<std::string> arguments;
        std::string message;
    } refused[] = {
        {{"--noise", "1.5"}, "--noise takes a share from 0 to 1, such as 0.05"},
        {{"--noise", "0,5"}, "--noise takes a share from 0 to 1, such as 0.05"},
        {{"--seed", "-1"}, "--seed takes a whole number from 0 to 4294967295"},
        {{"--seed", "4294967296"}, "--seed takes a whole number from 0 to 4294967295"},
        {{"--max-baud", "4800"}, "--max-baud takes 9600, 19200, 57600 or 115200"},
        {{"--bench"}, "--bench needs a value"},
        {{"--adapter", "ds9097"},
         "--adapter takes ds2480b, passive, ds2490, ds2482-100 or ds2482-800"},
        {{"--speed", "fast"}, "unknown option --speed (see --help)"},
        {{"--adapter", "ds2490"},
         "--adapter ds2490 serves one command: add -- COMMAND [ARGUMENTS]"},
        {{"--adapter", "ds2482-800", "--"}, "-- needs a command to run after it"},
        {{"--noise", "0.1", "--adapter", "ds2482-100", "--", "true"},
         "--noise is for the serial kinds (ds2480b, passive), not ds2482-100"},
        {{"--adapter", "ds2490", "--link", "/tmp/x", "--", "true"},
         "--link is for the serial kinds (ds2480b, passive), not ds2490"},
    };
    for (const auto& [arguments, message] : refused) {
        SCOPED_TRACE(arguments[0] + " " + (arguments.size() > 1 ? arguments[1] : ""));
        const ProgramRun run = Emu(arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, "velgrin-emu: " + message + "\n");
    }
}

TEST(EmuProgramTest, SaysWhichPackageHoldsAMissingPreloadLibrary) {
    for (const std::string kind : {"ds2490", "ds2482-100"}) {
        const ProgramRun run = Emu({"--adapter", kind, "--", "true"},
                                   {"VELGRIN_EMU_PRELOAD=libvelgrin-absent-preload.so.0"});
        EXPECT_EQ(run.status, 1) << kind;
        EXPECT_EQ(run.err,
                  "velgrin-emu: the USB and I2C kinds need umockdev's preload library "
                  "libvelgrin-absent-preload.so.0, which the dynamic loader cannot load: install "
                  "the package umockdev\n")
            << kind;
    }
}

// What velgrin-cli lists on the demo bench without any adapter between.
std::string SimulatedListing() {
    const ProgramRun run = RunProgram(VELGRIN_CLI_PATH, {"--port", "sim", "list"});
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
}

TEST(EmuProgramTest, VelgrinCliListsTheDemoBenchThroughEveryKind) {
    const std::string expected = SimulatedListing();
    ASSERT_NE(expected.find("DS18B20 thermometer"), std::string::npos) << expected;
    const std::string viaPort = std::string("exec \"$0\" --port \"$VELGRIN_EMU_PORT\" list");
    const struct {
        std::string kind;
        std::vector<std::string> command;
        std::string node;
    } kinds[] = {
        {"ds2480b", {"sh", "-c", viaPort, VELGRIN_CLI_PATH}, "(--port ds2480b:/dev/pts/"},
        {"passive", {"sh", "-c", viaPort, VELGRIN_CLI_PATH}, "(--port ds9097:/dev/pts/"},
        {"ds2490",
         {VELGRIN_CLI_PATH, "--port", "usb", "list"},
         "/dev/bus/usb/001/002 (--port usb)"},
        {"ds2482-100",
         {VELGRIN_CLI_PATH, "--port", "ds2482:/dev/i2c-1", "list"},
         "/dev/i2c-1 at 0x18 (--port ds2482:/dev/i2c-1)"},
        {"ds2482-800",
         {VELGRIN_CLI_PATH, "--port", "ds2482:/dev/i2c-1:0", "list"},
         "/dev/i2c-1 at 0x18 (--port ds2482:/dev/i2c-1)"},
    };
    for (const auto& [kind, command, node] : kinds) {
        SCOPED_TRACE(kind);
        std::vector<std::string> arguments{"--adapter", kind, "--"};
        arguments.insert(arguments.end(), command.begin(), command.end());
        const ProgramRun run = Emu(arguments, PreloadFriendly());
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, expected);
        EXPECT_NE(run.err.find("velgrin-emu: serving "), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(node), std::string::npos) << run.err;
    }
}

TEST(EmuProgramTest, EndsAsItsCommandEndedAndSavesTheBench) {
    const std::filesystem::path saved =
        std::filesystem::temp_directory_path() / ("velgrin-emu-saved-" + std::to_string(getpid()));
    const struct {
        std::vector<std::string> arguments;
        int status;
    } cases[] = {
        {{"--adapter", "ds2490", "--", "sh", "-c", "exit 7"}, 7},
        {{"--adapter", "ds2482-100", "--", "sh", "-c", "kill -TERM $$"}, 128 + 15},
        {{"--", "velgrin-no-such-command"}, 127},
        {{"--adapter", "ds2490", "--save-bench", saved.string(), "--", "true"}, 0},
    };
    for (const auto& [arguments, status] : cases) {
        SCOPED_TRACE(arguments.back());
        const ProgramRun run = Emu(arguments, PreloadFriendly());
        EXPECT_EQ(run.status, status) << run.err;
    }
    std::ifstream file(saved);
    const std::string text((std::istreambuf_iterator<char>(file)), {});
    EXPECT_NE(text.find("\"devices\""), std::string::npos) << text;
    std::filesystem::remove(saved);
}

}  // namespace
}  // namespace velgrin::testing
