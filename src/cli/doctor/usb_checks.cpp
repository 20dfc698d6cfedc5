#include "cli/doctor/usb_checks.h"

#include <charconv>

#include "wire/ds2490/libusb_transport.h"

namespace velgrin::cli::doctor {

namespace {

// Where udev reads rules, the administrator's folder first.
constexpr const char* kRuleFolders[] = {"/etc/udev/rules.d", "/run/udev/rules.d",
                                        "/usr/local/lib/udev/rules.d", "/usr/lib/udev/rules.d",
                                        "/lib/udev/rules.d"};

std::optional<std::string> InstalledRule(const SystemTree& tree) {
    for (const char* folder : kRuleFolders) {
        const std::string path = std::string(folder) + "/" + ds2490::kUdevRuleFile;
        if (tree.exists(path)) {
            return path;
        }
    }
    return std::nullopt;
}

std::optional<int> Integer(const std::optional<std::string>& text) {
    if (!text) {
        return std::nullopt;
    }
    int value = 0;
    const char* end = text->data() + text->size();
    const auto [stop, ec] = std::from_chars(text->data(), end, value);
    if (ec != std::errc() || stop != end || text->empty() || value < 1 || value > 999) {
        return std::nullopt;
    }
    return value;
}

std::string ThreeDigits(int n) {
    const std::string digits = std::to_string(n);
    return std::string(3 - digits.size(), '0') + digits;
}

Problem RuleMissing() {
    const std::string file = std::string("/etc/udev/rules.d/") + ds2490::kUdevRuleFile;
    return {"the udev rule " + std::string(ds2490::kUdevRuleFile) +
                " is not installed, so only root may use the adapter",
            "install Velgrin's package, or add the file " + file +
                " holding: SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", "
                "ATTR{idVendor}==\"04fa\", ATTR{idProduct}==\"2490\", MODE=\"0660\", "
                "GROUP=\"plugdev\", TAG+=\"uaccess\"; then sudo udevadm control --reload-rules "
                "&& sudo udevadm trigger, and plug the adapter in again"};
}

// The kernel driver bound to the adapter's interface ("DS9490R"), if any.
std::optional<std::string> KernelDriver(const SystemTree& tree, const std::string& device,
                                        const std::string& name) {
    for (const std::string& entry : tree.list(device)) {
        if (entry.rfind(name + ":", 0) == 0) {
            if (auto driver = tree.linkName(device + "/" + entry + "/driver")) {
                return driver;
            }
        }
    }
    return std::nullopt;
}

}  // namespace

Section CheckUsbAdapters(const SystemTree& tree, const UserAccess& user, int& adapters) {
    Section section{"usb", "DS2490 USB adapters", "no DS2490 USB adapter (04fa:2490) attached", {}};
    const auto rule = InstalledRule(tree);
    for (const std::string& name : tree.list("/sys/bus/usb/devices")) {
        const std::string device = "/sys/bus/usb/devices/" + name;
        if (tree.readLine(device + "/idVendor") != "04fa" ||
            tree.readLine(device + "/idProduct") != "2490") {
            continue;
        }
        const auto bus = Integer(tree.readLine(device + "/busnum"));
        const auto address = Integer(tree.readLine(device + "/devnum"));
        if (!bus || !address) {
            continue;
        }
        ++adapters;
        const std::string path = "/dev/bus/usb/" + ThreeDigits(*bus) + "/" + ThreeDigits(*address);
        Finding finding{"bus " + std::to_string(*bus) + " device " + std::to_string(*address),
                        path + ", udev rule " + (rule ? *rule : std::string("not installed")),
                        {}};
        if (auto driver = KernelDriver(tree, device, name)) {
            // Velgrin detaches it while it holds the adapter and hands the adapter back after.
            finding.found += ", kernel driver " + *driver + " bound";
        }
        const auto node = tree.node(path);
        if (!node) {
            finding.problems.push_back({"the kernel lists the adapter but " + path + " is missing",
                                        "sudo udevadm trigger --subsystem-match=usb, or plug the "
                                        "adapter in again"});
        } else if (!user.mayUse(tree.hostPath(path), *node)) {
            const std::string what = "this user may not open " + path;
            if (!rule) {
                Problem missing = RuleMissing();
                missing.what = what + ": " + missing.what;
                finding.problems.push_back(missing);
            } else if (auto join = user.groupFix(*node)) {
                finding.problems.push_back({what, *join});
            } else {
                finding.problems.push_back(
                    {what + ": the rule has not been applied to it",
                     "sudo udevadm control --reload-rules && sudo udevadm trigger, or plug the "
                     "adapter in again"});
            }
        }
        section.findings.push_back(std::move(finding));
    }
    return section;
}

}  // namespace velgrin::cli::doctor
