#include "wire/ds2480b/serial_port_spec.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>

namespace velgrin::ds2480b {

namespace {

// Device numbers of the kernel's fixed character devices.
constexpr unsigned kMemoryMajor = 1;         // /dev/null, /dev/zero, /dev/full, /dev/random ...
constexpr unsigned kTerminalAliasMajor = 5;  // /dev/tty, /dev/console, /dev/ptmx
constexpr unsigned kLastTerminalAliasMinor = 2;

// Character devices that are never an adapter's port. /dev/tty is the controlling terminal of
// whoever runs the program: taking it over would set the user's own terminal raw.
bool NeverASerialPort(dev_t device) {
    return major(device) == kMemoryMajor ||
           (major(device) == kTerminalAliasMajor && minor(device) <= kLastTerminalAliasMinor);
}

}  // namespace

WireResult<void> CheckSerialDevice(const PortSpec& spec) {
    if (spec.argument.empty()) {
        return WireError{WireErrorCode::BadPortSpec, "port '" + spec.text() +
                                                         "': name the serial device, e.g. " +
                                                         spec.kind + ":/dev/ttyUSB0"};
    }
    struct stat info {};
    if (::stat(spec.argument.c_str(), &info) != 0) {
        const int error = errno;
        if (error == ENOENT) {
            return WireError{WireErrorCode::NoSuchPort,
                             "port '" + spec.text() + "': " + spec.argument +
                                 " does not exist (is the adapter plugged in?)"};
        }
        return WireError{WireErrorCode::NoSuchPort, "port '" + spec.text() + "': " + spec.argument +
                                                        ": " + std::strerror(error)};
    }
    if (!S_ISCHR(info.st_mode) || NeverASerialPort(info.st_rdev)) {
        return WireError{WireErrorCode::BadPortSpec,
                         "port '" + spec.text() + "': " + spec.argument + " is not a serial port"};
    }
    return {};
}

std::function<std::optional<PortSpec>(int portNumber)> NumberedSerialPorts(
    std::string kind, std::function<std::vector<std::string>()> listPorts) {
    auto lastNamed = std::make_shared<std::map<int, std::string>>();
    return [kind, listPorts, lastNamed](int portNumber) -> std::optional<PortSpec> {
        if (portNumber < 1) {
            return std::nullopt;
        }
        const auto ports = listPorts();
        if (static_cast<size_t>(portNumber) <= ports.size()) {
            const std::string& path = ports[static_cast<size_t>(portNumber - 1)];
            (*lastNamed)[portNumber] = path;
            return PortSpec{kind, path};
        }
        if (const auto last = lastNamed->find(portNumber); last != lastNamed->end()) {
            return PortSpec{kind, last->second};
        }
        return std::nullopt;
    };
}

}  // namespace velgrin::ds2480b
