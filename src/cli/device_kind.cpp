#include "cli/device_kind.h"

#include <cstdio>

namespace velgrin::cli {

std::string FamilyText(uint8_t familyCode) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", familyCode);
    return text;
}

std::string IndexText(int index) {
    char text[16];
    std::snprintf(text, sizeof text, "%.2d", index);
    return text;
}

std::string DeviceKind(uint8_t familyCode) {
    switch (familyCode) {
        case family_code::kDs18S20:
            return "DS18S20 thermometer";
        case family_code::kDs18B20:
            return "DS18B20 thermometer";
        case family_code::kDs2438:
            return "HLT multisensor (DS2438)";
        case family_code::kDs1921:
            return "DS1921 logger";
        case family_code::kDs1922:
            return "DS1922/DS1923/DS2422 logger";
        case family_code::kDs1925:
            return "DS1925 logger";
        case family_code::kDs1822:
            return "DS1822 thermometer";
        case family_code::kDs1420:
            return "adapter serial-number chip (DS1420)";
        default:
            return "unlisted device";
    }
}

}  // namespace velgrin::cli
