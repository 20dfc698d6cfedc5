#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

namespace velgrin::cli::testing {

// The ROM text of a device of that family with these six serial-number bytes (byte 1 in the
// lowest eight bits) and its proper CRC.
std::string RomFor(uint8_t family, uint64_t serial);

// The entry of a saved bench's device with that ROM text; fails the test when there is none.
nlohmann::json SavedDevice(const nlohmann::json& bench, const std::string& rom);

}  // namespace velgrin::cli::testing
