#include "cli/doctor/doctor.h"

#include <algorithm>
#include <cstdlib>

#include "cli/doctor/desktop_checks.h"
#include "cli/doctor/i2c_checks.h"
#include "cli/doctor/serial_checks.h"
#include "cli/doctor/usb_checks.h"
#include "cli/doctor/w1_checks.h"

namespace velgrin::cli::doctor {

bool DoctorReport::needsFixing() const {
    return std::any_of(sections.begin(), sections.end(), [](const Section& section) {
        return std::any_of(section.findings.begin(), section.findings.end(),
                           [](const Finding& finding) { return !finding.problems.empty(); });
    });
}

DoctorReport Examine(const DoctorInputs& inputs) {
    const SystemTree tree(inputs.root);
    const UserAccess user(tree);
    DoctorReport report;
    report.sections.push_back(CheckSerialPorts(tree, user, report.adapters));
    report.sections.push_back(CheckUsbAdapters(tree, user, report.adapters));
    report.sections.push_back(CheckI2cBuses(tree, user, report.adapters));
    report.sections.push_back(CheckKernelMasters(tree, report.adapters));
    report.sections.push_back(CheckDesktop(tree, inputs.fontFolder, inputs.environment));
    return report;
}

void NoteMissingAdapter(const DoctorInputs& inputs, DoctorReport& report) {
    if (report.adapters > 0) {
        return;
    }
    Section section{"adapters", "adapters", "", {}};
    if (auto overlay = MissingPiOverlay(SystemTree(inputs.root))) {
        section.findings.push_back(std::move(*overlay));
    } else {
        section.findings.push_back(
            {"adapter",
             "none found",
             {{"no 1-Wire adapter was found on this machine",
               "plug one in (a DS9490R on USB, a DS9097U on a USB-serial converter, a DS2482 on "
               "I2C); an adapter on a built-in serial port is checked with 'velgrin-cli doctor "
               "--port ds2480b:/dev/ttyS0'"}}});
    }
    report.sections.push_back(std::move(section));
}

std::map<std::string, std::string> LocaleEnvironment() {
    std::map<std::string, std::string> environment;
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        if (const char* value = std::getenv(name)) {
            environment[name] = value;
        }
    }
    return environment;
}

}  // namespace velgrin::cli::doctor
