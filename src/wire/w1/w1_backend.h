#pragma once

#include <functional>
#include <memory>

#include "wire/port_registry.h"
#include "wire/w1/netlink_transport.h"
#include "wire/w1/w1_link.h"

namespace velgrin::w1 {

// Port kind "w1": "w1" for the kernel's only 1-Wire master, "w1:N" for w1_bus_masterN.
// `makeTransport` gives the kernel's connector socket; tests put a model of the kernel there.
PortBackend W1Backend(W1Options options = {},
                      std::function<std::unique_ptr<NetlinkTransport>()> makeTransport = {});

}  // namespace velgrin::w1
