#pragma once

#include <functional>
#include <memory>

#include "wire/ds2480b/serial_port.h"
#include "wire/link.h"
#include "wire/port_registry.h"

namespace velgrin::net_serial {

// A serial adapter kind's link over a given port; `fixedRate` when the port cannot change rate.
using SerialLinkMaker =
    std::function<std::unique_ptr<Link>(std::unique_ptr<ds2480b::SerialPort> port, bool fixedRate)>;

// `backend`, a serial adapter kind, taking ports over the network as well:
// "KIND:rfc2217://HOST:PORT" and "KIND:tcp://HOST:PORT". An adapter that `needsRateChanges`
// cannot work on a raw port, which is refused when the port is checked.
PortBackend WithNetworkPorts(PortBackend backend, SerialLinkMaker makeLink, bool needsRateChanges);

}  // namespace velgrin::net_serial
