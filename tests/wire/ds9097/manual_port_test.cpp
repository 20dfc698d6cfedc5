// Manual mode's port type 1 ("DS9097E") with port number N reaches the N-th serial port, here
// the emulator's passive adapter listed second.

#include <gtest/gtest.h>

#include "passive_rig.h"
#include "wire/ds9097/ds9097_backend.h"
#include "wire/sim/bench_file.h"
#include "wire/tmex.h"

namespace velgrin::ds9097 {
namespace {

TEST(PassiveManualMode, PortTypeOneWithNumberNOpensTheNthSerialPort) {
    VirtualClock clock;
    testing::PassiveLineRig line(sim::MakeDemoBench(clock));
    PassiveOptions patient;
    patient.replyMargin = std::chrono::milliseconds(3000);
    PortRegistry registry;
    const std::string path = line.emulator->clientPath();
    registry.add(Ds9097Backend(patient, [path] {
        return std::vector<std::string>{"/dev/ttyS0", path};
    }));
    TmexDriver driver(std::move(registry), std::nullopt);
    int16_t portNum = 0;
    int16_t portType = 0;
    EXPECT_LT(driver.TMReadDefaultPort(portNum, portType), 1);

    const int32_t session = driver.TMExtendedStartSession(2, kDs9097PortType);
    ASSERT_GT(session, 0) << driver.lastError();
    EXPECT_EQ(driver.TMSetup(session), 1) << driver.lastError();
    TmexState state;
    int found = 0;
    for (int16_t more = driver.TMFirst(session, state); more == 1;
         more = driver.TMNext(session, state)) {
        ++found;
    }
    // The demo bench's seven devices and the adapter's serial-number chip.
    EXPECT_EQ(found, 8);
}

}  // namespace
}  // namespace velgrin::ds9097
