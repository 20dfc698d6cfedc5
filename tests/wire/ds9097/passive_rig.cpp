#include "passive_rig.h"

#include <stdlib.h>
#include <unistd.h>

#include <stdexcept>

#include "wire/ds9097/ds9097_backend.h"

namespace velgrin::ds9097::testing {

PortRegistry PassiveRegistry() {
    PassiveOptions options;
    options.replyMargin = std::chrono::milliseconds(3000);
    PortRegistry registry;
    registry.add(Ds9097Backend(options));
    return registry;
}

PassiveLineRig::PassiveLineRig(std::shared_ptr<sim::SimBench> bench,
                               ds2480b::EmulatorOptions options) {
    char pattern[] = "/tmp/velgrin-ds9097-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    directory = pattern;
    options.adapter = ds2480b::EmulatedAdapter::Passive;
    options.linkPath = directory + "/ttyDS9097";
    emulator = std::make_unique<ds2480b::Ds2480bEmulator>(std::move(bench), options);
    if (auto started = emulator->start(); !started) {
        throw std::runtime_error(started.error().message);
    }
}

PassiveLineRig::~PassiveLineRig() {
    emulator.reset();
    ::unlink((directory + "/ttyDS9097").c_str());
    ::rmdir(directory.c_str());
}

}  // namespace velgrin::ds9097::testing
