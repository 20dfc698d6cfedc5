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
    const FamilyDescriptor* family = FindFamily(familyCode);
    return family == nullptr ? "unlisted device" : std::string(family->kindName);
}

}  // namespace velgrin::cli
