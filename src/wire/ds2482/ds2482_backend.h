#pragma once

#include <cstdint>
#include <string>

#include "common/clock.h"
#include "wire/ds2482/i2c_dev_transport.h"
#include "wire/port_registry.h"

namespace velgrin::ds2482 {

struct Ds2482BackendOptions {
    std::string lockDirectory = kLockDirectory;
    // The busy wait's bounds (see Ds2482Options).
    uint64_t busyTimeoutUs = 20'000;
    int maxStatusReads = 1000;
};

// Port kind "ds2482": "ds2482:/dev/i2c-1" is the chip at 0x18, "ds2482:/dev/i2c-1@0x1A" the
// one at 0x1A, and a ":CHANNEL" (0-7) at the end picks a DS2482-800's channel. The busy wait
// runs on `clock`, which must outlive the links.
PortBackend Ds2482Backend(const Clock& clock, Ds2482BackendOptions options = {});

}  // namespace velgrin::ds2482
