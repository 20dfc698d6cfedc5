#include "wire/net_serial/net_serial_backend.h"

#include "wire/net_serial/net_address.h"
#include "wire/net_serial/net_serial_port.h"

namespace velgrin::net_serial {

PortBackend WithNetworkPorts(PortBackend backend, SerialLinkMaker makeLink, bool needsRateChanges) {
    const std::string kind = backend.kind;
    backend.description += ", or over the network: " + kind + ":rfc2217://HOST:PORT" +
                           (needsRateChanges ? "" : ", " + kind + ":tcp://HOST:PORT");
    backend.check = [kind, needsRateChanges, checkDevice = std::move(backend.check)](
                        const PortSpec& spec) -> WireResult<void> {
        if (!IsNetAddress(spec.argument)) {
            return checkDevice ? checkDevice(spec) : WireResult<void>();
        }
        auto address = ParseNetAddress(spec.argument);
        if (!address) {
            return WireError{WireErrorCode::BadPortSpec,
                             "port '" + spec.text() + "': " + address.error().message};
        }
        if (!address->rfc2217 && needsRateChanges) {
            return WireError{WireErrorCode::BadPortSpec,
                             "port '" + spec.text() +
                                 "': this adapter changes its line's rate, "
                                 "which a raw tcp:// port cannot carry; use " +
                                 kind + ":rfc2217://" + address->place()};
        }
        return {};
    };
    backend.makeLink = [makeLink = std::move(makeLink), makeDevice = std::move(backend.makeLink)](
                           const PortSpec& spec) -> WireResult<std::unique_ptr<Link>> {
        if (!IsNetAddress(spec.argument)) {
            return makeDevice(spec);
        }
        auto address = ParseNetAddress(spec.argument);
        if (!address) {
            return address.error();
        }
        const bool fixedRate = !address->rfc2217;
        return makeLink(std::make_unique<NetSerialPort>(*address), fixedRate);
    };
    return backend;
}

}  // namespace velgrin::net_serial
