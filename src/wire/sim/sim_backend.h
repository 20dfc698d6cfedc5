#pragma once

#include "common/clock.h"
#include "wire/port_registry.h"

namespace velgrin::sim {

// Port kind "sim": "sim" is the built-in demo bench, "sim:FILE" a bench file.
PortBackend SimBackend(const Clock& clock);

}  // namespace velgrin::sim
