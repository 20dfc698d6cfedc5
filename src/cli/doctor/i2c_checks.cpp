#include "cli/doctor/i2c_checks.h"

#include "cli/doctor/node_problems.h"

namespace velgrin::cli::doctor {

namespace {

constexpr const char* kDs2482Driver = "/sys/bus/i2c/drivers/ds2482";

// The DS2482 chips the kernel knows of on bus `bus` ("1-0018"), bound to its driver or not.
std::vector<std::string> Ds2482Chips(const SystemTree& tree, const std::string& bus) {
    std::vector<std::string> chips;
    const std::string prefix = bus.substr(bus.find('-') + 1) + "-";
    for (const std::string& name : tree.list("/sys/bus/i2c/devices")) {
        if (name.rfind(prefix, 0) != 0) {
            continue;
        }
        const auto chip = tree.readLine("/sys/bus/i2c/devices/" + name + "/name");
        if (chip == "ds2482" || chip == "ds2484") {
            chips.push_back(name);
        }
    }
    return chips;
}

}  // namespace

Section CheckI2cBuses(const SystemTree& tree, const UserAccess& user, int& adapters) {
    Section section{"i2c", "I2C buses", "no I2C buses", {}};
    const auto buses = tree.list("/sys/class/i2c-adapter");
    if (buses.empty()) {
        return section;
    }
    const bool i2cDev = tree.exists("/sys/class/i2c-dev") || tree.exists("/sys/module/i2c_dev");
    if (!i2cDev) {
        section.findings.push_back({"i2c-dev",
                                    "not loaded",
                                    {{"without the i2c-dev module no program may use an I2C bus",
                                      "sudo modprobe i2c-dev; for good: echo i2c-dev | sudo tee "
                                      "/etc/modules-load.d/i2c-dev.conf"}}});
    }
    for (const std::string& bus : buses) {
        const std::string path = "/dev/" + bus;
        const std::string name =
            tree.readLine("/sys/class/i2c-adapter/" + bus + "/name").value_or("");
        Finding finding{path, name.empty() ? "I2C bus" : name, {}};
        if (i2cDev) {
            if (const auto node = tree.node(path); !node) {
                finding.problems.push_back(MissingNode(path, "i2c-dev"));
            } else {
                finding.found += ", " + NodeText(*node, user);
                if (!user.mayUse(tree.hostPath(path), *node)) {
                    finding.problems.push_back(NoAccess(path, *node, user, "i2c"));
                }
            }
        }
        for (const std::string& chip : Ds2482Chips(tree, bus)) {
            ++adapters;
            finding.found += ", DS2482 at " + chip;
            if (tree.exists(std::string(kDs2482Driver) + "/" + chip)) {
                finding.problems.push_back(
                    {"the kernel's ds2482 driver holds the DS2482 " + chip,
                     "echo " + chip + " | sudo tee " + kDs2482Driver +
                         "/unbind; for good: echo 'blacklist ds2482' | sudo tee "
                         "/etc/modprobe.d/velgrin-ds2482.conf"});
            }
        }
        section.findings.push_back(std::move(finding));
    }
    return section;
}

}  // namespace velgrin::cli::doctor
