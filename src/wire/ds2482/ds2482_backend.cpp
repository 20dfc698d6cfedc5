#include "wire/ds2482/ds2482_backend.h"

#include "wire/ds2482/ds2482_link.h"
#include "wire/ds2482/i2c_port.h"

namespace velgrin::ds2482 {

PortBackend Ds2482Backend(const Clock& clock, Ds2482BackendOptions options) {
    PortBackend backend;
    backend.kind = "ds2482";
    backend.description =
        "DS2482-100/-800 I2C 1-Wire master: ds2482:/dev/i2c-N[@0x18..0x1F][:CHANNEL 0-7]";
    backend.portType = kI2cPortType;
    backend.check = [](const PortSpec& spec) -> WireResult<void> {
        auto port = ParseI2cPort(spec);
        if (!port) {
            return port.error();
        }
        return {};
    };
    backend.makeLink = [&clock,
                        options](const PortSpec& spec) -> WireResult<std::unique_ptr<Link>> {
        auto port = ParseI2cPort(spec);
        if (!port) {
            return port.error();
        }
        Ds2482Options linkOptions;
        linkOptions.channel = port->channel;
        linkOptions.busyTimeoutUs = options.busyTimeoutUs;
        linkOptions.maxStatusReads = options.maxStatusReads;
        return std::unique_ptr<Link>(std::make_unique<Ds2482Link>(
            std::make_unique<I2cDevTransport>(*port, options.lockDirectory), clock, linkOptions));
    };
    return backend;
}

}  // namespace velgrin::ds2482
