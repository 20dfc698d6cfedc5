// What the passive link puts on the serial line, byte for byte, against scripted echoes; how it
// fails on a bad port, a silent line and a garbling one; the port kind and its number.

#include "wire/ds9097/passive_link.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "scripted_serial_port.h"
#include "wire/ds9097/ds9097_backend.h"
#include "wire/network.h"

namespace velgrin::ds9097 {
namespace {

using ds2480b::testing::ScriptedSerialPort;

struct Rig {
    ScriptedSerialPort* port;
    std::unique_ptr<PassiveSerialLink> link;
};

Rig MakeRig(const std::string& script) {
    auto port = std::make_unique<ScriptedSerialPort>(script);
    auto* view = port.get();
    return Rig{view, std::make_unique<PassiveSerialLink>(std::move(port))};
}

::testing::AssertionResult Played(const ScriptedSerialPort& port) {
    if (port.finished()) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << (port.divergence().empty() ? "script not finished" : port.divergence())
           << "\nwhat the link did:\n"
           << port.transcript();
}

TEST(PassiveLink, ResetAtNineHundredBaudThenSlotsAtFastRate) {
    // Convert T (44) as slots of 6 data bits, then a byte read from a device answering 0 in
    // slot 0 only.
    auto rig = MakeRig(R"(
        open
        > F0
        < E0
        baud 115200 6
        > 00 00 FF 00 00 00 FF 00
        < 00 00 3F 00 00 00 3F 00
        > FF FF FF FF FF FF FF FF
        < 3C 3F 3F 3F 3F 3F 3F 3F
        baud 9600
        > F0
        < F0
        > F0
        < 00
    )");
    ASSERT_TRUE(rig.link->open());
    EXPECT_EQ(rig.link->reset().value(), ResetOutcome::Presence);
    EXPECT_EQ(rig.link->touchByte(0x44).value(), 0x44);
    EXPECT_EQ(rig.link->touchByte(0xFF).value(), 0xFE);
    EXPECT_EQ(rig.link->reset().value(), ResetOutcome::NoPresence);
    EXPECT_EQ(rig.link->reset().value(), ResetOutcome::Short);
    EXPECT_TRUE(Played(*rig.port));
    EXPECT_EQ(rig.port->writes().size(), 5u);
}

// A lone device on the bus: each search step answers its bit and the complement.
TEST(PassiveLink, SearchPassTakesOneRoundTripPerStep) {
    const RomCode rom{0x28, 0x5A, 0x3E, 0x1D, 0x07, 0x00, 0x00, 0x06};
    auto slot = [](bool bit) { return std::string(bit ? " FF" : " 00"); };
    auto answer = [](bool bit) { return std::string(bit ? " 3F" : " 3C"); };
    std::string script = "open\nbaud 115200 6\n>";
    std::string echo = "<";
    for (int bit = 0; bit < 8; ++bit) {
        script += slot(((rom_command::kSearchRom >> bit) & 1) != 0);
        echo += slot(((rom_command::kSearchRom >> bit) & 1) != 0);
    }
    for (int k = 0; k < 64; ++k) {
        const bool bit = ((rom[static_cast<size_t>(k / 8)] >> (k % 8)) & 1) != 0;
        script += " FF FF\n" + echo + answer(bit) + answer(!bit) + "\n>" + slot(bit);
        echo = "<" + slot(bit);
    }
    script += "\n" + echo + "\n";
    auto rig = MakeRig(script);
    ASSERT_TRUE(rig.link->open());
    const auto pass = rig.link->searchPass(RomCode{}, false);
    ASSERT_TRUE(pass) << pass.error().message;
    EXPECT_EQ(pass->path, rom);
    EXPECT_EQ(pass->discrepancies, RomCode{});
    EXPECT_TRUE(Played(*rig.port));
    // With the reset before it, 66 round trips per device.
    EXPECT_EQ(rig.port->writes().size(), 65u);
    EXPECT_EQ(rig.link->stats().roundTrips, 65u);
}

struct FailureCase {
    const char* name;
    const char* script;
    WireErrorCode code;
    const char* says;
};

TEST(PassiveLink, BadPortSilentOrGarblingLineFailsClearly) {
    const std::vector<FailureCase> cases{
        {"port in use", "busy\n", WireErrorCode::PortBusy, "in use"},
        {"port missing", "missing\n", WireErrorCode::PortGone, "not there"},
        {"silent line", "open\n> F0\n", WireErrorCode::Timeout, "echoed 0 of 1"},
        {"garbled reset", "open\n> F0\n< F8\n", WireErrorCode::Protocol, "echoed F8 to a reset"},
        {"garbled write-0",
         "open\n> F0\n< E0\nbaud 115200 6\n> 00 00 FF 00 00 00 FF 00\n"
         "< 00 00 3F 00 08 00 3F 00\n",
         WireErrorCode::Protocol, "echoed 08 to a time slot"},
        {"garbled read",
         "open\n> F0\n< E0\nbaud 115200 6\n> 00 00 FF 00 00 00 FF 00\n"
         "< 00 00 2F 00 00 00 3F 00\n",
         WireErrorCode::Protocol, "echoed 2F to a time slot"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto rig = MakeRig(c.script);
        WireError error{WireErrorCode::Io, ""};
        if (auto opened = rig.link->open(); !opened) {
            error = opened.error();
        } else if (auto reset = rig.link->reset(); !reset) {
            error = reset.error();
        } else if (auto sent = rig.link->touchByte(0x44); !sent) {
            error = sent.error();
        }
        EXPECT_EQ(error.code, c.code);
        EXPECT_NE(error.message.find(c.says), std::string::npos) << error.message;
    }
}

TEST(PassiveLink, DriverWithoutSixBitCharactersGetsTheShortestItMakes) {
    // An FTDI bridge rounds 6 data bits up to 8 but makes 7; a pseudo-terminal makes only 8.
    // The echoes then carry that many bits.
    const struct {
        const char* driver;
        const char* formats;
        const char* echo;
    } cases[] = {
        {"7 bits", "baud 115200 6 8\nbaud 115200 7 7\n", "< 00 00 7F 00 00 00 7C 00\n> FF\n< 7F\n"},
        {"8 bits", "baud 115200 6 8\nbaud 115200 7 8\n", "< 00 00 FF 00 00 00 FC 00\n> FF\n< FF\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.driver);
        auto rig =
            MakeRig(std::string("open\n") + c.formats + "> 00 00 FF 00 00 00 FF 00\n" + c.echo);
        ASSERT_TRUE(rig.link->open());
        EXPECT_EQ(rig.link->touchByte(0x44).value(), 0x04);
        EXPECT_EQ(rig.link->touchBit(true).value(), true);
        EXPECT_TRUE(Played(*rig.port));
    }
}

TEST(PassiveLink, RefusesTheStrongPullupItLacks) {
    auto rig = MakeRig("open\n");
    ASSERT_TRUE(rig.link->open());
    EXPECT_FALSE(rig.link->capabilities().strongPullup);
    const auto armed = rig.link->armStrongPullup(PullupTrigger::AfterNextByte);
    ASSERT_FALSE(armed);
    EXPECT_EQ(armed.error().code, WireErrorCode::Unsupported);
    EXPECT_NE(armed.error().message.find("has no strong pull-up"), std::string::npos);
    EXPECT_TRUE(Played(*rig.port));
}

TEST(PassivePortKind, AnswersToPortTypeOneWithTheNthSerialPort) {
    PortRegistry registry;
    registry.add(Ds9097Backend({}, [] {
        return std::vector<std::string>{"/dev/ttyS0", "/dev/ttyUSB0"};
    }));
    const PortBackend* backend = registry.findByType(1);
    ASSERT_NE(backend, nullptr);
    EXPECT_EQ(backend->numberedPort(2), (PortSpec{"ds9097", "/dev/ttyUSB0"}));
    EXPECT_FALSE(backend->numberedPort(3));
    auto unnamed = registry.resolve("ds9097");
    ASSERT_FALSE(unnamed);
    EXPECT_EQ(unnamed.error().message,
              "port 'ds9097': name the serial device, e.g. ds9097:/dev/ttyUSB0");
}

}  // namespace
}  // namespace velgrin::ds9097
