// velgrin-ds2480b-emu: a DS2480B serial 1-Wire adapter on a pseudo-terminal, serving a simulated
// bench. Prints the path a client opens as its serial port, then serves until SIGINT or SIGTERM.
// SIGUSR1 pulls the adapter out (the port disappears), SIGUSR2 puts it back.

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include "common/clock.h"
#include "common/number_text.h"
#include "ds2480b_emu/ds2480b_emulator.h"
#include "wire/sim/bench_file.h"

namespace {

constexpr const char* kUsage =
    "usage: velgrin-ds2480b-emu [--bench FILE] [--timing] [--link PATH] [--max-baud N]\n"
    "                           [--noise RATE] [--seed N]\n"
    "  --bench FILE  serve this bench file (default: the built-in demo bench)\n"
    "  --timing      answer as late as a real adapter: serial time plus 1-Wire time\n"
    "  --link PATH   keep a symbolic link PATH to the terminal (stable across replug)\n"
    "  --max-baud N  the line carries at most N baud (9600, 19200, 57600 or 115200)\n"
    "  --noise RATE  garble this share of the reply bytes (0 to 1)\n"
    "  --seed N      seed of the noise\n"
    "signals: SIGUSR1 unplugs the adapter, SIGUSR2 plugs it back, SIGINT/SIGTERM end.\n";

struct Arguments {
    std::optional<std::string> benchFile;
    velgrin::ds2480b::EmulatorOptions options;
};

std::optional<Arguments> Parse(int argc, char** argv) {
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) {
                std::cerr << "velgrin-ds2480b-emu: " << word << " needs a value\n";
                return std::nullopt;
            }
            return std::string(argv[++i]);
        };
        try {
            if (word == "--timing") {
                arguments.options.timing = true;
            } else if (word == "--bench") {
                if (auto v = value()) {
                    arguments.benchFile = *v;
                } else {
                    return std::nullopt;
                }
            } else if (word == "--link") {
                if (auto v = value()) {
                    arguments.options.linkPath = *v;
                } else {
                    return std::nullopt;
                }
            } else if (word == "--max-baud") {
                auto v = value();
                if (!v || !velgrin::ds2480b::CodeOfBaud(static_cast<uint32_t>(std::stoul(*v)))) {
                    std::cerr << "velgrin-ds2480b-emu: --max-baud takes 9600, 19200, 57600 or "
                                 "115200\n";
                    return std::nullopt;
                }
                arguments.options.lineLimit = static_cast<uint32_t>(std::stoul(*v));
            } else if (word == "--noise") {
                auto v = value();
                if (!v) {
                    return std::nullopt;
                }
                const auto rate = velgrin::ParseDotNumber(*v);
                if (!rate || *rate < 0 || *rate > 1) {
                    std::cerr
                        << "velgrin-ds2480b-emu: --noise takes a rate from 0 to 1, e.g. 0.02\n";
                    return std::nullopt;
                }
                arguments.options.noiseRate = *rate;
            } else if (word == "--seed") {
                auto v = value();
                if (!v) {
                    return std::nullopt;
                }
                arguments.options.seed = static_cast<uint32_t>(std::stoul(*v));
            } else {
                std::cerr << kUsage;
                return std::nullopt;
            }
        } catch (const std::exception&) {
            std::cerr << "velgrin-ds2480b-emu: " << word << ": not a number\n";
            return std::nullopt;
        }
    }
    return arguments;
}

}  // namespace

int main(int argc, char** argv) {
    const auto arguments = Parse(argc, argv);
    if (!arguments) {
        return 2;
    }
    velgrin::SteadyClock clock;
    std::shared_ptr<velgrin::sim::SimBench> bench;
    if (arguments->benchFile) {
        auto loaded = velgrin::sim::LoadBenchFile(*arguments->benchFile, clock);
        if (!loaded) {
            std::cerr << "velgrin-ds2480b-emu: " << loaded.error().message << "\n";
            return 1;
        }
        bench = *loaded;
    } else {
        bench = velgrin::sim::MakeDemoBench(clock);
    }

    // The serving thread inherits the blocked signals; only this thread takes them.
    sigset_t signals;
    sigemptyset(&signals);
    for (int s : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2}) {
        sigaddset(&signals, s);
    }
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    velgrin::ds2480b::Ds2480bEmulator emulator(bench, arguments->options);
    if (auto started = emulator.start(); !started) {
        std::cerr << "velgrin-ds2480b-emu: " << started.error().message << "\n";
        return 1;
    }
    std::cout << emulator.clientPath() << std::endl;

    for (;;) {
        int received = 0;
        if (sigwait(&signals, &received) != 0) {
            continue;
        }
        if (received == SIGUSR1) {
            emulator.unplug();
            std::cerr << "velgrin-ds2480b-emu: adapter unplugged\n";
        } else if (received == SIGUSR2) {
            if (auto plugged = emulator.replug(); !plugged) {
                std::cerr << "velgrin-ds2480b-emu: " << plugged.error().message << "\n";
            } else {
                std::cout << emulator.clientPath() << std::endl;
            }
        } else {
            break;
        }
    }
    emulator.stop();
    return 0;
}
