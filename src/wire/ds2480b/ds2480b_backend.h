#pragma once

#include <cstdint>

#include "wire/ds2480b/ds2480b_link.h"
#include "wire/port_registry.h"

namespace velgrin::ds2480b {

// The driver's port type of DS9097U-type adapters ("DS90907U" in the adapter list).
inline constexpr int16_t kDs2480bPortType = 5;

// Port kind "ds2480b": "ds2480b:/dev/ttyUSB0". In manual mode port number N is the N-th serial
// port of the system.
PortBackend Ds2480bBackend(Ds2480bOptions options = {});

}  // namespace velgrin::ds2480b
