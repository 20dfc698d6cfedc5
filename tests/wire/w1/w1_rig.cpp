#include "w1_rig.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

namespace velgrin::w1::testing {

W1Rig::W1Rig() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velgrin-w1-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary folder for the lock files");
    }
    lockDirectory = pattern;
}

W1Rig::~W1Rig() {
    std::error_code ignored;
    std::filesystem::remove_all(lockDirectory, ignored);
}

W1Options W1Rig::options() const {
    W1Options options;
    options.lockDirectory = lockDirectory;
    return options;
}

PortRegistry W1Rig::registry() const {
    PortRegistry registry;
    registry.add(W1Backend(options(), [kernel = kernel] { return kernel->connect(); }));
    return registry;
}

std::unique_ptr<W1Link> W1Rig::link(std::optional<uint32_t> master) {
    return std::make_unique<W1Link>(kernel->connect(), master, options());
}

}  // namespace velgrin::w1::testing
