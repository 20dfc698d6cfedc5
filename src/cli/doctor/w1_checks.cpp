#include "cli/doctor/w1_checks.h"

namespace velgrin::cli::doctor {

namespace {

constexpr const char* kMasters = "/sys/bus/w1/devices";

}  // namespace

Section CheckKernelMasters(const SystemTree& tree, int& adapters) {
    Section section{
        "w1", "kernel 1-Wire masters", "none (the kernel's w1 module is not loaded)", {}};
    if (tree.exists("/sys/bus/w1")) {
        section.none = "none";
    }
    for (const std::string& name : tree.list(kMasters)) {
        if (name.rfind("w1_bus_master", 0) != 0) {
            continue;
        }
        ++adapters;
        const std::string folder = std::string(kMasters) + "/" + name;
        const std::string master = tree.readLine(folder + "/w1_master_name").value_or(name);
        const std::string slaves = tree.readLine(folder + "/w1_master_slave_count").value_or("?");
        const auto search = tree.readLine(folder + "/w1_master_search");
        Finding finding{name, master + ", " + slaves + " devices", {}};
        if (search) {
            finding.found += ", kernel search " + (*search == "-1" ? "continuous" : *search);
        }
        if (search && *search != "0") {
            finding.problems.push_back(
                {"the kernel searches this bus by itself, and its searches fall between "
                 "Velgrin's steps",
                 "echo 0 | sudo tee " + folder + "/w1_master_search"});
        }
        section.findings.push_back(std::move(finding));
    }
    return section;
}

std::optional<Finding> MissingPiOverlay(const SystemTree& tree) {
    const std::string model = tree.read("/proc/device-tree/model", 256).value_or("");
    if (model.find("Raspberry Pi") == std::string::npos) {
        return std::nullopt;
    }
    std::string config = "/boot/firmware/config.txt";
    if (!tree.exists(config) && tree.exists("/boot/config.txt")) {
        config = "/boot/config.txt";
    }
    const std::string text = tree.read(config).value_or("");
    if (text.find("dtoverlay=w1-gpio") != std::string::npos) {
        return std::nullopt;
    }
    return Finding{"w1-gpio",
                   "not enabled",
                   {{"the Raspberry Pi has no 1-Wire bus on GPIO 4",
                     "add the line dtoverlay=w1-gpio to " + config + " and reboot"}}};
}

}  // namespace velgrin::cli::doctor
