// `velgrin-cli temp` over 20 externally powered thermometers on the DS2480B emulator in timing
// mode, first on the quiet machine and then while CPU-bound helpers keep every core busy: each
// run's exit status, readings and wall time, and how many of them failed. The helpers are this
// program's own children, each ending by itself after the time limit and killed at the end.
// Arguments: --runs N (default 20), --helpers N (default 3), --devices N (default 20),
// --limit SECONDS for the helpers (default 120).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "common/number_text.h"
#include "ds2480b_emu/ds2480b_emulator.h"
#include "wire/sim/sim_ds18b20.h"

namespace velgrin::bench {
namespace {

using Wall = std::chrono::steady_clock;

struct Run {
    bool exitedZero = false;
    int readings = 0;
    double ms = 0;
    uint64_t overruns = 0;  // bytes the emulated chip lost, as a real one would
};

// One `temp` run against a fresh emulator serving `devices` thermometers.
Run TempRun(int devices) {
    SteadyClock clock;
    auto bench = std::make_shared<sim::SimBench>(clock);
    for (int i = 0; i < devices; ++i) {
        auto device = std::make_unique<sim::Ds18b20Device>(
            SerialRom(0x28, 0x9E3779B97F4Aull * static_cast<uint64_t>(i + 1)));
        device->setTemperature(sim::SimValue::Constant(20 + i / 16.0));
        bench->bus().attach(std::move(device));
    }
    ds2480b::EmulatorOptions options;
    options.timing = true;
    ds2480b::Ds2480bEmulator emulator(bench, options);
    Run run;
    if (!emulator.start()) {
        return run;
    }
    const std::string command =
        std::string(VELGRIN_CLI_PATH) + " --port ds2480b:" + emulator.clientPath() + " temp";
    const auto start = Wall::now();
    FILE* output = ::popen(command.c_str(), "r");
    if (output == nullptr) {
        return run;
    }
    std::array<char, 256> line{};
    while (std::fgets(line.data(), static_cast<int>(line.size()), output) != nullptr) {
        // A measured row carries its temperature as "NUMBER C".
        if (std::string(line.data()).find(" C ") != std::string::npos) {
            ++run.readings;
        }
    }
    const int status = ::pclose(output);
    run.ms = std::chrono::duration<double, std::milli>(Wall::now() - start).count();
    run.exitedZero = status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.overruns = emulator.counters().overruns;
    return run;
}

// A child that spins until `limit` has passed, unless it is killed first.
pid_t StartHelper(std::chrono::seconds limit) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const auto end = Wall::now() + limit;
        volatile uint64_t spins = 0;
        while (Wall::now() < end) {
            for (int i = 0; i < 100000; ++i) {
                spins = spins + 1;
            }
        }
        ::_exit(0);
    }
    return pid;
}

void StopHelpers(const std::vector<pid_t>& helpers) {
    for (const pid_t pid : helpers) {
        ::kill(pid, SIGKILL);
    }
    for (const pid_t pid : helpers) {
        ::waitpid(pid, nullptr, 0);
    }
}

bool ParseCount(const char* text, int lowest, int highest, int& value) {
    const std::string word = text;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    return ec == std::errc() && end == word.data() + word.size() && value >= lowest &&
           value <= highest;
}

std::string Fixed(double value, int decimals) {
    return FormatFixedDot(value, decimals);
}

}  // namespace
}  // namespace velgrin::bench

int main(int argc, char** argv) {
    using namespace velgrin::bench;
    int runs = 20;
    int helperCount = 3;
    int devices = 20;
    int limitSeconds = 120;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool known = option == "--runs" || option == "--helpers" || option == "--devices" ||
                           option == "--limit";
        int* target = option == "--runs"      ? &runs
                      : option == "--helpers" ? &helperCount
                      : option == "--devices" ? &devices
                                              : &limitSeconds;
        if (!known || i + 1 == argc ||
            !ParseCount(argv[++i], option == "--helpers" ? 0 : 1, 600, *target)) {
            std::fprintf(stderr,
                         "usage: velgrin-load-bench [--runs N] [--helpers N] [--devices N] "
                         "[--limit SECONDS]\n");
            return 2;
        }
    }
    std::vector<double> quiet;
    for (int i = 0; i < 3; ++i) {
        const Run run = TempRun(devices);
        if (!run.exitedZero || run.readings != devices) {
            std::printf("quiet run %d failed (%d readings)\n", i + 1, run.readings);
            return 1;
        }
        quiet.push_back(run.ms);
    }
    std::sort(quiet.begin(), quiet.end());
    const double quietMs = quiet[1];
    std::printf("%d thermometers, quiet machine: median of 3 runs %s ms\n", devices,
                Fixed(quietMs, 1).c_str());

    std::vector<pid_t> helpers;
    for (int i = 0; i < helperCount; ++i) {
        helpers.push_back(StartHelper(std::chrono::seconds(limitSeconds)));
    }
    int failed = 0;
    double slowest = 0;
    for (int i = 0; i < runs; ++i) {
        const Run run = TempRun(devices);
        const bool good = run.exitedZero && run.readings == devices;
        failed += good ? 0 : 1;
        slowest = std::max(slowest, run.ms);
        std::printf("run %2d: %s, %d readings, %s ms (%sx quiet), %llu bytes overrun\n", i + 1,
                    good ? "exit 0" : "FAILED", run.readings, Fixed(run.ms, 1).c_str(),
                    Fixed(run.ms / quietMs, 2).c_str(),
                    static_cast<unsigned long long>(run.overruns));
        std::fflush(stdout);
    }
    StopHelpers(helpers);
    std::printf("under %d CPU-bound helpers: %d of %d runs failed; slowest %s ms (%sx quiet)\n",
                helperCount, failed, runs, Fixed(slowest, 1).c_str(),
                Fixed(slowest / quietMs, 2).c_str());
    return failed == 0 ? 0 : 1;
}
