// velgrin-emu: a 1-Wire adapter of any kind Velgrin drives, serving a simulated bench. The serial
// kinds live on a pseudo-terminal; a DS2490 or a DS2482 lives on a USB or I2C bus that umockdev
// mocks for one command. Called as velgrin-ds2480b-emu it is the same program under its old name.

#include <pthread.h>
#include <signal.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/saved_bench.h"
#include "common/clock.h"
#include "common/text_file.h"
#include "common/version.h"
#include "emu/child_command.h"
#include "emu/emu_arguments.h"
#include "emu/preload_library.h"
#include "emu/serve_loop.h"
#include "emu/served_adapter.h"
#include "wire/sim/bench_file.h"

using namespace velgrin;
using namespace velgrin::emu;

namespace {

std::string ProgramName(const char* path) {
    const std::string text = path != nullptr ? path : "";
    const auto slash = text.rfind('/');
    const std::string name = slash == std::string::npos ? text : text.substr(slash + 1);
    return name.empty() ? "velgrin-emu" : name;
}

}  // namespace

int main(int argc, char** argv) {
    // Every thread started from here on inherits the mask; only sigwait takes these signals.
    const sigset_t signals = EmulatorSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    const std::string program = ProgramName(argc > 0 ? argv[0] : nullptr);
    const auto arguments =
        ParseArguments(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    if (!arguments) {
        std::cerr << program << ": " << arguments.error() << "\n";
        return 2;
    }
    if (arguments->help) {
        std::cout << UsageText(program);
        return 0;
    }
    if (arguments->version) {
        std::cout << program << " " << VELGRIN_VERSION << "\n";
        return 0;
    }
    if (arguments->saveBench) {
        if (auto usable = CheckOutputPath(*arguments->saveBench); !usable) {
            std::cerr << program << ": --save-bench: " << *arguments->saveBench << " "
                      << usable.error().message << "\n";
            return 2;
        }
    }
    const bool serial = IsSerial(arguments->adapter);
    if (!serial) {
        if (auto found = CheckPreloadLoads(PreloadLibrary()); !found) {
            std::cerr << program << ": " << found.error() << "\n";
            return 1;
        }
    }

    SteadyClock clock;
    std::shared_ptr<sim::SimBench> bench;
    if (arguments->benchFile) {
        auto loaded = sim::LoadBenchFile(*arguments->benchFile, clock);
        if (!loaded) {
            std::cerr << program << ": " << loaded.error().message << "\n";
            return 1;
        }
        bench = *loaded;
    } else {
        bench = sim::MakeDemoBench(clock);
    }

    auto served = serial                                      ? ServeSerial(bench, *arguments)
                  : arguments->adapter == AdapterKind::Ds2490 ? ServeUsb(bench, *arguments)
                                                              : ServeI2c(bench, *arguments);
    if (!served) {
        std::cerr << program << ": " << served.error() << "\n";
        return 1;
    }
    const int status = Serve(**served, arguments->command, program);
    if (arguments->saveBench) {
        cli::CliResult<void> saved;
        (*served)->withBench(
            [&](sim::SimBench& served) { saved = cli::SaveBench(served, *arguments->saveBench); });
        if (!saved) {
            std::cerr << program << ": " << saved.error().message << "\n";
            return status != 0 ? status : 1;
        }
    }
    return status;
}
