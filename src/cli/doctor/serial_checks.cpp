#include "cli/doctor/serial_checks.h"

#include <charconv>

#include "cli/doctor/node_problems.h"
#include "wire/ds2480b/posix_serial_port_openers.h"

namespace velgrin::cli::doctor {

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

bool IsUsbSerial(const std::string& name) {
    return StartsWith(name, "ttyUSB") || StartsWith(name, "ttyACM");
}

bool IsSerialPortName(const std::string& name) {
    return IsUsbSerial(name) || StartsWith(name, "ttyS") || StartsWith(name, "ttyAMA");
}

std::optional<int> Integer(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || stop != end || text.empty()) {
        return std::nullopt;
    }
    return value;
}

// The PID in a UUCP lock file: ten ASCII digits, blank padded.
std::optional<int> LockPid(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return std::nullopt;
    }
    const size_t last = text.find_first_not_of("0123456789", first);
    return Integer(text.substr(first, last == std::string::npos ? last : last - first));
}

std::string ProcessName(const SystemTree& tree, int pid) {
    return tree.readLine("/proc/" + std::to_string(pid) + "/comm").value_or("a program");
}

void CheckLatency(const SystemTree& tree, const std::string& name, Finding& finding) {
    const std::string attribute = "/sys/bus/usb-serial/devices/" + name + "/latency_timer";
    const auto text = tree.readLine(attribute);
    const auto ms = text ? Integer(*text) : std::nullopt;
    if (!ms) {
        return;
    }
    finding.found += ", latency timer " + std::to_string(*ms) + " ms";
    if (*ms > 1) {
        finding.problems.push_back(
            {"the converter holds every reply up to " + std::to_string(*ms) +
                 " ms (its latency timer), so a search takes many times longer",
             "echo 1 | sudo tee " + attribute +
                 "; for good add the file /etc/udev/rules.d/60-ftdi-latency.rules holding: "
                 "ACTION==\"add\", SUBSYSTEM==\"usb-serial\", DRIVER==\"ftdi_sio\", "
                 "ATTR{latency_timer}=\"1\""});
    }
}

void CheckLocks(const SystemTree& tree, const std::string& name, const NodeInfo* node,
                Finding& finding) {
    for (const char* folder : {"/run/lock", "/var/lock"}) {
        const std::string lockFile = std::string(folder) + "/LCK.." + name;
        const auto pid = LockPid(tree.read(lockFile, 64).value_or(""));
        if (!pid || !tree.exists("/proc/" + std::to_string(*pid))) {
            continue;
        }
        const std::string program = ProcessName(tree, *pid);
        finding.problems.push_back(
            {"held by " + program + " (PID " + std::to_string(*pid) + "), which locked it in " +
                 lockFile,
             "close " + program + ", or end it with 'kill " + std::to_string(*pid) + "'"});
        return;
    }
    if (node == nullptr || !node->charDevice) {
        return;
    }
    const auto openers = ds2480b::OtherOpeners(node->rdev, tree.hostPath("/proc"));
    if (!openers.empty()) {
        finding.problems.push_back({"open in " + ds2480b::OpenersText(openers),
                                    "close that program before Velgrin uses the port"});
    }
}

}  // namespace

Section CheckSerialPorts(const SystemTree& tree, const UserAccess& user, int& adapters) {
    Section section{"serial", "serial ports", "no serial ports", {}};
    for (const std::string& name : tree.list("/sys/class/tty")) {
        if (!IsSerialPortName(name)) {
            continue;
        }
        const std::string sys = "/sys/class/tty/" + name;
        const auto driver = tree.linkName(sys + "/device/driver");
        if (!driver) {
            continue;  // a name without a port behind it
        }
        if (StartsWith(name, "ttyS") && tree.readLine(sys + "/type").value_or("0") == "0") {
            continue;  // no UART at this address
        }
        const std::string path = "/dev/" + name;
        Finding finding{
            path, (IsUsbSerial(name) ? "USB-serial converter, driver " : "driver ") + *driver, {}};
        if (IsUsbSerial(name)) {
            ++adapters;
        }
        const auto node = tree.node(path);
        if (!node) {
            finding.problems.push_back(MissingNode(path, "tty"));
        } else {
            finding.found += ", " + NodeText(*node, user);
            if (!user.mayUse(tree.hostPath(path), *node)) {
                finding.problems.push_back(NoAccess(path, *node, user, "dialout"));
            }
        }
        if (*driver == "ftdi_sio") {
            CheckLatency(tree, name, finding);
        }
        CheckLocks(tree, name, node ? &*node : nullptr, finding);
        section.findings.push_back(std::move(finding));
    }
    return section;
}

}  // namespace velgrin::cli::doctor
