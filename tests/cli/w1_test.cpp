// velgrin-cli on a kernel 1-Wire master, against the kernel model's program (VELGRIN_W1_SOCKET).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
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

// The kernel model serving a bench file as w1_bus_master1, for as long as the object lives;
// the tool run meanwhile reaches it instead of the kernel.
class KernelModel {
  public:
    KernelModel(const std::string& benchFile, const std::string& socket) {
        std::vector<std::string> words{VELGRIN_W1_MODEL_PATH, "--socket", socket, "--bench",
                                       benchFile};
        std::vector<char*> argv;
        for (auto& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        started_ = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        // Waiting for another program to start up, not for the bus.
        for (int i = 0; started_ && i < 500 && !std::filesystem::exists(socket); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::setenv("VELGRIN_W1_SOCKET", socket.c_str(), 1);
    }
    ~KernelModel() {
        ::unsetenv("VELGRIN_W1_SOCKET");
        if (started_) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }

  private:
    pid_t pid_ = 0;
    bool started_ = false;
};

TEST(KernelMaster, TheToolListsAKernelMasterAsItListsTheSameBenchSimulated) {
    BenchFolder folder;
    const std::string port =
        folder.bench("bench.json", {{"adapter", {{"serialChip", RomFor(0x81, 0x24A1C3)}}},
                                    {"devices",
                                     {{{"model", "DS18B20"}, {"rom", RomFor(0x28, 0x010203)}},
                                      {{"model", "DS2438"}, {"rom", RomFor(0x26, 0x040506)}},
                                      {{"model", "DS1922T"}, {"rom", RomFor(0x41, 0x070809)}}}}});
    KernelModel kernel(folder.path("bench.json"), folder.path("w1.socket"));
    const CliRun w1 = RunTool({"--port", "w1:1", "--json", "list"});
    ASSERT_EQ(w1.status, 0) << w1.err;
    const CliRun simulated = RunTool({"--port", port, "--json", "list"});
    EXPECT_EQ(json::parse(w1.out), json::parse(simulated.out));
    EXPECT_EQ(json::parse(w1.out).at("devices").size(), 4u);
}

TEST(KernelMaster, AParasiteThermometerIsNotMeasuredAndTheToolSaysWhy) {
    BenchFolder folder;
    const std::string rom = RomFor(0x28, 0x0A0B0C);
    folder.bench("bench.json",
                 {{"devices", {{{"model", "DS18B20"}, {"rom", rom}, {"parasite", true}}}}});
    KernelModel kernel(folder.path("bench.json"), folder.path("w1.socket"));
    const CliRun run = RunTool({"--port", "w1", "temp"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE((run.out + run.err)
                  .find("the kernel's w1 interface gives programs no strong pull-up, which the "
                        "conversion needs"),
              std::string::npos)
        << run.out << run.err;
    EXPECT_EQ(run.out.find("85"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace velgrin::cli::testing
