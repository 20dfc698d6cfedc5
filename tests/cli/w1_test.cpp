// velgrin-cli on a kernel 1-Wire master, against the kernel model's program (VELGRIN_W1_SOCKET).

#include <gtest/gtest.h>
#include <stdlib.h>

#include <nlohmann/json.hpp>

#include "bench_folder.h"
#include "bench_roms.h"
#include "cli_process.h"
#include "serving_program.h"

namespace velgrin::cli::testing {
namespace {

using nlohmann::json;

// The kernel model serving a bench file as w1_bus_master1, for as long as the object lives;
// the tool run meanwhile reaches it instead of the kernel.
class KernelModel {
  public:
    KernelModel(const std::string& benchFile, const std::string& socket)
        : program_({VELGRIN_W1_MODEL_PATH, "--socket", socket, "--bench", benchFile}, socket,
                   false) {
        ::setenv("VELGRIN_W1_SOCKET", socket.c_str(), 1);
    }
    ~KernelModel() { ::unsetenv("VELGRIN_W1_SOCKET"); }

  private:
    velgrin::testing::ServingProgram program_;
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
