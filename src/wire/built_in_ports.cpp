#include "wire/ds2480b/ds2480b_backend.h"
#include "wire/ds2482/ds2482_backend.h"
#include "wire/ds2490/ds2490_backend.h"
#include "wire/ds9097/ds9097_backend.h"
#include "wire/port_registry.h"
#include "wire/sim/sim_backend.h"
#include "wire/w1/w1_backend.h"

namespace velgrin {

PortRegistry BuiltInPorts(const Clock& clock, const PortSettings& settings) {
    ds2480b::Ds2480bOptions serial;
    serial.replyMargin = settings.replyMargin.value_or(serial.replyMargin);
    ds9097::PassiveOptions passive;
    passive.replyMargin = settings.replyMargin.value_or(passive.replyMargin);
    PortRegistry registry;
    registry.add(sim::SimBackend(clock));
    registry.add(ds2480b::Ds2480bBackend(serial));
    registry.add(ds9097::Ds9097Backend(passive));
    registry.add(ds2490::Ds2490Backend());
    registry.add(ds2482::Ds2482Backend(clock));
    registry.add(w1::W1Backend());
    return registry;
}

}  // namespace velgrin
