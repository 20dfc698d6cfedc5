// The DS2482 backend through the real i2c-dev calls against chip models on umockdev's mocked
// I2C bus: the commands it sends, its recovery, and what a technician reads when the bus or
// the chip cannot be used.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "bench_rig.h"
#include "ds2482_model/mock_i2c_bus.h"
#include "lock_directory.h"
#include "scripted_host.h"
#include "thermo/thermometers.h"
#include "wire/bus_core.h"
#include "wire/ds2482/ds2482_backend.h"
#include "wire/ds2482/ds2482_link.h"
#include "wire/sim/bench_file.h"
#include "wire/tmex.h"

namespace velgrin::ds2482 {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

using Lines = std::vector<std::string>;

constexpr const char* kOneThermometer = R"({
  "adapter": { "serialChip": "EC00000024A1C381" },
  "devices": [ { "model": "DS18B20", "rom": "E400000000010128", "temperature": 21.5 } ]
})";

struct I2cAdapter : ::testing::Test {
    std::shared_ptr<sim::SimBench> Bench() {
        return *sim::LoadBenchJson(kOneThermometer, "one thermometer", clock);
    }
    // The program with --port ds2482:<bus><suffix>.
    void Start(const std::string& suffix, const std::string& device = "") {
        core.reset();
        driver.reset();
        PortRegistry registry;
        Ds2482BackendOptions options;
        options.lockDirectory = locks.path();
        options.maxStatusReads = 40;
        registry.add(Ds2482Backend(clock, options));
        driver = std::make_unique<TmexDriver>(
            std::move(registry),
            PortSpec{"ds2482", (device.empty() ? i2c.device() : device) + suffix});
        core = std::make_unique<BusCore>(*driver, host);
    }
    std::string Scan() {
        (void)core->ScanSessionAndSearch();
        std::string text = core->stat11 + " " + core->Stat1;
        for (int i = 0; i < core->FoundDev; ++i) {
            text += " " + core->Asens[static_cast<size_t>(i)].ROMS;
        }
        return text;
    }
    Ds2482Link* Link() { return dynamic_cast<Ds2482Link*>(driver->link()); }
    void TearDown() override {
        core.reset();
        driver.reset();
    }

    const std::string kListed = std::string(status_text::kAdapterFound) +
                                " EC00000024A1C381 E400000000010128 EC00000024A1C381";

    VirtualClock clock;
    velgrin::testing::ScriptedHost host{clock};
    LockDirectory locks;
    MockI2cBus i2c;
    std::unique_ptr<TmexDriver> driver;
    std::unique_ptr<BusCore> core;
};

// Opening: is anything there, Device Reset with its status checked, the active pull-up
// written and read back, and on the -800 the channel selected and read back.
TEST_F(I2cAdapter, OpeningResetsConfiguresAndSelectsTheChannel) {
    i2c.plug(0x18, Variant::Ds2482_100, Bench());
    Start("");
    EXPECT_EQ(Scan(), kListed);
    const Lines lines = i2c.transcript(0x18);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 5),
              (Lines{"R 18", "W F0", "R 18", "W D2E1", "R 01"}));

    i2c.plug(0x1C, Variant::Ds2482_800, Bench(), 6);
    Start("@0x1C:6");
    EXPECT_EQ(Scan(), kListed);
    const Lines eight = i2c.transcript(0x1C);
    ASSERT_GE(eight.size(), 7u);
    EXPECT_EQ(Lines(eight.begin(), eight.begin() + 7),
              (Lines{"R 18", "W F0", "R 18", "W D2E1", "R 01", "W C396", "R 8E"}));
    i2c.withChip(0x1C, [](Ds2482Chip& chip) { EXPECT_EQ(chip.channel(), 6); });
}

// A 1-Wire reset, a read byte through the joined pointer read, and a search pass of
// triplets: each command is joined to a status read, and more follow until the busy bit
// clears.
TEST_F(I2cAdapter, ResetReadByteAndTripletsAreSingleCommandsPolledToTheEnd) {
    i2c.plug(0x18, Variant::Ds2482_100, Bench());
    Start("");
    ASSERT_EQ(Scan(), kListed);
    i2c.clearTranscript(0x18);

    EXPECT_EQ(driver->TMSetup(core->SHandle), 1);
    EXPECT_EQ(i2c.transcript(0x18), (Lines{"W B4 R 0B", "R 0A"}));

    i2c.clearTranscript(0x18);
    EXPECT_EQ(driver->TMTouchByte(core->SHandle, 0xFF), 0xFF);  // nobody talks: all ones
    EXPECT_EQ(i2c.transcript(0x18), (Lines{"W 96 R 09", "R 08", "W E1E1 R FF"}));

    // The search: reset, Search ROM as a write byte, then 64 triplets; the first pass asks for
    // direction 0 wherever devices disagree. A triplet's first status read is joined to it or
    // not, as it saved a transaction the last time.
    i2c.clearTranscript(0x18);
    TmexState state;
    EXPECT_EQ(driver->TMFirst(core->SHandle, state), 1);
    const Lines lines = i2c.transcript(0x18);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 4),
              (Lines{"W B4 R 0B", "R 0A", "W A5F0 R 09", "R 08"}));
    size_t triplets = 0;
    for (size_t i = 4; i < lines.size(); ++i) {
        if (lines[i].starts_with("W ")) {
            EXPECT_THAT(lines[i], ::testing::AnyOf("W 7800", ::testing::StartsWith("W 7800 R ")))
                << i;
            ++triplets;
        }
    }
    EXPECT_EQ(triplets, 64u);
}

// Convert T under the strong pull-up: SPU written and read back just before the command
// byte, the pull-up on at its end, and a configuration write without SPU ending it.
TEST_F(I2cAdapter, StrongPullupIsSetForTheConvertByteAndEndedByAConfigurationWrite) {
    i2c.plug(0x18, Variant::Ds2482_100, Bench());
    Start("");
    ASSERT_EQ(Scan(), kListed);
    i2c.clearTranscript(0x18);
    EXPECT_EQ(Thermometers(*core).Measure1820(0), kMeasured);
    EXPECT_EQ(core->Asens[0].CorrectTemp, 21.5);

    const Lines lines = i2c.transcript(0x18);
    const auto armed = std::find(lines.begin(), lines.end(), "W D2A5");
    ASSERT_NE(armed, lines.end());
    EXPECT_EQ(Lines(armed, armed + 7),
              (Lines{"W D2A5", "R 05", "W A544 R 09", "R 08", "W D2E1", "R 01", "W B4 R 0B"}));
    i2c.withChip(0x18, [](Ds2482Chip& chip) {
        EXPECT_FALSE(chip.pullupActive());
        EXPECT_EQ(chip.configuration(), 0x01);
    });
}

// A chip hung in a command: the wait ends after its bound, the chip is reset and set up
// again, and the next operation works.
TEST_F(I2cAdapter, HungChipIsGivenUpOnAfterTheBoundAndResetForTheNextOperation) {
    i2c.plug(0x18, Variant::Ds2482_100, Bench());
    Start("");
    ASSERT_EQ(Scan(), kListed);
    i2c.withChip(0x18, [](Ds2482Chip& chip) { chip.hangAtNextCommand(); });
    i2c.clearTranscript(0x18);

    EXPECT_EQ(driver->TMTouchByte(core->SHandle, 0xCC), tmex_error::kInterrupted);
    EXPECT_THAT(driver->lastError(),
                HasSubstr("the DS2482 at 0x18 on " + i2c.device() + " stayed busy"));
    const Lines lines = i2c.transcript(0x18);
    ASSERT_EQ(lines.size(), 1u + 39u + 4u);  // 40 status reads in all
    EXPECT_EQ(lines.front(), "W A5CC R 09");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "R 09"), 39);
    EXPECT_EQ(Lines(lines.end() - 4, lines.end()), (Lines{"W F0", "R 18", "W D2E1", "R 01"}));
    EXPECT_EQ(Link()->recoveries(), 1u);
    // The chip reset left the devices mid-command: the rest of the sequence stays off the bus.
    i2c.clearTranscript(0x18);
    EXPECT_EQ(driver->TMTouchByte(core->SHandle, 0xFF), tmex_error::kInterrupted);
    EXPECT_TRUE(i2c.transcript(0x18).empty());

    EXPECT_EQ(driver->TMValidSession(core->SHandle), 1);
    EXPECT_EQ(Scan(), kListed);
}

// Once a command of a kind has shown how many status reads it keeps the chip busy for, the
// next one of that kind asks for them in one transfer; a shorter wait ends that kind's bursts.
TEST_F(I2cAdapter, StatusReadsComeInOneTransferOnceTheirNumberIsKnown) {
    i2c.plug(0x18, Variant::Ds2482_100, Bench());
    Start("");
    ASSERT_EQ(Scan(), kListed);
    const struct {
        int busyReads;
        Lines transcript;
    } cases[] = {
        {3, {"W B4 R 0B", "R 0B", "R 0B", "R 0A"}},
        {3, {"W B4 R 0B", "R 0B0B0A"}},
        {2, {"W B4 R 0B", "R 0B0A0A"}},
        {2, {"W B4 R 0B", "R 0B0A"}},
    };
    for (const auto& c : cases) {
        i2c.withChip(0x18, [&](Ds2482Chip& chip) { chip.setBusyReads(c.busyReads); });
        i2c.clearTranscript(0x18);
        EXPECT_EQ(driver->TMSetup(core->SHandle), 1);
        EXPECT_EQ(i2c.transcript(0x18), c.transcript) << c.busyReads;
    }
}

// A busy status asked for within the bound but handed over long after it (the host was busy
// elsewhere) is no hung chip: the next status read finds it idle and the byte goes through.
TEST_F(I2cAdapter, LateAnswerToABusyStatusIsNoHungChip) {
    i2c.plug(0x18, Variant::Ds2482_100, Bench());
    Start("");
    ASSERT_EQ(Scan(), kListed);
    int calls = 0;
    i2c.withChip(0x18, [&](Ds2482Chip& chip) {
        chip.setTimed([&] {
            const uint64_t asked = clock.nowUs();
            // The chip asks the time as it takes the next command, as it starts it and at each
            // status read: the first status read is answered 30 ms after it was asked.
            if (++calls == 3) {
                clock.advanceMs(30);
            }
            return asked;
        });
    });
    i2c.clearTranscript(0x18);

    EXPECT_EQ(driver->TMTouchByte(core->SHandle, 0xCC), 0xCC);
    EXPECT_EQ(i2c.transcript(0x18), (Lines{"W A5CC R 09", "R 08"}));
    EXPECT_EQ(Link()->recoveries(), 0u);
}

TEST_F(I2cAdapter, ChipThatStopsAnsweringIsReportedAndUsedAgainOnceItAnswers) {
    i2c.plug(0x18, Variant::Ds2482_800, Bench());
    Start("");
    ASSERT_EQ(Scan(), kListed);

    i2c.setAnswering(0x18, false);
    EXPECT_LT(driver->TMTouchByte(core->SHandle, 0xFF), 0);
    EXPECT_THAT(driver->lastError(),
                HasSubstr("the DS2482 at 0x18 on " + i2c.device() + " stopped answering"));
    EXPECT_EQ(driver->TMValidSession(core->SHandle), 0);
    EXPECT_EQ(Scan(), std::string(status_text::kCheckAdapter) + " ");
    EXPECT_THAT(driver->lastError(),
                HasSubstr("no DS2482 answers at 0x18 on " + i2c.device() +
                          ": check its power and wiring (SDA, SCL, GND) and the address its "
                          "AD pins set; 'i2cdetect -y 1' lists the addresses that answer"));

    i2c.setAnswering(0x18, true);
    EXPECT_EQ(Scan(), kListed);
}

TEST_F(I2cAdapter, NoChipAtTheAddressSaysHowToFindIt) {
    i2c.plug(0x18, Variant::Ds2482_100, Bench());
    Start("@0x1A");
    EXPECT_EQ(Scan(), std::string(status_text::kCheckAdapter) + " ");
    EXPECT_THAT(driver->lastError(), HasSubstr("no DS2482 answers at 0x1A on " + i2c.device()));
    EXPECT_THAT(driver->lastError(), HasSubstr("'i2cdetect -y 1'"));
}

TEST_F(I2cAdapter, MissingBusSaysHowToEnableI2c) {
    Start("", "/dev/i2c-97");
    EXPECT_EQ(Scan(), std::string(status_text::kCheckAdapter) + " ");
    const std::string& message = driver->lastError();
    EXPECT_THAT(message, HasSubstr("there is no I2C bus /dev/i2c-97: enable I2C on the board"));
    EXPECT_THAT(message, HasSubstr("'dtparam=i2c_arm=on' in /boot/firmware/config.txt"));
    EXPECT_THAT(message, HasSubstr("'sudo raspi-config'"));
    EXPECT_THAT(message, HasSubstr("'sudo modprobe i2c-dev'"));
}

TEST_F(I2cAdapter, KernelDriverHoldingTheChipSaysHowToUnbindIt) {
    i2c.plug(0x18, Variant::Ds2482_100, Bench());
    i2c.setKernelDriverBound(0x18, true);
    Start("");
    EXPECT_EQ(Scan(), std::string(status_text::kDriverError) + " ");
    EXPECT_EQ(core->SHandle, tmex_error::kPortBusy);
    EXPECT_THAT(driver->lastError(),
                HasSubstr("a kernel driver holds address 0x18 on " + i2c.device() +
                          " (usually the ds2482 module): release the chip with 'echo 1-0018 | "
                          "sudo tee /sys/bus/i2c/drivers/ds2482/unbind'"));
    EXPECT_EQ(i2c.transcript(0x18), Lines{});  // not a byte went to the chip

    i2c.setKernelDriverBound(0x18, false);
    EXPECT_EQ(Scan(), kListed);
}

TEST_F(I2cAdapter, NoPermissionNamesTheI2cGroup) {
    i2c.plug(0x18, Variant::Ds2482_100, Bench());
    // Everything of the testbed is open to all (its sockets too) but the node; as root, the
    // test acts as nobody while it opens the port.
    namespace fs = std::filesystem;
    fs::permissions(i2c.rootDir(), fs::perms::all);
    for (const auto& entry : fs::recursive_directory_iterator(i2c.rootDir())) {
        if (!entry.is_symlink()) {
            fs::permissions(entry.path(), fs::perms::all);
        }
    }
    fs::permissions(locks.path(), fs::perms::all);
    ASSERT_EQ(::chmod(i2c.nodeFile().c_str(), 0), 0);
    const bool root = ::geteuid() == 0;
    Start("");
    if (root) {
        ASSERT_EQ(::seteuid(65534), 0);
    }
    const std::string scanned = Scan();
    if (root) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    EXPECT_EQ(scanned, std::string(status_text::kDriverError) + " ");
    EXPECT_EQ(core->SHandle, tmex_error::kPortFailed);
    EXPECT_THAT(driver->lastError(),
                HasSubstr("no permission to use the I2C bus " + i2c.device() +
                          ": add the user to the group i2c ('sudo usermod -aG i2c $USER') and "
                          "log in again"));
}

TEST_F(I2cAdapter, ChannelOnADs2482_100IsRefused) {
    i2c.plug(0x18, Variant::Ds2482_100, Bench());
    Start(":3");
    EXPECT_EQ(Scan(), std::string(status_text::kDriverError) + " ");
    EXPECT_THAT(driver->lastError(),
                HasSubstr("the DS2482 at 0x18 on " + i2c.device() +
                          " refused channel 3: a DS2482-100 has no channels, leave ':3' out of "
                          "the port"));
}

TEST_F(I2cAdapter, SecondProgramOnTheSameChipIsRefusedAnotherChipOnTheBusIsNot) {
    i2c.plug(0x18, Variant::Ds2482_100, Bench());
    i2c.plug(0x19, Variant::Ds2482_100, Bench());
    Start("");
    ASSERT_EQ(Scan(), kListed);

    PortRegistry registry;
    Ds2482BackendOptions options;
    options.lockDirectory = locks.path();
    registry.add(Ds2482Backend(clock, options));
    TmexDriver same(PortRegistry(registry), PortSpec{"ds2482", i2c.device()});
    EXPECT_EQ(same.TMExtendedStartSession(1, kI2cPortType), tmex_error::kPortBusy);
    EXPECT_EQ(same.lastError(), "the DS2482 at 0x18 on " + i2c.device() +
                                    " is in use by another program (a second Velgrin or "
                                    "velgrin-cli): close it and try again");

    TmexDriver other(std::move(registry), PortSpec{"ds2482", i2c.device() + "@0x19"});
    EXPECT_GT(other.TMExtendedStartSession(1, kI2cPortType), 0) << other.lastError();
}

// Another program's way in: SMBus calls (send byte, byte data, receive byte), which i2c-dev
// emulates with plain I2C transfers. After a 1-Wire Write Byte the data register holds the
// byte the line carried, which such drivers read back.
TEST_F(I2cAdapter, SmbusCallsOfAnotherDriverReachTheChip) {
    i2c.plug(0x18, Variant::Ds2482_100, Bench());
    const int fd = ::open(i2c.device().c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ioctl(fd, I2C_SLAVE, 0x18), 0);
    auto call = [&](uint8_t readWrite, uint8_t command, uint32_t size, i2c_smbus_data* data) {
        i2c_smbus_ioctl_data request{readWrite, command, size, data};
        return ::ioctl(fd, I2C_SMBUS, &request);
    };
    i2c_smbus_data data{};
    auto status = [&]() {
        EXPECT_EQ(call(I2C_SMBUS_READ, 0, I2C_SMBUS_BYTE, &data), 0);
        return data.byte;
    };
    auto idle = [&]() {
        for (int reads = 0; reads < 10 && (status() & 0x01) != 0;) {
            ++reads;
        }
    };
    EXPECT_EQ(call(I2C_SMBUS_WRITE, 0xF0, I2C_SMBUS_BYTE, nullptr), 0);
    EXPECT_EQ(status(), 0x18);
    data.byte = 0xE1;
    EXPECT_EQ(call(I2C_SMBUS_WRITE, 0xD2, I2C_SMBUS_BYTE_DATA, &data), 0);
    EXPECT_EQ(status(), 0x01);
    EXPECT_EQ(call(I2C_SMBUS_WRITE, 0xB4, I2C_SMBUS_BYTE, nullptr), 0);
    idle();
    data.byte = 0xCC;
    EXPECT_EQ(call(I2C_SMBUS_WRITE, 0xA5, I2C_SMBUS_BYTE_DATA, &data), 0);
    idle();
    data.byte = 0xE1;
    EXPECT_EQ(call(I2C_SMBUS_WRITE, 0xE1, I2C_SMBUS_BYTE_DATA, &data), 0);
    EXPECT_EQ(status(), 0xCC);
    // A pointer the chip does not have is not acknowledged; block calls are not emulated.
    data.byte = 0xB4;
    EXPECT_EQ(call(I2C_SMBUS_WRITE, 0xE1, I2C_SMBUS_BYTE_DATA, &data), -1);
    EXPECT_EQ(errno, ENXIO);
    EXPECT_EQ(call(I2C_SMBUS_READ, 0xE1, I2C_SMBUS_BLOCK_DATA, &data), -1);
    EXPECT_EQ(errno, EOPNOTSUPP);
    ::close(fd);

    const Lines lines = i2c.transcript(0x18);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 4), (Lines{"W F0", "R 18", "W D2E1", "R 01"}));
    EXPECT_EQ(lines.back(), "W E1B4 nack");
}

}  // namespace
}  // namespace velgrin::ds2482
