// velgrin-ds2480b-emu: a DS2480B or a passive serial 1-Wire adapter on a pseudo-terminal, serving
// a simulated bench. Prints the path a client opens as its serial port, then serves until SIGINT or
// SIGTERM. SIGUSR1 pulls the adapter out (the port disappears), SIGUSR2 puts it back.

#include <signal.h>

#include <charconv>
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>

#include "common/clock.h"
#include "common/number_text.h"
#include "common/version.h"
#include "ds2480b_emu/ds2480b_emulator.h"
#include "wire/sim/bench_file.h"

namespace {

constexpr const char* kUsage =
    "usage: velgrin-ds2480b-emu [--adapter ds2480b|passive] [--bench FILE] [--timing]\n"
    "                           [--link PATH] [--max-baud N] [--noise RATE] [--seed N]\n"
    "  --adapter KIND  ds2480b (the default) or passive (a DS9097E-type adapter)\n"
    "  --bench FILE  serve this bench file (default: the built-in demo bench)\n"
    "  --timing      answer as late as a real adapter: serial time plus 1-Wire time\n"
    "  --link PATH   keep a symbolic link PATH to the terminal (stable across replug)\n"
    "  --max-baud N  the line carries at most N baud (9600, 19200, 57600 or 115200)\n"
    "  --noise RATE  garble this share of the reply bytes or echoes (0 to 1)\n"
    "  --seed N      seed of the noise\n"
    "  --help, -h    this help\n"
    "  --version     the emulator's version\n"
    "signals: SIGUSR1 unplugs the adapter, SIGUSR2 plugs it back, SIGINT/SIGTERM end.\n";

struct Arguments {
    std::optional<std::string> benchFile;
    velgrin::ds2480b::EmulatorOptions options;
    bool help = false;
    bool version = false;
};

// The whole text as a number, or nothing: no sign, blanks or trailing characters slip through.
template <typename Number>
std::optional<Number> WholeNumber(const std::string& text) {
    Number number{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    if (error != std::errc() || stop != end || text.empty() || text[0] == '-') {
        return std::nullopt;
    }
    return number;
}

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
        auto refuse = [&](const char* what) -> std::optional<Arguments> {
            std::cerr << "velgrin-ds2480b-emu: " << word << " takes " << what << "\n";
            return std::nullopt;
        };
        if (word == "--help" || word == "-h") {
            arguments.help = true;
        } else if (word == "--version") {
            arguments.version = true;
        } else if (word == "--timing") {
            arguments.options.timing = true;
        } else if (word == "--adapter") {
            const auto v = value();
            if (!v) {
                return std::nullopt;
            }
            if (*v != "ds2480b" && *v != "passive") {
                return refuse("ds2480b or passive");
            }
            arguments.options.adapter = *v == "passive"
                                            ? velgrin::ds2480b::EmulatedAdapter::Passive
                                            : velgrin::ds2480b::EmulatedAdapter::Ds2480b;
        } else if (word == "--bench" || word == "--link") {
            const auto v = value();
            if (!v) {
                return std::nullopt;
            }
            (word == "--bench" ? arguments.benchFile : arguments.options.linkPath) = *v;
        } else if (word == "--max-baud") {
            const auto v = value();
            if (!v) {
                return std::nullopt;
            }
            const auto baud = WholeNumber<uint32_t>(*v);
            if (!baud || !velgrin::ds2480b::CodeOfBaud(*baud)) {
                return refuse("9600, 19200, 57600 or 115200");
            }
            arguments.options.lineLimit = *baud;
        } else if (word == "--noise") {
            const auto v = value();
            if (!v) {
                return std::nullopt;
            }
            const auto rate = velgrin::ParseDotNumber(*v);
            if (!rate || *rate < 0 || *rate > 1) {
                return refuse("a share from 0 to 1, such as 0.05");
            }
            arguments.options.noiseRate = *rate;
        } else if (word == "--seed") {
            const auto v = value();
            if (!v) {
                return std::nullopt;
            }
            const auto seed = WholeNumber<uint32_t>(*v);
            if (!seed) {
                return refuse("a whole number from 0 to 4294967295");
            }
            arguments.options.seed = *seed;
        } else {
            std::cerr << kUsage;
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
    if (arguments->help) {
        std::cout << kUsage;
        return 0;
    }
    if (arguments->version) {
        std::cout << "velgrin-ds2480b-emu " << VELGRIN_VERSION << "\n";
        return 0;
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
