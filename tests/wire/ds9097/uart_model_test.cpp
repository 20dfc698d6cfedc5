// The passive link over a UART model on virtual time, for each character size a UART may take:
// the data bits the link ends up with, a thermometer's scratchpad read through them, and a
// block's line time against the 1-Wire bus time of the same slots.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "common/crc.h"
#include "passive_model/uart_port_model.h"
#include "wire/ds9097/passive_link.h"
#include "wire/network.h"
#include "wire/sim/sim_ds18b20.h"

namespace velgrin::ds9097 {
namespace {

const RomCode kThermometer{0x28, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0xE4};

// A 16550 and most USB-UARTs make 6-bit characters, FTDI's 7, a pseudo-terminal only 8.
const std::vector<std::pair<const char*, int>> kUarts{{"16550", 6}, {"FTDI", 7}, {"pty", 8}};

TEST(PassiveUart, EachCharacterSizeReadsTheBusAndCostsItsLineTime) {
    for (const auto& [uart, dataBits] : kUarts) {
        SCOPED_TRACE(uart);
        VirtualClock clock;
        sim::SimBench bench(clock);
        bench.bus().attach(std::make_unique<sim::Ds18b20Device>(kThermometer));
        auto owned =
            std::make_unique<passive::UartPortModel>(bench, clock, passive::UartTraits{dataBits});
        auto* port = owned.get();
        PassiveSerialLink link(std::move(owned));
        ASSERT_TRUE(link.open());
        ASSERT_EQ(link.reset().value(), ResetOutcome::Presence);

        // Match ROM, Read Scratchpad and its nine bytes, in one block.
        std::vector<uint8_t> read(19, 0xFF);
        read[0] = rom_command::kMatchRom;
        std::copy(kThermometer.begin(), kThermometer.end(), read.begin() + 1);
        read[9] = 0xBE;
        const uint64_t busBefore = bench.bus().busTimeUs();
        const uint64_t before = port->elapsedUs();
        ASSERT_TRUE(link.touchBlock(read));
        EXPECT_EQ(port->format().dataBits, dataBits);
        EXPECT_EQ(Crc8(std::span(read).last(9)), 0);
        EXPECT_EQ(read[10], 0x50);  // the power-on value, 85 degrees
        EXPECT_EQ(read[11], 0x05);

        const double ratio = static_cast<double>(port->elapsedUs() - before) /
                             static_cast<double>(bench.bus().busTimeUs() - busBefore);
        EXPECT_NEAR(ratio, (dataBits + 2) * 1e6 / kSlotBaud / sim::kSlotUs, 0.005);
        EXPECT_TRUE(dataBits == 8 || ratio <= 1.3) << ratio;
    }
}

}  // namespace
}  // namespace velgrin::ds9097
