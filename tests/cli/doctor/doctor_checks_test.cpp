// velgrin-cli doctor over fixture machines: each problem a technician meets gets its own fix,
// and a machine where everything is in order gets none.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cli/doctor/doctor.h"
#include "cli/doctor/doctor_output.h"
#include "machine_tree.h"

namespace velgrin::cli::doctor {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using testing::MachineTree;

constexpr const char* kFonts = "/usr/share/wine/fonts";

// A bench PC with everything in order: an FTDI converter, an I2C bus, a kernel master whose
// own search is off, the window's font and a UTF-8 locale.
void HealthyMachine(const MachineTree& m) {
    m.user("dialout", true, true);
    m.link("/sys/class/tty/ttyUSB0/device/driver", "../../../bus/usb-serial/drivers/ftdi_sio");
    m.file("/sys/bus/usb-serial/devices/ttyUSB0/latency_timer", "1\n");
    m.node("/dev/ttyUSB0", 0660);
    m.folder("/sys/class/i2c-adapter/i2c-1");
    m.file("/sys/class/i2c-adapter/i2c-1/name", "bcm2835 (i2c@7e804000)\n");
    m.folder("/sys/class/i2c-dev/i2c-1");
    m.node("/dev/i2c-1", 0660);
    m.file("/sys/bus/w1/devices/w1_bus_master1/w1_master_name", "w1_bus_master1\n");
    m.file("/sys/bus/w1/devices/w1_bus_master1/w1_master_slave_count", "2\n");
    m.file("/sys/bus/w1/devices/w1_bus_master1/w1_master_search", "0\n");
    m.file(std::string(kFonts) + "/tahoma.ttf", "font");
    m.file(std::string(kFonts) + "/tahomabd.ttf", "font");
}

struct Case {
    std::string name;
    std::function<void(const MachineTree&)> spoil;
    std::string locale;
    std::string section;
    std::string subject;
    std::string fix;
};

DoctorReport Examined(const MachineTree& m, const std::string& locale) {
    const DoctorInputs inputs{m.root(), kFonts, {{"LANG", locale}}};
    DoctorReport report = Examine(inputs);
    NoteMissingAdapter(inputs, report);
    return report;
}

// Every fix the report gives, as "section subject: fix".
std::vector<std::string> Fixes(const DoctorReport& report) {
    std::vector<std::string> fixes;
    for (const Section& section : report.sections) {
        for (const Finding& finding : section.findings) {
            for (const Problem& problem : finding.problems) {
                fixes.push_back(section.key + " " + finding.subject + ": " + problem.fix);
            }
        }
    }
    return fixes;
}

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases{
        {"NotInDialout",
         [](const MachineTree& m) {
             m.user("dialout", false, false);
             m.remove("/sys/class/i2c-adapter");
         },
         "C.UTF-8", "serial", "/dev/ttyUSB0",
         "sudo usermod -aG dialout $USER, then log out and in again"},
        {"JoinedDialoutAfterLogin",
         [](const MachineTree& m) {
             m.user("dialout", false, true);
             m.remove("/sys/class/i2c-adapter");
         },
         "C.UTF-8", "serial", "/dev/ttyUSB0",
         "log out and in again: you joined the group dialout after this session began"},
        {"NodeOfNoUsefulGroup",
         [](const MachineTree& m) {
             m.user("dialout", false, false);
             m.remove("/sys/class/i2c-adapter");
             m.node("/dev/ttyUSB0", 0600);
         },
         "C.UTF-8", "serial", "/dev/ttyUSB0",
         "sudo chgrp dialout /dev/ttyUSB0 && sudo chmod 0660 /dev/ttyUSB0; then sudo usermod "
         "-aG dialout $USER, then log out and in again"},
        {"SerialNodeMissing", [](const MachineTree& m) { m.remove("/dev/ttyUSB0"); }, "C.UTF-8",
         "serial", "/dev/ttyUSB0",
         "sudo udevadm trigger --subsystem-match=tty, or plug the adapter in again"},
        {"FtdiLatency16ms",
         [](const MachineTree& m) {
             m.file("/sys/bus/usb-serial/devices/ttyUSB0/latency_timer", "16\n");
         },
         "C.UTF-8", "serial", "/dev/ttyUSB0",
         "echo 1 | sudo tee /sys/bus/usb-serial/devices/ttyUSB0/latency_timer; for good add the "
         "file /etc/udev/rules.d/60-ftdi-latency.rules holding: ACTION==\"add\", "
         "SUBSYSTEM==\"usb-serial\", DRIVER==\"ftdi_sio\", ATTR{latency_timer}=\"1\""},
        {"LockedByMinicom",
         [](const MachineTree& m) {
             m.file("/run/lock/LCK..ttyUSB0", "      4321\n");
             m.file("/proc/4321/comm", "minicom\n");
         },
         "C.UTF-8", "serial", "/dev/ttyUSB0", "close minicom, or end it with 'kill 4321'"},
        {"NoI2cDev", [](const MachineTree& m) { m.remove("/sys/class/i2c-dev"); }, "C.UTF-8", "i2c",
         "i2c-dev",
         "sudo modprobe i2c-dev; for good: echo i2c-dev | sudo tee "
         "/etc/modules-load.d/i2c-dev.conf"},
        {"NotInI2c",
         [](const MachineTree& m) {
             m.user("i2c", false, false);
             m.remove("/dev/ttyUSB0");
             m.remove("/sys/class/tty");
         },
         "C.UTF-8", "i2c", "/dev/i2c-1", "sudo usermod -aG i2c $USER, then log out and in again"},
        {"KernelDs2482HoldsTheChip",
         [](const MachineTree& m) {
             m.file("/sys/bus/i2c/devices/1-0018/name", "ds2482\n");
             m.folder("/sys/bus/i2c/drivers/ds2482/1-0018");
         },
         "C.UTF-8", "i2c", "/dev/i2c-1",
         "echo 1-0018 | sudo tee /sys/bus/i2c/drivers/ds2482/unbind; for good: echo 'blacklist "
         "ds2482' | sudo tee /etc/modprobe.d/velgrin-ds2482.conf"},
        {"KernelSearchesTheBus",
         [](const MachineTree& m) {
             m.file("/sys/bus/w1/devices/w1_bus_master1/w1_master_search", "-1\n");
         },
         "C.UTF-8", "w1", "w1_bus_master1",
         "echo 0 | sudo tee /sys/bus/w1/devices/w1_bus_master1/w1_master_search"},
        {"NoTahoma", [](const MachineTree& m) { m.remove(kFonts); }, "C.UTF-8", "desktop", "font",
         "sudo apt install fonts-wine"},
        {"LocaleNotUtf8", [](const MachineTree&) {}, "ru_RU.KOI8-R", "desktop", "locale",
         "sudo dpkg-reconfigure locales, choose ru_RU.UTF-8 (or en_US.UTF-8) as the default, "
         "then log out and in again"},
        {"LocaleNotInstalled", [](const MachineTree&) {}, "xx_XX.UTF-8", "desktop", "locale",
         "sudo dpkg-reconfigure locales, choose ru_RU.UTF-8 (or en_US.UTF-8) as the default, "
         "then log out and in again"},
        {"NoAdapterAtAll",
         [](const MachineTree& m) {
             m.remove("/sys/class/tty");
             m.remove("/sys/bus/w1");
         },
         "C.UTF-8", "adapters", "adapter",
         "plug one in (a DS9490R on USB, a DS9097U on a USB-serial converter, a DS2482 on I2C); "
         "an adapter on a built-in serial port is checked with 'velgrin-cli doctor --port "
         "ds2480b:/dev/ttyS0'"},
        {"RaspberryPiWithoutOverlay",
         [](const MachineTree& m) {
             m.remove("/sys/class/tty");
             m.remove("/sys/bus/w1");
             m.file("/proc/device-tree/model", std::string("Raspberry Pi 4 Model B Rev 1.4\0", 32));
             m.file("/boot/firmware/config.txt", "dtparam=audio=on\n");
         },
         "C.UTF-8", "adapters", "w1-gpio",
         "add the line dtoverlay=w1-gpio to /boot/firmware/config.txt and reboot"},
    };
    return cases;
}

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

class DoctorProblem : public ::testing::TestWithParam<Case> {};

TEST_P(DoctorProblem, GetsItsOwnFixAndNoOther) {
    const Case& c = GetParam();
    MachineTree machine;
    HealthyMachine(machine);
    c.spoil(machine);
    const DoctorReport report = Examined(machine, c.locale);
    EXPECT_EQ(Fixes(report), std::vector<std::string>{c.section + " " + c.subject + ": " + c.fix})
        << ReportText(report);
    EXPECT_TRUE(report.needsFixing());
}

INSTANTIATE_TEST_SUITE_P(Machines, DoctorProblem, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return info.param.name; });

TEST(Doctor, AHealthyBenchNeedsNothingAndSaysWhatItFound) {
    MachineTree machine;
    HealthyMachine(machine);
    const DoctorReport report = Examined(machine, "ru_RU.UTF-8");
    EXPECT_FALSE(report.needsFixing()) << ReportText(report);
    EXPECT_EQ(report.adapters, 2);
    const std::string text = ReportText(report);
    EXPECT_THAT(text, HasSubstr("  /dev/ttyUSB0: USB-serial converter, driver ftdi_sio, group "
                                "dialout, mode 0660, latency timer 1 ms\n"));
    EXPECT_THAT(text, HasSubstr("  w1_bus_master1: w1_bus_master1, 2 devices, kernel search 0\n"));
    EXPECT_THAT(text, HasSubstr("DS2490 USB adapters\n  no DS2490 USB adapter (04fa:2490) "
                                "attached\n"));
    EXPECT_THAT(text, EndsWith("nothing to fix\n"));
    const nlohmann::json json = ReportJson(report);
    EXPECT_EQ(json["problems"], 0);
    EXPECT_EQ(json["serial"][0]["subject"], "/dev/ttyUSB0");
}

TEST(Doctor, ProblemsAreListedUnderTheirFindingWithACount) {
    MachineTree machine;
    HealthyMachine(machine);
    machine.file("/sys/bus/usb-serial/devices/ttyUSB0/latency_timer", "16\n");
    const std::string text = ReportText(Examined(machine, "C"));
    EXPECT_THAT(text, HasSubstr("latency timer 16 ms\n    problem: the converter holds every "
                                "reply up to 16 ms (its latency timer), so a search takes many "
                                "times longer\n    fix: echo 1 | sudo tee"));
    EXPECT_THAT(text, HasSubstr("  locale: C\n    problem: the locale is not UTF-8"));
    EXPECT_THAT(text, EndsWith("2 problems to fix\n"));
}

}  // namespace
}  // namespace velgrin::cli::doctor
