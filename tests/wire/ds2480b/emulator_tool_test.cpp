// velgrin-ds2480b-emu as a program: it prints its port, serves a bench file, unplugs and replugs
// the adapter on signals and ends on SIGTERM.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "emulated_bench.h"
#include "spawned_process.h"
#include "wire/ds2480b/ds2480b_backend.h"

namespace velgrin::ds2480b {
namespace {

using velgrin::testing::Spawn;
using velgrin::testing::SpawnActions;

using namespace std::chrono_literals;

// Generous: the machine may be busy with builds.
constexpr auto kPatience = 20s;

class EmulatorProcess {
  public:
    explicit EmulatorProcess(const std::vector<std::string>& arguments) {
        int out[2];
        if (::pipe(out) != 0) {
            return;
        }
        SpawnActions actions;
        actions.dup(out[1], STDOUT_FILENO).close(out[0]);
        std::vector<std::string> words{VELGRIN_DS2480B_EMU};
        words.insert(words.end(), arguments.begin(), arguments.end());
        pid_ = Spawn(std::move(words), actions);
        ::close(out[1]);
        out_ = out[0];
    }
    ~EmulatorProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
    }

    bool running() const { return pid_ > 0; }
    void signal(int number) { ::kill(pid_, number); }

    // The next line the program prints, within the patience.
    std::optional<std::string> line() {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        for (;;) {
            if (const auto end = buffer_.find('\n'); end != std::string::npos) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd pfd{out_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) {
                return std::nullopt;
            }
            char chunk[256];
            const ssize_t n = ::read(out_, chunk, sizeof chunk);
            if (n <= 0) {
                return std::nullopt;
            }
            buffer_.append(chunk, static_cast<size_t>(n));
        }
    }

    // The exit status once the program has ended, within the patience.
    std::optional<int> exitStatus() {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(10ms);
        }
        return std::nullopt;
    }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
};

bool Exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

// Waits, within the patience, until the path is there or gone as wanted.
bool Await(const std::string& path, bool present) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (Exists(path) != present) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

TEST(Ds2480bEmulatorProgram, ServesABenchFileAndFollowsItsSignals) {
    // The same bench in-process, for what the program should list.
    testing::EmulatedBench reference;
    (void)reference.inProcess->ScanSessionAndSearch();
    const std::string listed = testing::ScanResult(*reference.inProcess);

    const std::string benchFile = reference.directory + "/bench.json";
    std::ofstream(benchFile) << testing::kBenchJson;
    const std::string link = reference.directory + "/ttyProgram";
    EmulatorProcess emulator({"--bench", benchFile, "--link", link});
    ASSERT_TRUE(emulator.running());
    EXPECT_EQ(emulator.line(), link);

    PortRegistry registry;
    registry.add(Ds2480bBackend(testing::PatientLink()));
    TmexDriver driver(std::move(registry), PortSpec{"ds2480b", link});
    BusCore core(driver, reference.host);
    (void)core.ScanSessionAndSearch();
    EXPECT_EQ(testing::ScanResult(core), listed);

    emulator.signal(SIGUSR1);
    ASSERT_TRUE(Await(link, false));
    (void)core.ScanSessionAndSearch();
    EXPECT_EQ(core.stat11, status_text::kCheckAdapter);
    EXPECT_EQ(core.FoundDev, 0);

    emulator.signal(SIGUSR2);
    EXPECT_EQ(emulator.line(), link);
    ASSERT_TRUE(Await(link, true));
    (void)core.ScanSessionAndSearch();
    EXPECT_EQ(testing::ScanResult(core), listed);

    emulator.signal(SIGTERM);
    EXPECT_EQ(emulator.exitStatus(), 0);
    ::unlink(benchFile.c_str());
}

TEST(Ds2480bEmulatorProgram, RefusesAnUnusableBenchFile) {
    EmulatorProcess emulator({"--bench", "/nonexistent/bench.json"});
    ASSERT_TRUE(emulator.running());
    EXPECT_EQ(emulator.line(), std::nullopt);
    EXPECT_EQ(emulator.exitStatus(), 1);
}

}  // namespace
}  // namespace velgrin::ds2480b
