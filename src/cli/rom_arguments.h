#pragma once

#include <string>
#include <vector>

#include "cli/exit_status.h"
#include "wire/bus_core.h"

namespace velgrin::cli {

// Checks that every word is a ROM text as the device lists show it (16 digits 0-9 and A-F, CRC
// byte first, family code last); a malformed one is a usage error. Repeated texts count once.
CliResult<std::vector<std::string>> RomArguments(const std::vector<std::string>& words);

// The device-table index of the device with that ROM text in the last search, found the way
// the window finds a list entry; a failure when the bus does not have it.
CliResult<int> FindOnBus(BusCore& core, const std::string& romText);

}  // namespace velgrin::cli
