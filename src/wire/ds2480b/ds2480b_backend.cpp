#include "wire/ds2480b/ds2480b_backend.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>

#include "wire/ds2480b/posix_serial_port.h"
#include "wire/ds2480b/system_serial_ports.h"

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

WireResult<void> CheckDevice(const PortSpec& spec) {
    if (spec.argument.empty()) {
        return WireError{
            WireErrorCode::BadPortSpec,
            "port '" + spec.text() + "': name the serial device, e.g. ds2480b:/dev/ttyUSB0"};
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

}  // namespace

PortBackend Ds2480bBackend(Ds2480bOptions options,
                           std::function<std::vector<std::string>()> listPorts) {
    PortBackend backend;
    backend.kind = "ds2480b";
    backend.description = "DS2480B serial adapter (DS9097U type): ds2480b:DEVICE";
    backend.portType = kDs2480bPortType;
    backend.check = CheckDevice;
    backend.makeLink = [options](const PortSpec& spec) -> WireResult<std::unique_ptr<Link>> {
        return std::unique_ptr<Link>(std::make_unique<Ds2480bLink>(
            std::make_unique<PosixSerialPort>(spec.argument), options));
    };
    // A USB serial adapter takes its port out of the system's list when it is unplugged. The
    // number goes on naming the port it named last while the list is too short for it, so the
    // unplugged adapter reads as missing, not as a port the driver does not know.
    auto lastNamed = std::make_shared<std::map<int, std::string>>();
    backend.numberedPort = [listPorts, lastNamed](int portNumber) -> std::optional<PortSpec> {
        if (portNumber < 1) {
            return std::nullopt;
        }
        const auto ports = listPorts();
        if (static_cast<size_t>(portNumber) <= ports.size()) {
            const std::string& path = ports[static_cast<size_t>(portNumber - 1)];
            (*lastNamed)[portNumber] = path;
            return PortSpec{"ds2480b", path};
        }
        if (const auto last = lastNamed->find(portNumber); last != lastNamed->end()) {
            return PortSpec{"ds2480b", last->second};
        }
        return std::nullopt;
    };
    return backend;
}

}  // namespace velgrin::ds2480b
