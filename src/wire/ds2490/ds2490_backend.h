#pragma once

#include "wire/ds2490/ds2490_link.h"
#include "wire/port_registry.h"

namespace velgrin::ds2490 {

// Port kind "usb": "usb" is the first DS2490 of the system in bus and address order, "usb:N"
// the N-th; in manual mode port number N of type 6 is the N-th. When exactly one DS2490 is
// attached it is the default port.
PortBackend Ds2490Backend(Ds2490Options options = {});

}  // namespace velgrin::ds2490
