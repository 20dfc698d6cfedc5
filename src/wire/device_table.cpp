#include "wire/device_table.h"

#include <cstdio>

namespace velgrin {

int32_t GroupOfFamily(uint8_t familyCode) {
    const FamilyDescriptor* family = FindFamily(familyCode);
    return family == nullptr ? device_group::kUnlisted : family->group;
}

std::string ListEntryText(int index, const std::string& romText) {
    char number[16];
    std::snprintf(number, sizeof number, "%.2u", static_cast<unsigned>(index));
    return std::string(number) + " " + romText;
}

}  // namespace velgrin
