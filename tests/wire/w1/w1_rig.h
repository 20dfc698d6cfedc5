#pragma once

#include <memory>
#include <string>

#include "w1_model/w1_kernel.h"
#include "wire/port_registry.h"
#include "wire/w1/w1_backend.h"

namespace velgrin::w1::testing {

// A kernel model and the w1 backend talking to it, with the masters' lock files in a temporary
// folder of their own (gone with the rig).
struct W1Rig {
    W1Rig();
    ~W1Rig();
    W1Rig(const W1Rig&) = delete;
    W1Rig& operator=(const W1Rig&) = delete;

    PortRegistry registry() const;
    std::unique_ptr<W1Link> link(std::optional<uint32_t> master);
    W1Options options() const;

    std::string lockDirectory;
    std::shared_ptr<W1Kernel> kernel = std::make_shared<W1Kernel>();
};

}  // namespace velgrin::w1::testing
