#include "wire/device_table.h"

#include <cstdio>

namespace velgrin {

int32_t GroupOfFamily(uint8_t familyCode) {
    switch (familyCode) {
        case family_code::kDs18S20:
            return device_group::kDs18S20;
        case family_code::kDs18B20:
            return device_group::kDs18B20;
        case family_code::kDs2438:
            return device_group::kHlt;
        case family_code::kDs1921:
        case family_code::kDs1922:
        case family_code::kDs1925:
        case family_code::kDs1822:
            return device_group::kLogger;
        default:
            return device_group::kUnlisted;
    }
}

std::string ListEntryText(int index, const std::string& romText) {
    char number[16];
    std::snprintf(number, sizeof number, "%.2u", static_cast<unsigned>(index));
    return std::string(number) + " " + romText;
}

}  // namespace velgrin
