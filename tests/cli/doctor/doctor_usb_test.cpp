// velgrin-cli doctor on DS2490s plugged into umockdev's mocked USB: the sysfs entries and nodes
// the adapters get there, with the udev rule and the user's groups as each case sets them.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/doctor/doctor.h"
#include "cli/doctor/doctor_output.h"
#include "ds2490_model/mock_usb_bus.h"
#include "machine_tree.h"
#include "wire/sim/bench_file.h"

namespace velgrin::cli::doctor {
namespace {

using ::testing::HasSubstr;

constexpr const char* kRule = "/usr/lib/udev/rules.d/60-velgrin-ds2490.rules";

struct DoctorUsb : ::testing::Test {
    // The adapter's section of the report.
    Section Usb() {
        const DoctorReport report = Examine({usb.rootDir(), "/fonts", {{"LANG", "C.UTF-8"}}});
        text = ReportText(report);
        adapters = report.adapters;
        return report.sections.at(1);
    }
    std::string Node(size_t adapter) { return usb.address(adapter).node(); }
    void Mode(size_t adapter, mode_t mode) {
        ASSERT_EQ(::chmod(usb.nodeFile(adapter).c_str(), mode), 0);
    }

    VirtualClock clock;
    ds2490::MockUsbBus usb;
    testing::MachineTree machine{usb.rootDir()};
    std::string text;
    int adapters = 0;
};

TEST_F(DoctorUsb, WithoutTheRuleOnlyRootMayUseTheAdapter) {
    const size_t adapter = usb.plug(sim::MakeDemoBench(clock));
    machine.user("plugdev", false, false);
    Mode(adapter, 0600);
    const Section section = Usb();
    ASSERT_EQ(section.findings.size(), 1u) << text;
    const Finding& finding = section.findings[0];
    EXPECT_EQ(finding.subject, "bus 1 device " + std::to_string(usb.address(adapter).device));
    EXPECT_EQ(finding.found, Node(adapter) + ", udev rule not installed");
    ASSERT_EQ(finding.problems.size(), 1u) << text;
    EXPECT_EQ(finding.problems[0].fix,
              "install Velgrin's package, or add the file "
              "/etc/udev/rules.d/60-velgrin-ds2490.rules holding: SUBSYSTEM==\"usb\", "
              "ENV{DEVTYPE}==\"usb_device\", ATTR{idVendor}==\"04fa\", "
              "ATTR{idProduct}==\"2490\", MODE=\"0660\", GROUP=\"plugdev\", "
              "TAG+=\"uaccess\"; then sudo udevadm control --reload-rules && sudo udevadm "
              "trigger, and plug the adapter in again");
    EXPECT_EQ(adapters, 1);
}

TEST_F(DoctorUsb, WithTheRuleAUserOutsidePlugdevJoinsIt) {
    const size_t adapter = usb.plug(sim::MakeDemoBench(clock));
    machine.file(kRule, "rule");
    machine.user("plugdev", false, false);
    Mode(adapter, 0660);
    const Section section = Usb();
    ASSERT_EQ(section.findings.size(), 1u) << text;
    ASSERT_EQ(section.findings[0].problems.size(), 1u) << text;
    EXPECT_EQ(section.findings[0].problems[0].fix,
              "sudo usermod -aG plugdev $USER, then log out and in again");
}

TEST_F(DoctorUsb, AnAdapterTheUserMayUseNeedsNothingAndShowsTheKernelDriver) {
    usb.plug(sim::MakeDemoBench(clock));
    const size_t second = usb.plug(sim::MakeDemoBench(clock));
    machine.file(kRule, "rule");
    machine.user("plugdev", true, true);
    Mode(0, 0660);
    Mode(second, 0660);
    // The kernel's ds2490 module has the second adapter's interface.
    const std::string device =
        "/sys/bus/usb/devices/1-" + std::to_string(usb.address(second).device);
    const std::string real = std::filesystem::canonical(usb.rootDir() + device).string();
    std::filesystem::create_directories(real + "/1-" + std::to_string(usb.address(second).device) +
                                        ":1.0");
    std::filesystem::create_symlink(
        usb.rootDir() + "/sys/bus/usb/drivers/DS9490R",
        real + "/1-" + std::to_string(usb.address(second).device) + ":1.0/driver");
    const Section section = Usb();
    ASSERT_EQ(section.findings.size(), 2u) << text;
    EXPECT_TRUE(section.findings[0].problems.empty()) << text;
    EXPECT_TRUE(section.findings[1].problems.empty()) << text;
    EXPECT_EQ(section.findings[1].found,
              Node(second) + ", udev rule " + kRule + ", kernel driver DS9490R bound");
    EXPECT_THAT(text, HasSubstr("DS2490 USB adapters\n  bus 1 device "));
}

}  // namespace
}  // namespace velgrin::cli::doctor
