#include "cli_process.h"

#include "bench_folder.h"

namespace velgrin::cli::testing {

CliRun RunTool(const std::vector<std::string>& arguments) {
    // `list` keeps its ROMs in the user's cache: the tests' runs keep theirs in a folder of
    // their own, removed when the test program ends.
    static const BenchFolder cacheHome;
    return velgrin::testing::RunProgram(VELGRIN_CLI_PATH, arguments,
                                        {"XDG_CACHE_HOME=" + cacheHome.path("cache")});
}

}  // namespace velgrin::cli::testing
