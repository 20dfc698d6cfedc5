#include "wire/port_registry.h"
#include "wire/sim/sim_backend.h"

namespace velgrin {

PortRegistry BuiltInPorts(const Clock& clock) {
    PortRegistry registry;
    registry.add(sim::SimBackend(clock));
    return registry;
}

}  // namespace velgrin
