#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "bench_folder.h"
#include "bench_roms.h"
#include "cli_process.h"

extern char** environ;

namespace velgrin::cli::testing {
namespace {

using nlohmann::json;

// The DS2480B emulator serving a bench file on a pseudo-terminal, for as long as the object
// lives.
class Emulator {
  public:
    Emulator(const std::string& benchFile, const std::string& link) {
        std::vector<std::string> words{VELGRIN_EMULATOR_PATH, "--bench", benchFile, "--link", link};
        std::vector<char*> argv;
        for (auto& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        started_ = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        // Waiting for another program to start up, not for the bus.
        for (int i = 0; started_ && i < 500 && !std::filesystem::exists(link); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~Emulator() {
        if (started_) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }

  private:
    pid_t pid_ = 0;
    bool started_ = false;
};

TEST(SerialAdapter, TheToolScansASerialAdapterAsItScansTheSameBenchSimulated) {
    BenchFolder folder;
    const std::string port =
        folder.bench("bench.json", {{"adapter", {{"serialChip", RomFor(0x81, 0x24A1C3)}}},
                                    {"devices",
                                     {{{"model", "DS18B20"}, {"rom", RomFor(0x28, 0x010203)}},
                                      {{"model", "DS2438"}, {"rom", RomFor(0x26, 0x040506)}},
                                      {{"model", "DS1922T"}, {"rom", RomFor(0x41, 0x070809)}}}}});
    const std::string link = folder.path("ttyDS2480B");
    Emulator emulator(folder.path("bench.json"), link);
    ASSERT_TRUE(std::filesystem::exists(link));

    // A wide reply margin: the emulator is another process, slowed down by parallel tests and
    // sanitizers, and its lateness is not what this test is about.
    const CliRun serial =
        RunTool({"--port", "ds2480b:" + link, "--reply-margin", "5000", "--json", "list"});
    ASSERT_EQ(serial.status, 0) << serial.err;
    const CliRun simulated = RunTool({"--port", port, "--json", "list"});
    EXPECT_EQ(json::parse(serial.out), json::parse(simulated.out));
    EXPECT_EQ(json::parse(serial.out).at("devices").size(), 4u);
}

TEST(SerialAdapter, ASerialPortWithoutAnAdapterIsABusFailure) {
    const CliRun run = RunTool({"--port", "ds2480b:/dev/null", "list"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("the port could not be set up"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace velgrin::cli::testing
