#include "bench_roms.h"

#include <gtest/gtest.h>

#include "wire/rom_code.h"

namespace velgrin::cli::testing {

std::string RomFor(uint8_t family, uint64_t serial) {
    RomCode rom{family};
    for (size_t i = 1; i <= 6; ++i) {
        rom[i] = static_cast<uint8_t>(serial >> (8 * (i - 1)));
    }
    return RomText(WithRomCrc(rom));
}

nlohmann::json SavedDevice(const nlohmann::json& bench, const std::string& rom) {
    for (const auto& device : bench.at("devices")) {
        if (device.at("rom") == rom) {
            return device;
        }
    }
    ADD_FAILURE() << "the saved bench has no device " << rom;
    return nlohmann::json::object();
}

}  // namespace velgrin::cli::testing
