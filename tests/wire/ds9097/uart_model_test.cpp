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

struct SizeCase {
    const char* uart;
    int smallestDataBits;
    int usedDataBits;
};

// A 16550 and most USB-UARTs make 6-bit characters, FTDI's 7, a pseudo-terminal only 8.
const std::vector<SizeCase> kSizes{{"16550", 6, 6}, {"FTDI", 7, 7}, {"pty", 8, 8}};

TEST(PassiveUart, EachCharacterSizeReadsTheBusAndCostsItsLineTime) {
    for (const SizeCase& size : kSizes) {
        SCOPED_TRACE(size.uart);
        VirtualClock clock;
        sim::SimBench bench(clock);
        bench.bus().attach(std::make_unique<sim::Ds18b20Device>(kThermometer));
        auto owned = std::make_unique<passive::UartPortModel>(
            bench, clock, passive::UartTraits{size.smallestDataBits, 0});
        auto* port = owned.get();
        PassiveSerialLink link(std::move(owned));
        ASSERT_TRUE(link.open());

        ASSERT_EQ(link.reset().value(), ResetOutcome::Presence);
        // Match ROM, Read Scratchpad and nine read slots' bytes.
        std::vector<uint8_t> read(19, 0xFF);
        read[0] = rom_command::kMatchRom;
        std::copy(kThermometer.begin(), kThermometer.end(), read.begin() + 1);
        read[9] = 0xBE;
        ASSERT_TRUE(link.touchBlock(read));
        EXPECT_EQ(port->format().dataBits, size.usedDataBits);
        const std::vector<uint8_t> pad(read.end() - 9, read.end());
        EXPECT_EQ(Crc8(std::span(pad).first(8)), pad[8]);
        EXPECT_EQ(pad[0], 0x50);  // the power-on value, 85 degrees
        EXPECT_EQ(pad[1], 0x05);

        std::vector<uint8_t> block(32, 0xFF);
        const uint64_t busBefore = bench.bus().busTimeUs();
        const uint64_t before = port->elapsedUs();
        ASSERT_TRUE(link.touchBlock(block));
        const double ratio = static_cast<double>(port->elapsedUs() - before) /
                             static_cast<double>(bench.bus().busTimeUs() - busBefore);
        const double characterPerSlot = (size.usedDataBits + 2) * 1e6 / kSlotBaud / sim::kSlotUs;
        EXPECT_NEAR(ratio, characterPerSlot, 0.005);
        if (size.usedDataBits < 8) {
            EXPECT_LE(ratio, 1.3);
        }
    }
}

}  // namespace
}  // namespace velgrin::ds9097
