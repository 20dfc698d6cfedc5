#include "cli/rom_arguments.h"

#include <algorithm>

#include "thermo/list_lookup.h"
#include "wire/rom_code.h"

namespace velgrin::cli {

CliResult<std::vector<std::string>> RomArguments(const std::vector<std::string>& words) {
    std::vector<std::string> roms;
    for (const std::string& word : words) {
        if (!ParseRomText(word)) {
            return UsageError("'" + word +
                              "' is not a ROM text: expected 16 digits 0-9 and A-F (capitals), "
                              "CRC byte first and family code last, as `velgrin-cli list` shows");
        }
        if (std::find(roms.begin(), roms.end(), word) == roms.end()) {
            roms.push_back(word);
        }
    }
    return roms;
}

CliResult<int> FindOnBus(BusCore& core, const std::string& romText) {
    const int index = FindIndx1820(core, ListEntryText(0, romText));
    if (index < 0) {
        return DeviceError("no device with ROM " + romText + " on the bus");
    }
    return index;
}

}  // namespace velgrin::cli
