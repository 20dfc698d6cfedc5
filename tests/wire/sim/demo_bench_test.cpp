#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/crc.h"
#include "sim_test_bench.h"
#include "wire/sim/bench_file.h"
#include "wire/sim/sim_backend.h"
#include "wire/sim/sim_ds1922.h"
#include "wire/sim/sim_ds2438.h"
#include "wire/tmex.h"

namespace velgrin::sim {
namespace {

std::vector<std::string> Texts(const std::vector<RomCode>& roms) {
    std::vector<std::string> texts;
    for (const auto& r : roms) {
        texts.push_back(RomText(r));
    }
    std::sort(texts.begin(), texts.end());
    return texts;
}

TEST(DemoBench, SearchFindsTheAdapterChipAndEveryDevice) {
    VirtualClock clock;
    testing::SimTestBench t(clock, MakeDemoBench(clock));
    EXPECT_EQ(Texts(t.search()), (std::vector<std::string>{
                                     "060000071D3E5A28",  // DS18B20
                                     "09000001C4E98126",  // DS2438 (HLT)
                                     "290000071D42B728",  // DS18B20
                                     "43000013B5F27C01",  // unlisted family
                                     "890000003A7C1141",  // DS1922L
                                     "E02540009F123421",  // DS1921
                                     "EC00000024A1C381",  // adapter serial chip
                                     "F3000802B31C4010",  // DS18S20
                                 }));
}

TEST(DemoBench, HltHoldsASealedConfigurationBlock) {
    VirtualClock clock;
    auto bench = MakeDemoBench(clock);
    auto* hlt = dynamic_cast<Ds2438Device*>(bench->find(*ParseRomText("09000001C4E98126")));
    ASSERT_NE(hlt, nullptr);
    const auto block = hlt->configBlock();
    EXPECT_EQ(block[0], 0x12);  // HIH-4000 on sensor 0, temperature on sensor 1
    EXPECT_EQ(block[5], 105);
    EXPECT_EQ(block[31], Crc8(std::span<const uint8_t>(block.data(), 31)));
}

TEST(DemoBench, LoggerIsADs1922L) {
    VirtualClock clock;
    auto bench = MakeDemoBench(clock);
    auto* logger = dynamic_cast<Ds1922Device*>(bench->find(*ParseRomText("890000003A7C1141")));
    ASSERT_NE(logger, nullptr);
    EXPECT_EQ(logger->configByte(), 0x40);
}

TEST(DemoBench, TemperaturesDriftOverTime) {
    VirtualClock clock;
    testing::SimTestBench t(clock, MakeDemoBench(clock));
    const auto rom = *ParseRomText("060000071D3E5A28");
    auto measure = [&] {
        t.select(rom);
        t.touch({0x44});
        clock.advanceMs(800);
        t.select(rom);
        t.touch({0xBE});
        const auto pad = t.read(2);
        return static_cast<int16_t>(pad[0] | (pad[1] << 8)) / 16.0;
    };
    clock.advanceMs(150'000);  // a quarter of the 600 s swing: near the top
    const double high = measure();
    clock.advanceMs(300'000);  // half a period later: near the bottom
    const double low = measure();
    EXPECT_NEAR(high, 23.3, 0.1);
    EXPECT_NEAR(low, 21.7, 0.1);
}

TEST(SimBackend, AnswersToTheSimulatedPortType) {
    VirtualClock clock;
    const auto backend = SimBackend(clock);
    EXPECT_EQ(backend.kind, "sim");
    EXPECT_EQ(backend.portType, kSimulatedPortType);
    EXPECT_TRUE(backend.check(PortSpec{"sim", ""}).ok());
}

TEST(SimBackend, RefusesABenchFileThatCannotBeRead) {
    VirtualClock clock;
    const auto backend = SimBackend(clock);
    const auto checked = backend.check(PortSpec{"sim", "/nonexistent/bench.json"});
    ASSERT_FALSE(checked.ok());
    EXPECT_EQ(checked.error().message,
              std::string("bench file /nonexistent/bench.json: cannot be read (") +
                  std::strerror(ENOENT) + ")");
    EXPECT_FALSE(backend.makeLink(PortSpec{"sim", "/nonexistent/bench.json"}).ok());
}

TEST(SimBackend, DriverScansTheDemoBench) {
    VirtualClock clock;
    TmexDriver driver(BuiltInPorts(clock), PortSpec{"sim", ""});
    int16_t portNum = 0;
    int16_t portType = 0;
    ASSERT_EQ(driver.TMReadDefaultPort(portNum, portType), 1);
    const auto handle = driver.TMExtendedStartSession(portNum, portType);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(driver.TMSetup(handle), 1);
    TmexState state;
    int found = 0;
    for (auto r = driver.TMFirst(handle, state); r > 0; r = driver.TMNext(handle, state)) {
        ++found;
    }
    EXPECT_EQ(found, 8);
}

}  // namespace
}  // namespace velgrin::sim
