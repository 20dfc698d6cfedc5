#pragma once

#include <memory>
#include <string>

#include "ds2480b_emu/ds2480b_emulator.h"
#include "wire/port_registry.h"
#include "wire/sim/sim_bench.h"

namespace velgrin::ds9097::testing {

// The registry with the passive backend alone, patient enough for a loaded machine: an echo
// that is merely late must not count as missing.
PortRegistry PassiveRegistry();

// The emulator's passive adapter serving `bench` on a pseudo-terminal behind a link in a
// temporary folder; gone with the rig.
struct PassiveLineRig {
    explicit PassiveLineRig(std::shared_ptr<sim::SimBench> bench,
                            ds2480b::EmulatorOptions options = {});
    ~PassiveLineRig();

    PassiveLineRig(const PassiveLineRig&) = delete;
    PassiveLineRig& operator=(const PassiveLineRig&) = delete;

    std::string directory;
    std::unique_ptr<ds2480b::Ds2480bEmulator> emulator;
};

}  // namespace velgrin::ds9097::testing
