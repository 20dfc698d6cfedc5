// The DS2490 backend through the real libusb against chip models on umockdev's mocked USB:
// ports, the default port, the kernel driver, and what a technician reads when opening fails.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>

#include "bench_rig.h"
#include "cli/run_cli.h"
#include "ds2490_model/mock_usb_bus.h"
#include "scripted_host.h"
#include "thermo/thermometers.h"
#include "wire/bus_core.h"
#include "wire/ds2490/ds2490_backend.h"
#include "wire/ds2490/usb_adapters.h"
#include "wire/sim/bench_file.h"
#include "wire/tmex.h"

namespace velgrin::ds2490 {
namespace {

using ::testing::HasSubstr;

constexpr const char* kOtherBench = R"({
  "adapter": { "serialChip": "EC00000024A1C381" },
  "devices": [ { "model": "DS18B20", "rom": "E400000000010128", "temperature": 21.5 } ]
})";

PortRegistry UsbRegistry() {
    PortRegistry registry;
    registry.add(Ds2490Backend());
    return registry;
}

struct UsbPorts : ::testing::Test {
    std::shared_ptr<sim::SimBench> Demo() { return sim::MakeDemoBench(clock); }
    std::shared_ptr<sim::SimBench> Other() {
        return *sim::LoadBenchJson(kOtherBench, "other bench", clock);
    }
    // The program: its driver and core, with or without --port.
    void Start(std::optional<PortSpec> port) {
        core.reset();
        driver = std::make_unique<TmexDriver>(UsbRegistry(), std::move(port));
        core = std::make_unique<BusCore>(*driver, host);
    }
    // The user's picks on the settings tab: port number N, adapter type 6 ("USB").
    void ChooseManually(int portNumber) {
        core->portConfigDefault = false;
        core->cbbPortChange(portNumber - 1);
        core->cbAdapterChange(5);
    }
    // What the in-process simulated link lists for the same bench.
    std::string Listed(std::shared_ptr<sim::SimBench> bench) {
        TmexDriver local(velgrin::testing::BenchRegistry(bench), PortSpec{"bench", ""});
        BusCore localCore(local, host);
        (void)localCore.ScanSessionAndSearch();
        return Table(localCore);
    }
    static std::string Table(const BusCore& c) {
        std::string text = c.stat11 + " " + c.Stat1 + "\n";
        for (int i = 0; i < c.FoundDev; ++i) {
            text += c.Asens[static_cast<size_t>(i)].ROMS + "\n";
        }
        return text;
    }
    void TearDown() override {
        core.reset();
        driver.reset();
    }

    VirtualClock clock;
    velgrin::testing::ScriptedHost host{clock};
    MockUsbBus usb;
    std::unique_ptr<TmexDriver> driver;
    std::unique_ptr<BusCore> core;
};

TEST_F(UsbPorts, PortUsbAndManualUsbPortOneListTheDemoBench) {
    auto bench = Demo();
    const std::string listed = Listed(Demo());
    usb.plug(bench);

    Start(PortSpec{"usb", ""});
    (void)core->ScanSessionAndSearch();
    EXPECT_EQ(Table(*core), listed);
    EXPECT_EQ(core->stat11, status_text::kAdapterFound);

    Start(std::nullopt);
    ChooseManually(1);
    (void)core->ScanSessionAndSearch();
    EXPECT_EQ(Table(*core), listed);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(UsbPorts, PortNumberCountsAdaptersInAddressOrder) {
    usb.plug(Demo());
    usb.plug(Other());
    EXPECT_EQ(AttachedDs2490s(), (std::vector<UsbAddress>{usb.address(0), usb.address(1)}));
    const std::string second = Listed(Other());

    Start(PortSpec{"usb", "2"});
    (void)core->ScanSessionAndSearch();
    EXPECT_EQ(Table(*core), second);

    Start(std::nullopt);
    ChooseManually(2);
    (void)core->ScanSessionAndSearch();
    EXPECT_EQ(Table(*core), second);
}

TEST_F(UsbPorts, ALoneAdapterIsTheDefaultPort) {
    usb.plug(Demo());
    Start(std::nullopt);
    int16_t portNum = 0;
    int16_t portType = 0;
    EXPECT_EQ(driver->TMReadDefaultPort(portNum, portType), 1);
    EXPECT_EQ(portNum, 1);
    EXPECT_EQ(portType, kUsbPortType);
    (void)core->ScanSessionAndSearch();
    EXPECT_EQ(Table(*core), Listed(Demo()));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(core->portConfigDefault);

    // Unplugged, it stays the default port: the window says to check the adapter.
    usb.unplug(0);
    (void)core->ScanSessionAndSearch();
    EXPECT_EQ(core->stat11, status_text::kCheckAdapter);
    EXPECT_TRUE(core->portConfigDefault);
    usb.replug(0);
    (void)core->ScanSessionAndSearch();
    EXPECT_EQ(Table(*core), Listed(Demo()));
}

TEST_F(UsbPorts, NoAdapterOrTwoLeaveNoDefaultPort) {
    Start(std::nullopt);
    int16_t portNum = 0;
    int16_t portType = 0;
    EXPECT_EQ(driver->TMReadDefaultPort(portNum, portType), 0);

    usb.plug(Demo());
    usb.plug(Other());
    Start(std::nullopt);
    EXPECT_EQ(driver->TMReadDefaultPort(portNum, portType), 0);
    (void)core->ScanSessionAndSearch();
    EXPECT_EQ(host.messages, std::vector<std::string>{status_text::kNoDefaultPortMessage});
    EXPECT_EQ(core->stat11, status_text::kNoPortChosen);
}

TEST_F(UsbPorts, KernelDriverIsDetachedAtOpenAndGetsTheAdapterBackAtTheEnd) {
    const size_t adapter = usb.plug(Demo());
    usb.setKernelDriverBound(adapter, true);
    Start(PortSpec{"usb", ""});
    (void)core->ScanSessionAndSearch();
    EXPECT_EQ(core->stat11, status_text::kAdapterFound) << driver->lastError();
    EXPECT_FALSE(usb.kernelDriverBound(adapter));
    EXPECT_TRUE(usb.claimed(adapter));

    core.reset();
    driver.reset();  // the program ends
    EXPECT_TRUE(usb.kernelDriverBound(adapter));
    EXPECT_FALSE(usb.claimed(adapter));
    const auto lines = usb.transcript(adapter);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3),
              (std::vector<std::string>{"detach", "claim", "alt 3"}));
    EXPECT_EQ(std::vector<std::string>(lines.end() - 2, lines.end()),
              (std::vector<std::string>{"release", "attach"}));
}

// The conversion's pull-up runs on the chip's timer (the window's wait of 1 s in 63 steps of
// 16 ms, set once), from the command's last bit on; its end takes one status read.
TEST_F(UsbPorts, ConvertTPullupRunsOnTheChipsTimerForTheWholeConversion) {
    auto bench = Demo();
    const size_t adapter = usb.plug(bench);
    Start(PortSpec{"usb", ""});
    (void)core->ScanSessionAndSearch();
    int thermometer = -1;
    for (int i = 0; i < core->FoundDev && thermometer < 0; ++i) {
        if (core->Asens[static_cast<size_t>(i)].Family == device_group::kDs18B20) {
            thermometer = i;
        }
    }
    ASSERT_GE(thermometer, 0);
    for (const bool first : {true, false}) {
        SCOPED_TRACE(first);
        usb.clearTranscript(adapter);
        bench->bus().clearEvents();
        bench->bus().setRecording(true);
        EXPECT_EQ(Thermometers(*core).Measure1820(thermometer), kMeasured);
        bench->bus().setRecording(false);

        const auto lines = usb.transcript(adapter);
        const auto convert = std::find(lines.begin(), lines.end(), "C1 1053 0044");
        ASSERT_NE(convert, lines.end());
        EXPECT_EQ(std::vector<std::string>(convert, convert + 3),
                  (std::vector<std::string>{"C1 1053 0044", "R 44", "S"}));
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "C2 0003 003F"), first ? 1 : 0);
        usb.withChip(adapter, [](Ds2490Chip& chip) { EXPECT_FALSE(chip.pullupActive()); });

        const auto& events = bench->bus().events();
        const auto on = std::find_if(events.begin(), events.end(), [](const sim::BusEvent& e) {
            return e.kind == sim::BusEvent::Kind::PullupOn;
        });
        ASSERT_NE(on, events.end());
        ASSERT_NE(on + 1, events.end());
        EXPECT_EQ((on + 1)->kind, sim::BusEvent::Kind::PullupOff);
        EXPECT_EQ((on + 1)->atUs - on->atUs, 1'008'000u);
    }
}

TEST_F(UsbPorts, AdapterHeldByAnotherProgramIsBusy) {
    const size_t adapter = usb.plug(Demo());
    usb.setClaimedElsewhere(adapter, true);
    Start(PortSpec{"usb", ""});
    (void)core->ScanSessionAndSearch();
    EXPECT_EQ(core->SHandle, tmex_error::kPortBusy);
    EXPECT_EQ(core->stat11, status_text::kDriverError);
    EXPECT_THAT(driver->lastError(), HasSubstr("is in use by another program"));
    EXPECT_THAT(driver->lastError(), HasSubstr(usb.address(adapter).node()));

    usb.setClaimedElsewhere(adapter, false);
    (void)core->ScanSessionAndSearch();
    EXPECT_EQ(core->stat11, status_text::kAdapterFound);
}

TEST_F(UsbPorts, MissingAdapterSaysSo) {
    Start(PortSpec{"usb", ""});
    (void)core->ScanSessionAndSearch();
    EXPECT_EQ(core->stat11, status_text::kCheckAdapter);
    EXPECT_THAT(driver->lastError(),
                HasSubstr("no DS2490 USB 1-Wire adapter (04fa:2490) is attached: plug one in"));

    usb.plug(Demo());
    Start(PortSpec{"usb", "3"});
    (void)core->ScanSessionAndSearch();
    EXPECT_EQ(core->stat11, status_text::kCheckAdapter);
    EXPECT_THAT(driver->lastError(),
                HasSubstr("there is no 3rd DS2490 USB 1-Wire adapter: 1 is attached"));
}

TEST_F(UsbPorts, UnpluggedAdapterSaysSo) {
    const size_t adapter = usb.plug(Demo());
    Start(PortSpec{"usb", ""});
    (void)core->ScanSessionAndSearch();
    usb.unplug(adapter);
    EXPECT_LT(driver->TMTouchByte(core->SHandle, 0xFF), 0);
    EXPECT_THAT(driver->lastError(), HasSubstr("the DS2490 USB 1-Wire adapter at " +
                                               usb.address(adapter).text() + " was unplugged"));
    EXPECT_EQ(driver->TMValidSession(core->SHandle), 0);
}

TEST_F(UsbPorts, NoPermissionNamesTheRuleAndTheCommandsThatLoadIt) {
    const size_t adapter = usb.plug(Demo());
    // Everything of the testbed is open to all (its sockets too) but the node; as root, the
    // test acts as nobody while it opens the port.
    namespace fs = std::filesystem;
    fs::permissions(usb.rootDir(), fs::perms::all);
    for (const auto& entry : fs::recursive_directory_iterator(usb.rootDir())) {
        if (!entry.is_symlink()) {
            fs::permissions(entry.path(), fs::perms::all);
        }
    }
    ASSERT_EQ(::chmod(usb.nodeFile(adapter).c_str(), 0), 0);
    const bool root = ::geteuid() == 0;
    Start(PortSpec{"usb", ""});
    if (root) {
        ASSERT_EQ(::seteuid(65534), 0);
    }
    (void)core->ScanSessionAndSearch();
    if (root) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    EXPECT_EQ(core->SHandle, tmex_error::kPortFailed);
    EXPECT_EQ(core->stat11, status_text::kDriverError);
    const std::string& message = driver->lastError();
    EXPECT_THAT(message, HasSubstr("no permission to use the DS2490 USB 1-Wire adapter at " +
                                   usb.address(adapter).text()));
    EXPECT_THAT(message,
                HasSubstr("the udev rule 60-velgrin-ds2490.rules (in /usr/lib/udev/rules.d"));
    EXPECT_THAT(message, HasSubstr("'sudo udevadm control --reload-rules'"));
    EXPECT_THAT(message, HasSubstr("'sudo udevadm trigger'"));
}

TEST_F(UsbPorts, CommandLineToolNamesTheCase) {
    const size_t adapter = usb.plug(Demo());
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(cli::RunCli({"--port", "usb", "list"}, out, err), 0) << err.str();
    EXPECT_THAT(out.str(), HasSubstr("EC00000024A1C381"));

    usb.setClaimedElsewhere(adapter, true);
    std::ostringstream busyOut;
    std::ostringstream busyErr;
    EXPECT_NE(cli::RunCli({"--port", "usb", "list"}, busyOut, busyErr), 0);
    EXPECT_THAT(busyErr.str(), HasSubstr("is in use by another program"));

    usb.unplug(adapter);
    std::ostringstream goneOut;
    std::ostringstream goneErr;
    EXPECT_NE(cli::RunCli({"--port", "usb:1", "list"}, goneOut, goneErr), 0);
    EXPECT_THAT(goneErr.str(), HasSubstr("no DS2490 USB 1-Wire adapter (04fa:2490) is attached"));
}

}  // namespace
}  // namespace velgrin::ds2490
