#include "wire/ds2480b/ds2480b_backend.h"
#include "wire/ds2482/ds2482_backend.h"
#include "wire/ds2490/ds2490_backend.h"
#include "wire/ds9097/ds9097_backend.h"
#include "wire/net_serial/net_serial_backend.h"
#include "wire/net_serial/net_serial_port.h"
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
    registry.add(net_serial::WithNetworkPorts(
        ds2480b::Ds2480bBackend(serial),
        [serial](std::unique_ptr<ds2480b::SerialPort> port, bool fixedRate) {
            auto options = serial;
            if (fixedRate) {
                options.fasterBaud = net_serial::NetSerialPort::kRawBaud;
            }
            return std::unique_ptr<Link>(
                std::make_unique<ds2480b::Ds2480bLink>(std::move(port), options));
        },
        false));
    registry.add(net_serial::WithNetworkPorts(
        ds9097::Ds9097Backend(passive),
        [passive](std::unique_ptr<ds2480b::SerialPort> port, bool) {
            return std::unique_ptr<Link>(
                std::make_unique<ds9097::PassiveSerialLink>(std::move(port), passive));
        },
        true));
    registry.add(ds2490::Ds2490Backend());
    registry.add(ds2482::Ds2482Backend(clock));
    registry.add(w1::W1Backend());
    return registry;
}

}  // namespace velgrin
