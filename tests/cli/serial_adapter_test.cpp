#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <thread>

#include "bench_folder.h"
#include "bench_roms.h"
#include "cli_process.h"
#include "serving_program.h"
#include "spawned_process.h"

namespace velgrin::cli::testing {
namespace {

using velgrin::testing::Spawn;
using velgrin::testing::SpawnActions;

using nlohmann::json;
using ::testing::ContainsRegex;

// The DS2480B emulator serving a bench file on a pseudo-terminal, for as long as the object
// lives.
class Emulator {
  public:
    Emulator(const std::string& benchFile, const std::string& link)
        : program_({VELGRIN_EMULATOR_PATH, "--bench", benchFile, "--link", link}, link, true) {}

  private:
    velgrin::testing::ServingProgram program_;
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

TEST(SerialAdapter, ATraceOfListShowsTheAdaptersBytesUnderTheResetAndTheSearch) {
    BenchFolder folder;
    folder.bench("bench.json", {{"devices", {{{"model", "DS18B20"}, {"rom", RomFor(0x28, 7)}}}}});
    const std::string link = folder.path("ttyDS2480B");
    Emulator emulator(folder.path("bench.json"), link);
    ASSERT_TRUE(std::filesystem::exists(link));

    const CliRun run = RunTool({"--port", "ds2480b:" + link, "--reply-margin", "5000", "--trace",
                                folder.path("list.trace"), "list"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string trace = folder.read("list.trace");
    // The DS2480B's reset command and its presence reply, then what the link made of them.
    EXPECT_THAT(trace, ContainsRegex("\n[0-9.]+ +reset +sent +C1\n"));
    EXPECT_THAT(trace, ContainsRegex("\n[0-9.]+ +reset +received +CD\n"));
    EXPECT_THAT(trace, ContainsRegex("\n[0-9.]+ +reset +bus +presence\n"));
    // The search: data mode, Search ROM and the accelerator on, then the pass's result.
    EXPECT_THAT(trace, ContainsRegex("\n[0-9.]+ +search pass +sent +E1 F0 E3\n"));
    EXPECT_THAT(trace, ContainsRegex("\n[0-9.]+ +search pass +bus +.* -> path " + RomFor(0x28, 7)));
}

TEST(SerialAdapter, WhatIsNoSerialPortIsAUsageErrorSayingSo) {
    BenchFolder folder;
    const std::string fifo = folder.path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& device : {std::string("/dev/null"), fifo, std::string("/dev/tty")}) {
        const CliRun run = RunTool({"--port", "ds2480b:" + device, "list"});
        EXPECT_EQ(run.status, 2) << device;
        EXPECT_NE(run.err.find(device + " is not a serial port"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("unplugged"), std::string::npos) << run.err;
    }
}

// A process that holds a file open as its descriptor 3 and sleeps, as a program that takes no
// lock (owserver) holds a serial port.
class Holder {
  public:
    explicit Holder(const std::string& path) {
        SpawnActions actions;
        actions.open(3, path, O_RDWR | O_NOCTTY | O_NONBLOCK);
        pid_ = Spawn({"/bin/sleep", "60"}, actions);
        started_ = pid_ > 0;
        // Waiting for the other process to have opened it, not for the bus.
        const std::string held = "/proc/" + std::to_string(pid_) + "/fd/3";
        for (int i = 0; started_ && i < 500 && !std::filesystem::exists(held); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~Holder() { end(); }
    void end() {
        if (started_) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
            started_ = false;
        }
    }
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = 0;
    bool started_ = false;
};

TEST(SerialAdapter, APortAnotherProgramHoldsOpenIsRefusedNamingIt) {
    BenchFolder folder;
    folder.bench("bench.json", {{"devices", {{{"model", "DS18B20"}, {"rom", RomFor(0x28, 7)}}}}});
    const std::string link = folder.path("ttyDS2480B");
    Emulator emulator(folder.path("bench.json"), link);
    ASSERT_TRUE(std::filesystem::exists(link));
    const std::vector<std::string> list{"--port", "ds2480b:" + link, "--reply-margin", "5000",
                                        "list"};

    Holder holder(std::filesystem::canonical(link));
    const CliRun refused = RunTool(list);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("is in use by another program: sleep (PID " +
                               std::to_string(holder.pid()) + ")"),
              std::string::npos)
        << refused.err;

    holder.end();
    const CliRun alone = RunTool(list);
    EXPECT_EQ(alone.status, 0) << alone.err;
}

// The tool running in the background, its standard output going to a file.
class Spawned {
  public:
    struct Ended {
        int status = 0;
        std::string out;
    };

    explicit Spawned(std::vector<std::string> words) {
        char pattern[] = "/tmp/velgrin-cli-out-XXXXXX";
        const int fd = mkstemp(pattern);
        outPath_ = pattern;
        SpawnActions actions;
        actions.dup(fd, STDOUT_FILENO).open(STDERR_FILENO, "/dev/null", O_WRONLY);
        pid_ = Spawn(std::move(words), actions);
        started_ = pid_ > 0;
        close(fd);
    }
    ~Spawned() {
        if (started_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        unlink(outPath_.c_str());
    }

    Ended stop(int signal) {
        Ended ended;
        if (!started_) {
            return ended;
        }
        kill(pid_, signal);
        waitpid(pid_, &ended.status, 0);
        started_ = false;
        std::ifstream file(outPath_);
        ended.out.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        return ended;
    }

  private:
    pid_t pid_ = 0;
    bool started_ = false;
    std::string outPath_;
};

// Forty thermometers on the emulator: each copy to EEPROM takes half a second of real time, so
// a signal two seconds in comes long before the last one, whenever the tool has got to.
class SignalledWrite : public ::testing::Test {
  protected:
    SignalledWrite() {
        json devices = json::array();
        for (int i = 0; i < kThermometers; ++i) {
            devices.push_back({{"model", "DS18B20"}, {"rom", RomFor(0x28, 0x100 + i)}});
        }
        folder_.bench("bench.json", {{"devices", devices}});
        emulator_ = std::make_unique<Emulator>(folder_.path("bench.json"), link());
    }

    std::string link() { return folder_.path("ttyDS2480B"); }

    Spawned::Ended runUntil(int signal, std::vector<std::string> command) {
        std::vector<std::string> words{VELGRIN_CLI_PATH, "--port", "ds2480b:" + link(),
                                       "--reply-margin", "5000"};
        words.insert(words.end(), command.begin(), command.end());
        Spawned tool(words);
        std::this_thread::sleep_for(std::chrono::seconds(2));
        return tool.stop(signal);
    }

    static constexpr int kThermometers = 40;
    BenchFolder folder_;
    std::unique_ptr<Emulator> emulator_;
};

TEST_F(SignalledWrite, AWriteToAllEndsBetweenTwoThermometers) {
    const auto ended = runUntil(SIGTERM, {"--json", "alarms", "--all", "--th", "40", "--tl", "5"});
    ASSERT_TRUE(WIFEXITED(ended.status)) << "ended by the signal itself";
    EXPECT_EQ(WEXITSTATUS(ended.status), 1);
    EXPECT_NE(ended.out.find("stopped by a signal"), std::string::npos) << ended.out;
    // One whole document, whatever was cut short.
    EXPECT_TRUE(json::accept(ended.out)) << ended.out;
}

TEST_F(SignalledWrite, TheStationFinishesAndReportsTheDeviceItIsWriting) {
    const std::string record = folder_.path("record.jsonl");
    const auto ended = runUntil(SIGINT, {"station", "--th", "40", "--tl", "5", "--record", record});
    ASSERT_TRUE(WIFEXITED(ended.status)) << "ended by the signal itself";
    EXPECT_NE(ended.out.find("stopped by a signal"), std::string::npos) << ended.out;

    // Every device the station began is on the terminal and in the record, each line whole.
    std::ifstream file(record);
    int recorded = 0;
    for (std::string line; std::getline(file, line); ++recorded) {
        ASSERT_TRUE(json::accept(line)) << line;
        const json entry = json::parse(line);
        EXPECT_EQ(entry.at("result"), "OK") << line;
        EXPECT_NE(ended.out.find(entry.at("rom").get<std::string>() + "  DS18B20"),
                  std::string::npos)
            << ended.out;
    }
    EXPECT_LT(recorded, kThermometers);
    const auto reported = std::count(ended.out.begin(), ended.out.end(), '\n') - 1;
    EXPECT_EQ(reported, recorded) << ended.out;
}

}  // namespace
}  // namespace velgrin::cli::testing
