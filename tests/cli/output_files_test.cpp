#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "bench_folder.h"
#include "bench_roms.h"
#include "cli_process.h"

namespace velgrin::cli::testing {
namespace {

using nlohmann::json;

// A FIFO with its reading end held open by the test: a tool that writes into it does not block
// but swallows its output into a pipe nobody reads.
class OutputFilesTest : public ::testing::Test {
  protected:
    BenchFolder folder;
    const std::string logger = RomFor(0x41, 0x3A7C11);
    std::string port;
    std::string fifo;
    int reader = -1;

    void SetUp() override {
        port = folder.bench("bench.json", {{"devices", {{{"model", "DS1922T"}, {"rom", logger}}}}});
        fifo = folder.path("fifo");
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(reader, 0);
        ASSERT_EQ(mkfifo(folder.path("log.txt_e_.txt").c_str(), 0600), 0);
    }
    void TearDown() override { ::close(reader); }
};

TEST_F(OutputFilesTest, AnOutputPathThatIsNoRegularFileIsRefusedBeforeAnythingRuns) {
    const struct {
        std::vector<std::string> words;
        std::string message;
    } cases[] = {
        {{"--save-bench", fifo, "list"}, "--save-bench: " + fifo + " is not a regular file"},
        {{"--save-bench", folder.path(""), "list"}, " is a folder, not a file"},
        {{"save-number", logger, "--file", fifo}, "--file: " + fifo + " is not a regular file"},
        {{"watch", "--count", "1", "--auto-store", fifo},
         "--auto-store: " + fifo + " is not a regular file"},
        // The companion file counts as much as the main one.
        {{"watch", "--count", "1", "--auto-store", folder.path("log.txt")},
         folder.path("log.txt_e_.txt") + " is not a regular file"},
        {{"watch", "--count", "1", "--auto-store", ""}, "--auto-store needs a file"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> words{"--port", port};
        words.insert(words.end(), c.words.begin(), c.words.end());
        const CliRun run = RunTool(words);
        EXPECT_EQ(run.status, 2) << c.message << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "") << c.message;
    }
    char swallowed[16];
    EXPECT_LT(::read(reader, swallowed, sizeof swallowed), 1) << "nothing went into the FIFO";
    EXPECT_FALSE(folder.exists("log.txt"));
}

TEST(TerminalEscapes, ControlCharactersInOptionValuesAreShownEscaped) {
    const struct {
        std::string value;
        std::string shown;
    } cases[] = {
        {"\x1B]0;owned\x07", "\\x1B]0;owned\\x07"},
        {"1\n2\r", "1\\x0A2\\x0D"},
        {"\xC2\x9B"
         "31m",
         "\\u009B31m"},
        {"\xFF", "\\xFF"},
        {"тёплый", "тёплый"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunTool({"watch", "--count", c.value});
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find("not '" + c.shown + "'"), std::string::npos) << run.err;
        for (const char raw : {'\x1B', '\x07', '\r'}) {
            EXPECT_EQ(run.err.find(raw), std::string::npos) << c.shown;
        }
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line only: " << run.err;
    }
}

}  // namespace
}  // namespace velgrin::cli::testing
