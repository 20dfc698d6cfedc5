#include "wire/ds9097/ds9097_backend.h"

#include <memory>

#include "wire/ds2480b/posix_serial_port.h"
#include "wire/ds2480b/serial_port_spec.h"

namespace velgrin::ds9097 {

PortBackend Ds9097Backend(PassiveOptions options,
                          std::function<std::vector<std::string>()> listPorts) {
    PortBackend backend;
    backend.kind = "ds9097";
    backend.description = "passive serial adapter (DS9097E type, UART with a diode): ds9097:DEVICE";
    backend.portType = kDs9097PortType;
    backend.check = ds2480b::CheckSerialDevice;
    backend.makeLink = [options](const PortSpec& spec) -> WireResult<std::unique_ptr<Link>> {
        return std::unique_ptr<Link>(std::make_unique<PassiveSerialLink>(
            std::make_unique<ds2480b::PosixSerialPort>(spec.argument), options));
    };
    backend.numberedPort = ds2480b::NumberedSerialPorts(backend.kind, std::move(listPorts));
    return backend;
}

}  // namespace velgrin::ds9097
