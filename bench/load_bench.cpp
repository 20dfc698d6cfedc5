// `velgrin-cli temp` over 20 externally powered thermometers on the DS2480B emulator in timing
// mode, in turns on the quiet machine (the helpers stopped) and while CPU-bound helpers keep
// every core busy: each run's exit status, readings and wall time, how many failed and how many
// loaded runs took more than 1.5 times the quiet median. The helpers are this program's own
// children, each ending by itself after the time limit and killed at the end.
//
// The emulator stands in for the adapter's own chip, which in the field never waits for the
// host's CPU; here it is a thread of this process on the same loaded cores. So the client and
// the helpers run at a nice value raised by --nice (default 10) and the emulator at this
// process's own: the client still competes with the helpers on equal terms, and what is
// measured is the client's cost of a busy machine, not the stand-in's. --nice 0 puts all of
// them on one footing, so that every round trip also pays for the emulator's wake-up.
// Arguments: --runs N (default 20), --helpers N (default 3), --devices N (default 20),
// --limit SECONDS for the helpers (default 300), --nice N (0 to 19, default 10).
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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

// How much slower than on the quiet machine a loaded run may be.
constexpr double kBound = 1.5;

struct Run {
    bool exitedZero = false;
    int readings = 0;
    double ms = 0;
    uint64_t overruns = 0;  // bytes the emulated chip lost, as a real one would
};

// This process's nice value raised by `by`: an unprivileged process may only go up.
int RaisedNice(int by) {
    return std::min(::getpriority(PRIO_PROCESS, 0) + by, 19);
}

// Starts `velgrin-cli temp` at a nice value raised by `niceness`, with its standard output on a
// pipe that the returned stream reads; null when that fails (`child` is then reaped by the
// caller when it was started).
FILE* StartCli(const std::string& port, int niceness, pid_t& child) {
    int ends[2];
    if (::pipe(ends) != 0) {
        return nullptr;
    }
    child = ::fork();
    if (child == 0) {
        ::close(ends[0]);
        ::dup2(ends[1], STDOUT_FILENO);
        ::close(ends[1]);
        if (::setpriority(PRIO_PROCESS, 0, RaisedNice(niceness)) != 0) {
            ::_exit(127);
        }
        ::execl(VELGRIN_CLI_PATH, VELGRIN_CLI_PATH, "--port", port.c_str(), "temp",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(ends[1]);
    if (child < 0) {
        ::close(ends[0]);
        return nullptr;
    }
    FILE* output = ::fdopen(ends[0], "r");
    if (output == nullptr) {
        ::close(ends[0]);
    }
    return output;
}

// One `temp` run against a fresh emulator serving `devices` thermometers.
Run TempRun(int devices, int niceness) {
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
    const auto start = Wall::now();
    pid_t child = -1;
    FILE* output = StartCli("ds2480b:" + emulator.clientPath(), niceness, child);
    if (output == nullptr) {
        if (child > 0) {
            ::waitpid(child, nullptr, 0);
        }
        return run;
    }
    std::array<char, 256> line{};
    while (std::fgets(line.data(), static_cast<int>(line.size()), output) != nullptr) {
        // A measured row carries its temperature as "NUMBER C".
        if (std::string(line.data()).find(" C ") != std::string::npos) {
            ++run.readings;
        }
    }
    std::fclose(output);
    int status = 0;
    const bool reaped = ::waitpid(child, &status, 0) == child;
    run.ms = std::chrono::duration<double, std::milli>(Wall::now() - start).count();
    run.exitedZero = reaped && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.overruns = emulator.counters().overruns;
    return run;
}

// A child that spins until `limit` has passed, unless it is killed first.
pid_t StartHelper(std::chrono::seconds limit, int niceness) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setpriority(PRIO_PROCESS, 0, RaisedNice(niceness)) != 0) {
            ::_exit(1);
        }
        // A benchmark started in the background from a shell that then exits leaves its process
        // group orphaned; the kernel hangs up the group's stopped members, which the helpers
        // are between loaded runs. They end by their limit or by the benchmark instead.
        ::signal(SIGHUP, SIG_IGN);
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

void Signal(const std::vector<pid_t>& helpers, int signal) {
    for (const pid_t pid : helpers) {
        ::kill(pid, signal);
    }
}

// Whether a helper has ended (its limit passed, or something else killed it); it is then reaped
// and said how it ended.
bool HelperEnded(std::vector<pid_t>& helpers) {
    for (auto it = helpers.begin(); it != helpers.end(); ++it) {
        int status = 0;
        if (::waitpid(*it, &status, WNOHANG) == *it) {
            std::printf("helper %d %s %d\n", static_cast<int>(*it),
                        WIFSIGNALED(status) ? "was killed by signal" : "exited with status",
                        WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status));
            helpers.erase(it);
            return true;
        }
    }
    return false;
}

// Ends the helpers; returns the CPU seconds they had, to tell how much of the machine they got.
double StopHelpers(const std::vector<pid_t>& helpers) {
    for (const pid_t pid : helpers) {
        ::kill(pid, SIGKILL);
    }
    double cpu = 0;
    for (const pid_t pid : helpers) {
        rusage usage{};
        if (::wait4(pid, nullptr, 0, &usage) == pid) {
            cpu += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        }
    }
    return cpu;
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

// The machine is shared: what else ran shows in the load average.
std::string LoadAverage() {
    std::array<double, 3> load{};
    if (::getloadavg(load.data(), 3) != 3) {
        return "load average unknown";
    }
    return "load average " + Fixed(load[0], 2) + " " + Fixed(load[1], 2) + " " + Fixed(load[2], 2);
}

}  // namespace
}  // namespace velgrin::bench

int main(int argc, char** argv) {
    using namespace velgrin::bench;
    int runs = 20;
    int helperCount = 3;
    int devices = 20;
    int limitSeconds = 300;
    int niceness = 10;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool known = option == "--runs" || option == "--helpers" || option == "--devices" ||
                           option == "--limit" || option == "--nice";
        int* target = option == "--runs"      ? &runs
                      : option == "--helpers" ? &helperCount
                      : option == "--devices" ? &devices
                      : option == "--nice"    ? &niceness
                                              : &limitSeconds;
        const bool fromZero = option == "--helpers" || option == "--nice";
        const int highest = option == "--nice" ? 19 : 600;
        if (!known || i + 1 == argc || !ParseCount(argv[++i], fromZero ? 0 : 1, highest, *target)) {
            std::fprintf(stderr,
                         "usage: velgrin-load-bench [--runs N] [--helpers N] [--devices N] "
                         "[--limit SECONDS] [--nice N]\n");
            return 2;
        }
    }
    // Quiet and loaded runs alternate, the helpers stopped for the quiet ones, so that both
    // see the same machine when something else starts or ends on it meanwhile.
    std::vector<pid_t> helpers;
    for (int i = 0; i < helperCount; ++i) {
        // A pid of -1 would have every signal below reach all of the user's processes.
        const pid_t helper = StartHelper(std::chrono::seconds(limitSeconds), niceness);
        if (helper <= 0) {
            std::printf("a CPU-bound helper could not be started\n");
            StopHelpers(helpers);
            return 1;
        }
        helpers.push_back(helper);
    }
    std::printf("%d thermometers; client and helpers at nice %d, the emulator at %d; %s\n", devices,
                RaisedNice(niceness), ::getpriority(PRIO_PROCESS, 0), LoadAverage().c_str());
    std::vector<double> quiet;
    std::vector<double> loaded;
    int failed = 0;
    double helpersRan = 0;  // seconds the helpers were let run
    for (int i = 0; i < runs; ++i) {
        Signal(helpers, SIGSTOP);
        const Run calm = TempRun(devices, niceness);
        const auto loadedFrom = Wall::now();
        Signal(helpers, SIGCONT);
        if (HelperEnded(helpers)) {
            std::printf("a CPU-bound helper ended before run %d: the load is gone\n", i + 1);
            StopHelpers(helpers);
            return 1;
        }
        const Run run = TempRun(devices, niceness);
        helpersRan += std::chrono::duration<double>(Wall::now() - loadedFrom).count();
        const bool good = run.exitedZero && run.readings == devices;
        const bool calmGood = calm.exitedZero && calm.readings == devices;
        failed += (good ? 0 : 1) + (calmGood ? 0 : 1);
        quiet.push_back(calm.ms);
        loaded.push_back(run.ms);
        std::printf("run %2d: quiet %s, %s ms; loaded %s, %d readings, %s ms, %llu bytes overrun\n",
                    i + 1, calmGood ? "exit 0" : "FAILED", Fixed(calm.ms, 1).c_str(),
                    good ? "exit 0" : "FAILED", run.readings, Fixed(run.ms, 1).c_str(),
                    static_cast<unsigned long long>(run.overruns + calm.overruns));
        std::fflush(stdout);
    }
    // Other work on a shared machine takes its share from the helpers as well as the client.
    const double helperCores = helpersRan > 0 ? StopHelpers(helpers) / helpersRan : 0;
    std::vector<double> sorted = quiet;
    std::sort(sorted.begin(), sorted.end());
    const double quietMs = sorted[sorted.size() / 2];
    std::string ratios;
    int beyond = 0;
    for (const double ms : loaded) {
        ratios += " " + Fixed(ms / quietMs, 2);
        beyond += ms > kBound * quietMs ? 1 : 0;
    }
    const double slowest = *std::max_element(loaded.begin(), loaded.end());
    std::printf("quiet median %s ms; loaded runs in quiet medians:%s\n", Fixed(quietMs, 1).c_str(),
                ratios.c_str());
    std::printf(
        "under %d CPU-bound helpers (together %s of %ld cores while loaded): %d of %d runs "
        "failed, %d beyond %sx the quiet median; slowest %s ms (%sx); %s\n",
        helperCount, Fixed(helperCores, 2).c_str(), ::sysconf(_SC_NPROCESSORS_ONLN), failed,
        2 * runs, beyond, Fixed(kBound, 1).c_str(), Fixed(slowest, 1).c_str(),
        Fixed(slowest / quietMs, 2).c_str(), LoadAverage().c_str());
    return failed == 0 && beyond == 0 ? 0 : 1;
}
