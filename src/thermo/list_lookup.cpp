#include "thermo/list_lookup.h"

#include <charconv>
#include <string>

#include "wire/rom_code.h"

namespace velgrin {

namespace {

constexpr size_t kRomTextStart = 3;
constexpr size_t kRomTextLength = 16;
constexpr size_t kIndexLength = 2;

}  // namespace

bool Hex2Rom(BusCore& core, std::string_view pHexString) {
    const auto rom = ParseRomText(pHexString);
    if (!rom) {
        return false;
    }
    core.ROM.fill(0);
    for (size_t i = 0; i < rom->size(); ++i) {
        core.ROM[i] = (*rom)[i];
    }
    // A copy: with a zero family code the driver would read its current ROM into the buffer
    // instead, and the lookup would then match whatever device that is. It fails only on a
    // session that is gone, which the bus steps after it find out.
    auto current = core.ROM;
    (void)core.driver().TMRom(core.SHandle, core.StateBuf, current);
    return true;
}

int FindIndx1820(BusCore& core, std::string_view entryText) {
    if (entryText.size() <= kRomTextStart) {
        return -1;
    }
    if (!Hex2Rom(core, entryText.substr(kRomTextStart, kRomTextLength))) {
        return -1;
    }
    for (int index = 0; index < core.FoundDev && index < kDeviceTableSize; ++index) {
        const CurrentSens& sens = core.Asens[static_cast<size_t>(index)];
        bool same = true;
        for (size_t i = 0; i < 8 && same; ++i) {
            same = sens.ROM[i] == core.ROM[i];
        }
        if (same) {
            return index;
        }
    }
    return -1;
}

int FindIndxHLT(BusCore& core, std::string_view cmbhltText) {
    return FindIndx1820(core, cmbhltText);
}

int ListEntryIndex(std::string_view entryText) {
    const std::string_view digits = entryText.substr(0, kIndexLength);
    int index = -1;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
    if (ec != std::errc() || end != digits.data() + digits.size() || index < 0 ||
        index >= kDeviceTableSize) {
        throw ListIndexError("\"" + std::string(digits) + "\" is not a valid device index");
    }
    return index;
}

}  // namespace velgrin
