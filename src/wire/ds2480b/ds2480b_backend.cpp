#include "wire/ds2480b/ds2480b_backend.h"

#include <memory>

#include "wire/ds2480b/posix_serial_port.h"
#include "wire/ds2480b/serial_port_spec.h"

namespace velgrin::ds2480b {

PortBackend Ds2480bBackend(Ds2480bOptions options,
                           std::function<std::vector<std::string>()> listPorts) {
    PortBackend backend;
    backend.kind = "ds2480b";
    backend.description = "DS2480B serial adapter (DS9097U type): ds2480b:DEVICE";
    backend.portType = kDs2480bPortType;
    backend.check = CheckSerialDevice;
    backend.makeLink = [options](const PortSpec& spec) -> WireResult<std::unique_ptr<Link>> {
        return std::unique_ptr<Link>(std::make_unique<Ds2480bLink>(
            std::make_unique<PosixSerialPort>(spec.argument), options));
    };
    backend.numberedPort = NumberedSerialPorts(backend.kind, std::move(listPorts));
    return backend;
}

}  // namespace velgrin::ds2480b
